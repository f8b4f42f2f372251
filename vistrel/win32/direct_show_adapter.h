#pragma once
#include "platform/direct_show.h"

namespace vistrel {

// The real COM, DirectShow and code-page calls, one pass-through each.
class Win32DirectShow final : public DirectShow {
 public:
  HResult CoInitialize() override;
  HResult CoCreateInstance(const Guid& clsid, std::uint32_t context, const Guid& iid,
                           ObjectRef& object) override;
  HResult CreateClassEnumerator(ObjectRef deviceEnumerator, const Guid& category, std::uint32_t flags,
                                ObjectRef& classEnumerator) override;
  HResult Reset(ObjectRef classEnumerator) override;
  HResult Next(ObjectRef classEnumerator, ObjectRef& moniker) override;
  HResult BindToStorage(ObjectRef moniker, const Guid& iid, ObjectRef& storage) override;
  HResult Read(ObjectRef propertyBag, const std::u16string& property, std::u16string& text) override;
  HResult BindToObject(ObjectRef moniker, const Guid& iid, ObjectRef& object) override;
  HResult FindInterface(ObjectRef builder, const Guid& pinCategory, const Guid& majorType,
                        ObjectRef filter, const Guid& iid, ObjectRef& object) override;
  HResult GetNumberOfCapabilities(ObjectRef streamConfig, std::int32_t& count,
                                  std::int32_t& size) override;
  HResult GetStreamCaps(ObjectRef streamConfig, std::int32_t index,
                        std::optional<MediaType>& mediaType) override;
  std::uint32_t Release(ObjectRef object) override;
  std::string WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                  const std::u16string& text) override;
};

}  // namespace vistrel
