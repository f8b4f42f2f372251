#include "win32/direct_show_adapter.h"

#include <windows.h>
#include <dshow.h>
#include <oleauto.h>

#include <cstring>

namespace vistrel {
namespace {

// VIDEO_STREAM_CONFIG_CAPS in its published layout. Not every toolchain's
// headers carry it, and the lister only needs a block of the right size for
// the platform to fill.
struct VideoStreamConfigCaps {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  LONGLONG MinFrameInterval;
  LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
};
static_assert(sizeof(VideoStreamConfigCaps) == 128, "the capabilities block is 128 bytes");

GUID ToGuid(const Guid& guid) {
  GUID result;
  result.Data1 = guid.Data1;
  result.Data2 = guid.Data2;
  result.Data3 = guid.Data3;
  std::memcpy(result.Data4, guid.Data4.data(), sizeof(result.Data4));
  return result;
}

Guid FromGuid(const GUID& guid) {
  Guid result;
  result.Data1 = guid.Data1;
  result.Data2 = guid.Data2;
  result.Data3 = guid.Data3;
  std::memcpy(result.Data4.data(), guid.Data4, sizeof(guid.Data4));
  return result;
}

template <typename Interface>
Interface* As(ObjectRef object) {
  return reinterpret_cast<Interface*>(object);
}

ObjectRef RefOf(void* object) { return reinterpret_cast<ObjectRef>(object); }

// Frees a media type the way DeleteMediaType does: format block, held object, the type itself.
void FreeMediaType(AM_MEDIA_TYPE* type) {
  if (type->pbFormat) CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  CoTaskMemFree(type);
}

}  // namespace

HResult Win32DirectShow::CoInitialize() { return ::CoInitialize(nullptr); }

HResult Win32DirectShow::CoCreateInstance(const Guid& clsid, std::uint32_t context, const Guid& iid,
                                          ObjectRef& object) {
  GUID classId = ToGuid(clsid);
  GUID interfaceId = ToGuid(iid);
  void* created = nullptr;
  HRESULT result = ::CoCreateInstance(classId, nullptr, context, interfaceId, &created);
  object = RefOf(created);
  return result;
}

HResult Win32DirectShow::CreateClassEnumerator(ObjectRef deviceEnumerator, const Guid& category,
                                               std::uint32_t flags, ObjectRef& classEnumerator) {
  GUID categoryId = ToGuid(category);
  IEnumMoniker* enumerator = nullptr;
  HRESULT result = As<ICreateDevEnum>(deviceEnumerator)->CreateClassEnumerator(categoryId, &enumerator, flags);
  classEnumerator = RefOf(enumerator);
  return result;
}

HResult Win32DirectShow::Reset(ObjectRef classEnumerator) { return As<IEnumMoniker>(classEnumerator)->Reset(); }

HResult Win32DirectShow::Next(ObjectRef classEnumerator, ObjectRef& moniker) {
  IMoniker* next = nullptr;
  ULONG fetched = 0;
  HRESULT result = As<IEnumMoniker>(classEnumerator)->Next(1, &next, &fetched);
  moniker = RefOf(next);
  return result;
}

HResult Win32DirectShow::BindToStorage(ObjectRef moniker, const Guid& iid, ObjectRef& storage) {
  GUID interfaceId = ToGuid(iid);
  void* bound = nullptr;
  HRESULT result = As<IMoniker>(moniker)->BindToStorage(nullptr, nullptr, interfaceId, &bound);
  storage = RefOf(bound);
  return result;
}

HResult Win32DirectShow::Read(ObjectRef propertyBag, const std::u16string& property, std::u16string& text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = nullptr;
  HRESULT result =
      As<IPropertyBag>(propertyBag)->Read(reinterpret_cast<LPCOLESTR>(property.c_str()), &value, nullptr);
  text.clear();
  if (value.vt == VT_BSTR && value.bstrVal)
    text.assign(reinterpret_cast<const char16_t*>(value.bstrVal), SysStringLen(value.bstrVal));
  VariantClear(&value);
  return result;
}

HResult Win32DirectShow::BindToObject(ObjectRef moniker, const Guid& iid, ObjectRef& object) {
  GUID interfaceId = ToGuid(iid);
  void* bound = nullptr;
  HRESULT result = As<IMoniker>(moniker)->BindToObject(nullptr, nullptr, interfaceId, &bound);
  object = RefOf(bound);
  return result;
}

HResult Win32DirectShow::FindInterface(ObjectRef builder, const Guid& pinCategory, const Guid& majorType,
                                       ObjectRef filter, const Guid& iid, ObjectRef& object) {
  GUID categoryId = ToGuid(pinCategory);
  GUID majorTypeId = ToGuid(majorType);
  GUID interfaceId = ToGuid(iid);
  void* found = nullptr;
  HRESULT result = As<ICaptureGraphBuilder2>(builder)->FindInterface(
      &categoryId, &majorTypeId, As<IBaseFilter>(filter), interfaceId, &found);
  object = RefOf(found);
  return result;
}

HResult Win32DirectShow::GetNumberOfCapabilities(ObjectRef streamConfig, std::int32_t& count,
                                                 std::int32_t& size) {
  int platformCount = 0;
  int platformSize = 0;
  HRESULT result = As<IAMStreamConfig>(streamConfig)->GetNumberOfCapabilities(&platformCount, &platformSize);
  count = platformCount;
  size = platformSize;
  return result;
}

HResult Win32DirectShow::GetStreamCaps(ObjectRef streamConfig, std::int32_t index,
                                       std::optional<MediaType>& mediaType) {
  VideoStreamConfigCaps capabilities{};
  AM_MEDIA_TYPE* type = nullptr;
  HRESULT result = As<IAMStreamConfig>(streamConfig)
                       ->GetStreamCaps(index, &type, reinterpret_cast<BYTE*>(&capabilities));
  mediaType.reset();
  if (type) {
    MediaType copy;
    copy.subtype = FromGuid(type->subtype);
    if (type->pbFormat) copy.format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
    mediaType = std::move(copy);
    FreeMediaType(type);
  }
  return result;
}

std::uint32_t Win32DirectShow::Release(ObjectRef object) { return As<IUnknown>(object)->Release(); }

std::string Win32DirectShow::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                                 const std::u16string& text) {
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  int needed = ::WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string converted(static_cast<std::size_t>(needed), '\0');
  int written = ::WideCharToMultiByte(codePage, flags, wide, length, converted.data(), needed, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return converted;
}

}  // namespace vistrel
