#pragma once
#include <cstdint>

namespace quillet {

// A system handle carried through the seams as an opaque value.
using Handle = std::uintptr_t;
inline constexpr Handle kInvalidHandle = ~Handle{0};

// Null and the invalid-handle value both mean "no handle".
inline constexpr bool IsAbsent(Handle handle) { return handle == 0 || handle == kInvalidHandle; }

}  // namespace quillet
