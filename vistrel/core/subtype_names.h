#pragma once
// Short names of the media subtypes a capture device may offer. The name is the
// key that groups a device's capabilities.
#include <array>
#include <string>

#include "platform/direct_show.h"

namespace vistrel {

struct SubtypeNameEntry {
  const char* text;
  const Guid& key;
};

inline constexpr std::size_t kSubtypeNameCount = 71;
extern const std::array<SubtypeNameEntry, kSubtypeNameCount> subtypeNameTable;

// What every subtype missing from the table maps to, so all of them share one group.
inline constexpr const char* kUnknownSubtypeName = "UNKNOWTPYE";

// The subtype identifier of a FOURCC: the four characters in Data1, first
// character in the lowest byte, on the common media type base.
constexpr Guid FourccGuid(const char (&fourcc)[5]) {
  return Guid{static_cast<std::uint32_t>(static_cast<unsigned char>(fourcc[0])) |
                  static_cast<std::uint32_t>(static_cast<unsigned char>(fourcc[1])) << 8 |
                  static_cast<std::uint32_t>(static_cast<unsigned char>(fourcc[2])) << 16 |
                  static_cast<std::uint32_t>(static_cast<unsigned char>(fourcc[3])) << 24,
              0x0000,
              0x0010,
              {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

std::string LookupSubtypeName(const Guid& subtype);

}  // namespace vistrel
