#include "core/output_line.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/identifiers.h"

namespace vistrel {
namespace {

constexpr std::size_t kNameBufferSize = 256;
using NameBuffer = std::array<char, kNameBufferSize>;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Where each character of text starts (a surrogate pair is one character), and its end.
std::vector<std::size_t> CharacterBoundaries(const std::u16string& text) {
  std::vector<std::size_t> boundaries;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0 && IsLowSurrogate(text[i]) && IsHighSurrogate(text[i - 1])) continue;
    boundaries.push_back(i);
  }
  boundaries.push_back(text.size());
  return boundaries;
}

// The name in the ANSI code page, in a zeroed buffer that keeps room for its
// terminating zero. A name whose ANSI form does not fit is cut after the last
// whole character that fits, so no double-byte character is ever split.
void ConvertName(DirectShow& platform, const std::u16string& name, NameBuffer& buffer) {
  constexpr std::size_t kRoom = kNameBufferSize - 1;
  std::string ansi = platform.WideCharToMultiByte(kCpAcp, kWcCompositeCheck, name);
  if (ansi.size() > kRoom) {
    // The ANSI length grows with the prefix: search the longest prefix that fits.
    std::vector<std::size_t> boundaries = CharacterBoundaries(name);
    std::size_t fits = 0;                       // index into boundaries: prefix known to fit
    std::size_t tooLong = boundaries.size() - 1;  // prefix known not to fit
    std::string fitting;
    while (tooLong - fits > 1) {
      std::size_t middle = fits + (tooLong - fits) / 2;
      std::string candidate =
          platform.WideCharToMultiByte(kCpAcp, kWcCompositeCheck, name.substr(0, boundaries[middle]));
      if (candidate.size() <= kRoom) {
        fits = middle;
        fitting = std::move(candidate);
      } else {
        tooLong = middle;
      }
    }
    ansi = std::move(fitting);
  }
  std::memcpy(buffer.data(), ansi.data(), std::min(ansi.size(), kRoom));
}

}  // namespace

bool CollectDeviceFormats(const std::vector<CaptureDeviceInfo>& captureDevices, std::u16string name,
                          std::vector<std::string>& formats) {
  formats.clear();
  auto device = std::find_if(captureDevices.begin(), captureDevices.end(),
                             [&](const CaptureDeviceInfo& candidate) { return candidate.name == name; });
  if (device == captureDevices.end()) return false;
  for (const FormatGroup& group : device->formatGroups) {
    // The first element is the subtype text: it only groups, it is never listed.
    formats.insert(formats.end(), group.begin() + 1, group.end());
  }
  return true;
}

bool RemoveDuplicateFormats(std::vector<std::string>& formats) {
  std::vector<std::string> all = formats;
  formats.clear();
  // A set of what is kept already: a driver offering a million distinct sizes
  // must not make the list quadratic to clean.
  std::unordered_set<std::string> kept;
  for (std::string& text : all) {
    if (kept.insert(text).second) formats.push_back(std::move(text));
  }
  return true;
}

std::string MakeOutputLine(DirectShow& platform, std::vector<CaptureDeviceInfo>& captureDevices) {
  std::string line;
  std::vector<std::string> formats;

  if (!EnumerateCaptureDevices(platform, captureDevices)) return "none";

  for (const CaptureDeviceInfo& device : captureDevices) {
    NameBuffer nameBuffer{};
    // Sizes are found by name, so two devices of one name both show the first one's.
    CollectDeviceFormats(captureDevices, device.name, formats);
    RemoveDuplicateFormats(formats);
    ConvertName(platform, device.name, nameBuffer);

    line += nameBuffer.data();
    line += '=';
    for (std::size_t i = 0; i < formats.size(); ++i) {
      if (i > 0) line += '-';
      line += formats[i];
    }
    line += ',';
  }
  if (!line.empty()) line.pop_back();
  return line;
}

}  // namespace vistrel
