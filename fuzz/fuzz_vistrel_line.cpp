// Vistrel's enumeration, grouping and output line over a fuzzed set of
// capture devices: absurd capability counts (negative, far past the list),
// wrong capability sizes, failing and success-but-not-S_OK results, format
// blocks too short, zero, negative and extreme frame sizes, names with the
// line's own separators and names too long for the 256-byte buffer. The line
// must equal a model: per device its name (cut at a whole character to 255
// bytes), "=", the distinct sizes of the first device of that name, group by
// group in order of each subtype's first capability, joined by "-".
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/output_line.h"
#include "core/subtype_names.h"
#include "fake_direct_show.h"

namespace {

using namespace vistrel;
using vistrel::testing::CapabilityScript;
using vistrel::testing::FakeDevice;
using vistrel::testing::FakeDirectShow;

void Check(bool condition) {
  if (!condition) std::abort();
}

const Guid kUnknownA{0x11111111, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
const Guid kUnknownB{0x22222222, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
const Guid kSubtypes[] = {FourccGuid("YUY2"), FourccGuid("MJPG"), FourccGuid("I420"), kUnknownA, kUnknownB};

// Whole characters only: a surrogate pair always comes as a pair.
const std::u16string kCharacters[] = {u"A", u"b", u"=", u",", u"-", u"*", u" ", u"\u4E2D", u"\U0001F600", u"\u00E9"};

enum class PinChoice { Capture, Preview, NeitherUsable, NoFilter };

struct DeviceScript {
  FakeDevice fake;
  std::u16string expectedName;
  PinChoice pins = PinChoice::Capture;
};

std::int32_t PickDimension(FuzzedDataProvider& provider) {
  const std::int32_t values[] = {640, 480, 320, 240, 0, -480, 1, INT_MIN, INT_MAX, -1};
  if (provider.ConsumeIntegralInRange<int>(0, 7) == 0) return provider.ConsumeIntegral<std::int32_t>();
  return values[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(values) - 1)];
}

DeviceScript MakeDevice(FuzzedDataProvider& provider) {
  DeviceScript script;
  FakeDevice& device = script.fake;

  std::u16string name;
  const std::size_t length = provider.ConsumeIntegralInRange<int>(0, 15) == 0
                                 ? provider.ConsumeIntegralInRange<std::size_t>(100, 300)
                                 : provider.ConsumeIntegralInRange<std::size_t>(0, 6);
  const std::size_t kind = provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kCharacters) - 1);
  for (std::size_t i = 0; i < length; ++i) {
    // Long names repeat one character, so the byte count at the cut varies by kind.
    name += kCharacters[length > 6 ? kind : provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kCharacters) - 1)];
  }
  std::u16string stored = name;
  if (provider.ConsumeIntegralInRange<int>(0, 7) == 0) stored += std::u16string(1, u'\0') + u"hidden";

  switch (provider.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:  // a description wins over the friendly name
      device.properties[u"Description"] = {kS_OK, stored};
      device.properties[u"FriendlyName"] = {kS_OK, u"other"};
      script.expectedName = name;
      break;
    case 1:  // a description read that succeeds without S_OK leaves the name empty
      device.properties[u"Description"] = {kS_FALSE, stored};
      device.properties[u"FriendlyName"] = {kS_OK, u"other"};
      break;
    case 2:  // no property bag at all
      device.bindToStorage = kE_FAIL;
      break;
    default:
      device.properties[u"FriendlyName"] = {kS_OK, stored};
      script.expectedName = name;
      break;
  }

  script.pins = static_cast<PinChoice>(provider.ConsumeIntegralInRange<int>(0, 7) % 4 == 3
                                           ? provider.ConsumeIntegralInRange<int>(1, 3)
                                           : 0);
  switch (script.pins) {
    case PinChoice::Capture:
      break;
    case PinChoice::Preview:
      device.capturePin = {kS_FALSE, true};
      device.previewPin = {kS_FALSE, true};
      break;
    case PinChoice::NeitherUsable:
      device.capturePin = {kE_NOINTERFACE, false};
      device.previewPin = {kE_FAIL, true};
      break;
    case PinChoice::NoFilter:
      device.bindToObject = kE_FAIL;
      break;
  }

  const std::size_t capabilities = provider.ConsumeIntegralInRange<std::size_t>(0, 12);
  for (std::size_t i = 0; i < capabilities; ++i) {
    CapabilityScript capability;
    const int result = provider.ConsumeIntegralInRange<int>(0, 15);
    capability.result = result == 0 ? kE_FAIL : result == 1 ? kS_FALSE : kS_OK;
    if (provider.ConsumeIntegralInRange<int>(0, 15) != 0) {
      const Guid subtype = kSubtypes[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kSubtypes) - 1)];
      const std::size_t blockLength =
          provider.ConsumeIntegralInRange<int>(0, 7) == 0 ? provider.ConsumeIntegralInRange<std::size_t>(0, 64) : 88;
      const std::int32_t width = PickDimension(provider);
      const std::int32_t height = PickDimension(provider);
      capability.mediaType = MediaType{subtype, vistrel::testing::VideoInfoBlock(width, height, blockLength)};
    }
    device.capabilities.push_back(std::move(capability));
  }
  switch (provider.ConsumeIntegralInRange<int>(0, 9)) {
    case 0: device.capabilityCount = -1; break;
    case 1: device.capabilityCount = INT_MIN; break;
    case 2: device.capabilityCount = static_cast<std::int32_t>(capabilities) + 50; break;
    case 3: device.capabilityCount = provider.ConsumeIntegralInRange<std::int32_t>(0, 3000); break;
    case 4: device.capabilitySize = provider.ConsumeBool() ? 0 : 127; break;
    default: break;
  }
  return script;
}

