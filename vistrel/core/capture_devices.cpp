#include "core/capture_devices.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <optional>

#include "core/identifiers.h"
#include "core/subtype_names.h"

namespace vistrel {
namespace {

// The frame size sits in the VIDEOINFOHEADER's bitmap header: biWidth at
// bytes 52..55 and biHeight at 56..59, both signed and little-endian.
constexpr std::size_t kWidthOffset = 52;
constexpr std::size_t kHeightOffset = 56;
constexpr std::size_t kFrameSizeEnd = 60;

struct FrameSize {
  std::int32_t width;
  std::int32_t height;
};

std::int32_t ReadInt32(const std::vector<std::uint8_t>& block, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{block[offset + i]} << (8 * i);
  return static_cast<std::int32_t>(value);
}

// A block too short to hold both fields (or none at all) gives no size.
std::optional<FrameSize> ReadFrameSize(const std::vector<std::uint8_t>& formatBlock) {
  if (formatBlock.size() < kFrameSizeEnd) return std::nullopt;
  return FrameSize{ReadInt32(formatBlock, kWidthOffset), ReadInt32(formatBlock, kHeightOffset)};
}

// Signed decimal, as _ltoa writes it in radix 10.
std::string DecimalText(std::int32_t value) {
  std::array<char, 32> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size() - 1, value);
  return std::string(buffer.data(), result.ptr);
}

void ReleaseIfHeld(DirectShow& platform, ObjectRef& object) {
  if (object != kNoObject) platform.Release(object);
  object = kNoObject;
}

// The first group keyed by subtypeText, or a new last group for it.
FormatGroup& GroupFor(std::vector<FormatGroup>& groups, const std::string& subtypeText) {
  auto found = std::find_if(groups.begin(), groups.end(),
                            [&](const FormatGroup& group) { return group.front() == subtypeText; });
  if (found != groups.end()) return *found;
  groups.push_back(FormatGroup{subtypeText});
  return groups.back();
}

std::u16string ReadDeviceName(DirectShow& platform, ObjectRef moniker) {
  ObjectRef propertyBag = kNoObject;
  HResult result = platform.BindToStorage(moniker, IID_IPropertyBag, propertyBag);
  if (Failed(result) || propertyBag == kNoObject) {
    ReleaseIfHeld(platform, propertyBag);
    return {};
  }

  std::u16string text;
  result = platform.Read(propertyBag, u"Description", text);
  if (Failed(result)) {
    text.clear();
    result = platform.Read(propertyBag, u"FriendlyName", text);
  }

  // Only an exact S_OK counts; the name ends at the string's first zero.
  std::u16string name;
  if (result == kS_OK) name = text.substr(0, text.find(u'\0'));
  ReleaseIfHeld(platform, propertyBag);
  return name;
}

void ReadCapabilities(DirectShow& platform, ObjectRef streamConfig, std::vector<FormatGroup>& groups) {
  std::int32_t count = 0;
  std::int32_t size = 0;
  platform.GetNumberOfCapabilities(streamConfig, count, size);
  if (size != kVideoStreamConfigCapsSize) return;

  for (std::int32_t index = 0; index < count; ++index) {
    std::optional<MediaType> mediaType;
    if (Failed(platform.GetStreamCaps(streamConfig, index, mediaType)) || !mediaType) continue;

    // The group is placed by its subtype's first capability, usable size or not.
    FormatGroup& group = GroupFor(groups, LookupSubtypeName(mediaType->subtype));

    std::optional<FrameSize> frame = ReadFrameSize(mediaType->format);
    if (frame && frame->width != 0 && frame->height != 0)
      group.push_back(DecimalText(frame->width) + "*" + DecimalText(frame->height));
  }
}

// The capture pin's configuration if it answers exactly S_OK, else the
// preview pin's on any success.
ObjectRef FindStreamConfig(DirectShow& platform, ObjectRef builder, ObjectRef filter) {
  ObjectRef streamConfig = kNoObject;
  HResult result = platform.FindInterface(builder, PIN_CATEGORY_CAPTURE, MEDIATYPE_Video, filter,
                                          IID_IAMStreamConfig, streamConfig);
  if (result == kS_OK) return streamConfig;

  // A success code other than S_OK may still have handed out an interface.
  ReleaseIfHeld(platform, streamConfig);
  result = platform.FindInterface(builder, PIN_CATEGORY_PREVIEW, MEDIATYPE_Video, filter,
                                  IID_IAMStreamConfig, streamConfig);
  if (Failed(result)) ReleaseIfHeld(platform, streamConfig);
  return streamConfig;
}

std::vector<FormatGroup> ReadFormatGroups(DirectShow& platform, ObjectRef builder, ObjectRef moniker) {
  std::vector<FormatGroup> groups;

  ObjectRef filter = kNoObject;
  if (Failed(platform.BindToObject(moniker, IID_IBaseFilter, filter)) || filter == kNoObject) {
    ReleaseIfHeld(platform, filter);
    return groups;
  }

  ObjectRef streamConfig = FindStreamConfig(platform, builder, filter);
  if (streamConfig != kNoObject) ReadCapabilities(platform, streamConfig, groups);

  ReleaseIfHeld(platform, streamConfig);
  ReleaseIfHeld(platform, filter);
  return groups;
}

CaptureDeviceInfo DescribeDevice(DirectShow& platform, ObjectRef builder, ObjectRef moniker) {
  CaptureDeviceInfo device;
  if (moniker == kNoObject) return device;
  device.name = ReadDeviceName(platform, moniker);
  device.formatGroups = ReadFormatGroups(platform, builder, moniker);
  return device;
}

}  // namespace

bool EnumerateCaptureDevices(DirectShow& platform, std::vector<CaptureDeviceInfo>& captureDevices) {
  // Its result does not matter: a thread already in COM works as well.
  platform.CoInitialize();

  ObjectRef builder = kNoObject;
  if (platform.CoCreateInstance(CLSID_CaptureGraphBuilder2, kClsctxInprocServer | kClsctxInprocHandler,
                                IID_ICaptureGraphBuilder2, builder) != kS_OK) {
    ReleaseIfHeld(platform, builder);
    return false;
  }

  ObjectRef deviceEnumerator = kNoObject;
  if (platform.CoCreateInstance(CLSID_SystemDeviceEnum, kClsctxInprocServer, IID_ICreateDevEnum,
                                deviceEnumerator) != kS_OK) {
    ReleaseIfHeld(platform, deviceEnumerator);
    ReleaseIfHeld(platform, builder);
    return false;
  }

  // An empty category answers S_FALSE with no enumerator: that too is "cannot start".
  ObjectRef classEnumerator = kNoObject;
  if (platform.CreateClassEnumerator(deviceEnumerator, CLSID_VideoInputDeviceCategory, 0,
                                     classEnumerator) != kS_OK) {
    ReleaseIfHeld(platform, classEnumerator);
    ReleaseIfHeld(platform, deviceEnumerator);
    ReleaseIfHeld(platform, builder);
    return false;
  }

  platform.Reset(classEnumerator);
  ObjectRef moniker = kNoObject;
  while (platform.Next(classEnumerator, moniker) == kS_OK) {
    // Every moniker gets its record, whatever failed while reading it.
    captureDevices.push_back(DescribeDevice(platform, builder, moniker));
    ReleaseIfHeld(platform, moniker);
  }
  ReleaseIfHeld(platform, moniker);

  ReleaseIfHeld(platform, classEnumerator);
  ReleaseIfHeld(platform, deviceEnumerator);
  ReleaseIfHeld(platform, builder);
  return true;
}

}  // namespace vistrel
