#pragma once
// Builds a Guid from its registry form, so tests can state published values as published.
#include <cstdlib>
#include <string>

#include "platform/direct_show.h"

namespace vistrel::testing {

inline Guid GuidFromText(const std::string& text) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  auto hex = [&](std::size_t at, std::size_t digits) {
    return std::strtoul(text.substr(at, digits).c_str(), nullptr, 16);
  };
  Guid guid;
  guid.Data1 = static_cast<std::uint32_t>(hex(1, 8));
  guid.Data2 = static_cast<std::uint16_t>(hex(10, 4));
  guid.Data3 = static_cast<std::uint16_t>(hex(15, 4));
  guid.Data4[0] = static_cast<std::uint8_t>(hex(20, 2));
  guid.Data4[1] = static_cast<std::uint8_t>(hex(22, 2));
  for (std::size_t i = 0; i < 6; ++i) guid.Data4[2 + i] = static_cast<std::uint8_t>(hex(25 + 2 * i, 2));
  return guid;
}

}  // namespace vistrel::testing
