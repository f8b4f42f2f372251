#pragma once
#include <cstdint>

namespace pantrel {

// A system handle carried through the seam as an opaque value.
using Handle = std::uintptr_t;
inline constexpr Handle kInvalidHandle = ~Handle{0};

}  // namespace pantrel