std::string Decimal(std::int32_t value) { return std::to_string(value); }

std::int32_t ReadLe(const std::vector<std::uint8_t>& block, std::size_t offset) {
  return static_cast<std::int32_t>(std::uint32_t{block[offset]} | std::uint32_t{block[offset + 1]} << 8 |
                                   std::uint32_t{block[offset + 2]} << 16 | std::uint32_t{block[offset + 3]} << 24);
}

// Group by group, the size texts of one device, repeats included.
std::vector<std::string> ModelSizes(const DeviceScript& script) {
  const FakeDevice& device = script.fake;
  if (script.pins == PinChoice::NeitherUsable || script.pins == PinChoice::NoFilter) return {};
  if (device.capabilitySize != 128) return {};
  const std::int64_t count = device.capabilityCount.value_or(static_cast<std::int32_t>(device.capabilities.size()));
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (std::int64_t i = 0; i < count && i < static_cast<std::int64_t>(device.capabilities.size()); ++i) {
    const CapabilityScript& capability = device.capabilities[static_cast<std::size_t>(i)];
    if (capability.result < 0 || !capability.mediaType) continue;
    const std::string key = LookupSubtypeName(capability.mediaType->subtype);
    auto group = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g.first == key; });
    if (group == groups.end()) group = groups.insert(groups.end(), {key, {}});
    const auto& block = capability.mediaType->format;
    if (block.size() < 60) continue;
    const std::int32_t width = ReadLe(block, 52);
    const std::int32_t height = ReadLe(block, 56);
    if (width != 0 && height != 0) group->second.push_back(Decimal(width) + "*" + Decimal(height));
  }
  std::vector<std::string> sizes;
  for (auto& group : groups) sizes.insert(sizes.end(), group.second.begin(), group.second.end());
  return sizes;
}

std::string ModelLine(FakeDirectShow& platform, const std::vector<DeviceScript>& scripts) {
  std::string line;
  for (const DeviceScript& script : scripts) {
    std::u16string prefix;
    std::string name;
    for (std::size_t i = 0; i <= script.expectedName.size(); ++i) {
      // Grow character by character while the converted prefix still fits.
      const bool pair = i < script.expectedName.size() && script.expectedName[i] >= 0xD800 &&
                        script.expectedName[i] <= 0xDBFF;
      const std::string converted = platform.WideCharToMultiByte(0, 0, script.expectedName.substr(0, i));
      if (converted.size() > 255) break;
      name = converted;
      if (pair) ++i;
    }
    const DeviceScript* first = &script;
    for (const DeviceScript& other : scripts)
      if (other.expectedName == script.expectedName) {
        first = &other;
        break;
      }
    std::vector<std::string> distinct;
    for (const std::string& size : ModelSizes(*first))
      if (std::find(distinct.begin(), distinct.end(), size) == distinct.end()) distinct.push_back(size);
    line += name + "=";
    for (std::size_t i = 0; i < distinct.size(); ++i) line += (i ? "-" : "") + distinct[i];
    line += ",";
  }
  if (!line.empty()) line.pop_back();
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  FakeDirectShow platform;
  const int start = provider.ConsumeIntegralInRange<int>(0, 15);
  if (start == 0) platform.builderResult = kS_FALSE;
  if (start == 1) platform.classEnumResult = kS_FALSE;

  std::vector<DeviceScript> scripts;
  const std::size_t devices = provider.ConsumeIntegralInRange<std::size_t>(0, 5);
  for (std::size_t i = 0; i < devices; ++i) {
    scripts.push_back(MakeDevice(provider));
    platform.devices.push_back(scripts.back().fake);
  }

  std::vector<CaptureDeviceInfo> captureDevices;
  const std::string line = MakeOutputLine(platform, captureDevices);
  if (start <= 1) {
    Check(line == "none");
    Check(captureDevices.empty());
  } else {
    Check(captureDevices.size() == scripts.size());
    Check(line == ModelLine(platform, scripts));
  }
  // Every object handed out went back, whatever failed on the way.
  Check(platform.Held().empty());
  return 0;
}
