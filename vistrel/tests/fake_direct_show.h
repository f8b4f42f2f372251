#pragma once
// A scripted world of capture devices behind the DirectShow seam. Every call is
// recorded; every object handed out is tracked until it is released.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/identifiers.h"
#include "core/subtype_names.h"
#include "platform/direct_show.h"

namespace vistrel::testing {

struct PropertyScript {
  HResult result = kS_OK;
  std::u16string text;
};

struct FindScript {
  HResult result = kE_NOINTERFACE;
  bool handsOutObject = false;  // an interface comes back with the result
};

struct CapabilityScript {
  HResult result = kS_OK;
  std::optional<MediaType> mediaType;
};

struct FakeDevice {
  HResult bindToStorage = kS_OK;
  std::map<std::u16string, PropertyScript> properties;  // a missing property fails
  HResult bindToObject = kS_OK;
  FindScript capturePin{kS_OK, true};
  FindScript previewPin{kE_NOINTERFACE, false};
  std::optional<std::int32_t> capabilityCount;  // default: the number of capabilities below
  std::int32_t capabilitySize = 128;
  std::vector<CapabilityScript> capabilities;
};

// A format block as VIDEOINFOHEADER lays it out, with the frame size at 52 and 56.
inline std::vector<std::uint8_t> VideoInfoBlock(std::int32_t width, std::int32_t height,
                                                std::size_t length = 88) {
  std::vector<std::uint8_t> block(length, 0xEE);
  auto put = [&](std::size_t offset, std::int32_t value) {
    for (std::size_t i = 0; i < 4 && offset + i < length; ++i)
      block[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
  };
  put(52, width);
  put(56, height);
  return block;
}

inline CapabilityScript Capability(const char (&fourcc)[5], std::int32_t width, std::int32_t height) {
  return CapabilityScript{kS_OK, MediaType{FourccGuid(fourcc), VideoInfoBlock(width, height)}};
}

inline FakeDevice DeviceNamed(std::u16string name, std::vector<CapabilityScript> capabilities = {}) {
  FakeDevice device;
  device.properties[u"FriendlyName"] = {kS_OK, std::move(name)};
  device.capabilities = std::move(capabilities);
  return device;
}

class FakeDirectShow final : public DirectShow {
 public:
  HResult builderResult = kS_OK;
  HResult deviceEnumResult = kS_OK;
  HResult classEnumResult = kS_OK;
  std::vector<FakeDevice> devices;

  std::vector<std::string> calls;
  std::vector<ObjectRef> released;

  // Objects handed out and not yet released.
  std::set<ObjectRef> Held() const { return live_; }
  std::size_t HandedOut() const { return next_ - 1; }

  HResult CoInitialize() override {
    calls.push_back("CoInitialize");
    return kS_OK;
  }

  HResult CoCreateInstance(const Guid& clsid, std::uint32_t context, const Guid& iid,
                           ObjectRef& object) override {
    if (clsid == CLSID_CaptureGraphBuilder2 && iid == IID_ICaptureGraphBuilder2) {
      calls.push_back("CoCreateInstance(builder," + std::to_string(context) + ")");
      if (Succeeded(builderResult)) object = NewObject("builder");
      return builderResult;
    }
    if (clsid == CLSID_SystemDeviceEnum && iid == IID_ICreateDevEnum) {
      calls.push_back("CoCreateInstance(devenum," + std::to_string(context) + ")");
      if (Succeeded(deviceEnumResult)) object = NewObject("devenum");
      return deviceEnumResult;
    }
    calls.push_back("CoCreateInstance(?)");
    return kE_FAIL;
  }

  HResult CreateClassEnumerator(ObjectRef deviceEnumerator, const Guid& category, std::uint32_t flags,
                                ObjectRef& classEnumerator) override {
    calls.push_back("CreateClassEnumerator(" + Name(deviceEnumerator) +
                    (category == CLSID_VideoInputDeviceCategory ? ",video" : ",?") + "," +
                    std::to_string(flags) + ")");
    if (classEnumResult == kS_OK) classEnumerator = NewObject("classenum");
    return classEnumResult;
  }

  HResult Reset(ObjectRef classEnumerator) override {
    calls.push_back("Reset(" + Name(classEnumerator) + ")");
    nextDevice_ = 0;
    return kS_OK;
  }

  HResult Next(ObjectRef classEnumerator, ObjectRef& moniker) override {
    calls.push_back("Next(" + Name(classEnumerator) + ")");
    if (nextDevice_ >= devices.size()) return kS_FALSE;
    moniker = NewObject("moniker" + std::to_string(nextDevice_), nextDevice_);
    ++nextDevice_;
    return kS_OK;
  }

  HResult BindToStorage(ObjectRef moniker, const Guid& iid, ObjectRef& storage) override {
    calls.push_back("BindToStorage(" + Name(moniker) + (iid == IID_IPropertyBag ? ",bag)" : ",?)"));
    const FakeDevice& device = DeviceOf(moniker);
    if (Succeeded(device.bindToStorage)) storage = NewObject("bag" + Index(moniker), deviceOf_[moniker]);
    return device.bindToStorage;
  }

  HResult Read(ObjectRef propertyBag, const std::u16string& property, std::u16string& text) override {
    calls.push_back("Read(" + Name(propertyBag) + "," + std::string(property.begin(), property.end()) + ")");
    const FakeDevice& device = DeviceOf(propertyBag);
    auto found = device.properties.find(property);
    if (found == device.properties.end()) return static_cast<HResult>(0x80070002u);
    text = found->second.text;
    return found->second.result;
  }

  HResult BindToObject(ObjectRef moniker, const Guid& iid, ObjectRef& object) override {
    calls.push_back("BindToObject(" + Name(moniker) + (iid == IID_IBaseFilter ? ",filter)" : ",?)"));
    const FakeDevice& device = DeviceOf(moniker);
    if (Succeeded(device.bindToObject)) object = NewObject("filter" + Index(moniker), deviceOf_[moniker]);
    return device.bindToObject;
  }

  HResult FindInterface(ObjectRef builder, const Guid& pinCategory, const Guid& majorType,
                        ObjectRef filter, const Guid& iid, ObjectRef& object) override {
    bool capture = pinCategory == PIN_CATEGORY_CAPTURE;
    calls.push_back(std::string("FindInterface(") + Name(builder) + "," +
                    (capture ? "capture" : pinCategory == PIN_CATEGORY_PREVIEW ? "preview" : "?") +
                    (majorType == MEDIATYPE_Video ? ",video," : ",?,") + Name(filter) +
                    (iid == IID_IAMStreamConfig ? ",config)" : ",?)"));
    const FakeDevice& device = DeviceOf(filter);
    const FindScript& script = capture ? device.capturePin : device.previewPin;
    if (script.handsOutObject)
      object = NewObject((capture ? "captureconfig" : "previewconfig") + Index(filter), deviceOf_[filter]);
    return script.result;
  }

  HResult GetNumberOfCapabilities(ObjectRef streamConfig, std::int32_t& count, std::int32_t& size) override {
    calls.push_back("GetNumberOfCapabilities(" + Name(streamConfig) + ")");
    const FakeDevice& device = DeviceOf(streamConfig);
    count = device.capabilityCount.value_or(static_cast<std::int32_t>(device.capabilities.size()));
    size = device.capabilitySize;
    return kS_OK;
  }

  HResult GetStreamCaps(ObjectRef streamConfig, std::int32_t index,
                        std::optional<MediaType>& mediaType) override {
    calls.push_back("GetStreamCaps(" + Name(streamConfig) + "," + std::to_string(index) + ")");
    const FakeDevice& device = DeviceOf(streamConfig);
    if (index < 0 || static_cast<std::size_t>(index) >= device.capabilities.size()) return kE_FAIL;
    const CapabilityScript& script = device.capabilities[static_cast<std::size_t>(index)];
    mediaType = script.mediaType;
    return script.result;
  }

  std::uint32_t Release(ObjectRef object) override {
    calls.push_back("Release(" + Name(object) + ")");
    released.push_back(object);
    live_.erase(object);
    return 0;
  }

  // Stands in for a double-byte code page: ASCII is one byte, every other
  // character two (a lead byte 0x81..0xFE, then a trail byte); a surrogate
  // pair, which the code page lacks, becomes the default character "?".
  std::string WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                  const std::u16string& text) override {
    calls.push_back("WideCharToMultiByte(" + std::to_string(codePage) + "," + std::to_string(flags) + ")");
    std::string converted;
    for (std::size_t i = 0; i < text.size(); ++i) {
      char16_t unit = text[i];
      if (unit < 0x80) {
        converted += static_cast<char>(unit);
      } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
        converted += '?';
        ++i;
      } else {
        converted += static_cast<char>(0x81 + (unit % 0x7E));
        converted += static_cast<char>(0x40 + (unit % 0x3F));
      }
    }
    return converted;
  }

  std::string Name(ObjectRef object) const {
    auto found = names_.find(object);
    return found == names_.end() ? "null" : found->second;
  }

 private:
  std::string Index(ObjectRef object) { return std::to_string(deviceOf_.at(object)); }

  ObjectRef NewObject(const std::string& name, std::size_t device = 0) {
    ObjectRef object = next_++;
    names_[object] = name;
    deviceOf_[object] = device;
    live_.insert(object);
    return object;
  }

  const FakeDevice& DeviceOf(ObjectRef object) { return devices.at(deviceOf_.at(object)); }

  ObjectRef next_ = 1;
  std::size_t nextDevice_ = 0;
  std::map<ObjectRef, std::string> names_;
  std::map<ObjectRef, std::size_t> deviceOf_;
  std::set<ObjectRef> live_;
};

}  // namespace vistrel::testing
