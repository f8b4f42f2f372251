#pragma once
// Seam over the COM, DirectShow and code-page calls the lister makes. One method
// per call; results are the calls' own HRESULT values, interfaces travel as
// opaque references, and a media type as its subtype and format block bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

using HResult = std::int32_t;
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;
inline constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult kE_NOINTERFACE = static_cast<HResult>(0x80004002u);

inline constexpr bool Succeeded(HResult result) { return result >= 0; }
inline constexpr bool Failed(HResult result) { return result < 0; }

// A GUID in its standard layout; equal exactly when all 16 bytes are equal.
struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

// A COM interface pointer carried as an opaque value; 0 is no object.
using ObjectRef = std::uintptr_t;
inline constexpr ObjectRef kNoObject = 0;

// What the lister reads of an AM_MEDIA_TYPE: its subtype and the bytes of its
// format block (cbFormat of them; none when pbFormat is missing).
struct MediaType {
  Guid subtype;
  std::vector<std::uint8_t> format;
};

class DirectShow {
 public:
  virtual ~DirectShow() = default;

  // CoInitialize(NULL).
  virtual HResult CoInitialize() = 0;
  // CoCreateInstance(clsid, no outer object, context, iid, &object).
  virtual HResult CoCreateInstance(const Guid& clsid, std::uint32_t context, const Guid& iid,
                                   ObjectRef& object) = 0;
  // ICreateDevEnum::CreateClassEnumerator.
  virtual HResult CreateClassEnumerator(ObjectRef deviceEnumerator, const Guid& category,
                                        std::uint32_t flags, ObjectRef& classEnumerator) = 0;
  // IEnumMoniker::Reset.
  virtual HResult Reset(ObjectRef classEnumerator) = 0;
  // IEnumMoniker::Next(1, &moniker, &fetched).
  virtual HResult Next(ObjectRef classEnumerator, ObjectRef& moniker) = 0;
  // IMoniker::BindToStorage(no bind context, no left moniker, iid, &storage).
  virtual HResult BindToStorage(ObjectRef moniker, const Guid& iid, ObjectRef& storage) = 0;
  // IPropertyBag::Read(property, VARIANT of type VT_BSTR, no error log). text receives
  // every character of the returned string (its whole length, zeros included).
  virtual HResult Read(ObjectRef propertyBag, const std::u16string& property,
                       std::u16string& text) = 0;
  // IMoniker::BindToObject(no bind context, no left moniker, iid, &object).
  virtual HResult BindToObject(ObjectRef moniker, const Guid& iid, ObjectRef& object) = 0;
  // ICaptureGraphBuilder2::FindInterface.
  virtual HResult FindInterface(ObjectRef builder, const Guid& pinCategory, const Guid& majorType,
                                ObjectRef filter, const Guid& iid, ObjectRef& object) = 0;
  // IAMStreamConfig::GetNumberOfCapabilities.
  virtual HResult GetNumberOfCapabilities(ObjectRef streamConfig, std::int32_t& count,
                                          std::int32_t& size) = 0;
  // IAMStreamConfig::GetStreamCaps into a capabilities block of the platform's
  // own. The media type is copied out and freed by the call; mediaType stays
  // empty when the platform handed none out.
  virtual HResult GetStreamCaps(ObjectRef streamConfig, std::int32_t index,
                                std::optional<MediaType>& mediaType) = 0;
  // IUnknown::Release.
  virtual std::uint32_t Release(ObjectRef object) = 0;
  // WideCharToMultiByte(codePage, flags, text, its length, ..., no default character):
  // the whole converted text, however long; empty when the conversion fails.
  virtual std::string WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                          const std::u16string& text) = 0;
};

}  // namespace vistrel
