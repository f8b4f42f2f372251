// Scripted capture filters for the end-to-end tests of the lister.
//
// Each class below is one device model. A filter has output pins; each pin
// answers the pin category property, lists a video media type, and may offer
// IAMStreamConfig with the model's capabilities. The filter itself never
// offers IAMStreamConfig, so the capture graph builder has to find it on a pin.
//
// Every object counts itself; when VISTREL_FAKE_CAMERA_REPORT names a file,
// the number of objects still alive at process exit is written there. Each
// media type handed out holds one such object in pUnk, so a media type that is
// never freed shows up as a live object too.
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

std::atomic<long> liveObjects{0};

// {7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1001}: a camera with a capture pin.
const CLSID CLSID_FakeCaptureCamera = {
    0x7A1E0C01, 0x5F2B, 0x4C3D, {0x9E, 0x41, 0x0B, 0x6D, 0x2A, 0x7C, 0x10, 0x01}};
// {7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1002}: a camera whose configuration sits on its preview pin.
const CLSID CLSID_FakePreviewCamera = {
    0x7A1E0C01, 0x5F2B, 0x4C3D, {0x9E, 0x41, 0x0B, 0x6D, 0x2A, 0x7C, 0x10, 0x02}};

// {7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1004}: a camera that claims a million capabilities,
// repeating its few real ones, with zero and INT_MIN frame sizes among them.
const CLSID CLSID_FakeAbsurdCamera = {
    0x7A1E0C01, 0x5F2B, 0x4C3D, {0x9E, 0x41, 0x0B, 0x6D, 0x2A, 0x7C, 0x10, 0x04}};
// {7A1E0C01-5F2B-4C3D-9E41-0B6D2A7C1005}: a camera that claims a negative count.
const CLSID CLSID_FakeNegativeCountCamera = {
    0x7A1E0C01, 0x5F2B, 0x4C3D, {0x9E, 0x41, 0x0B, 0x6D, 0x2A, 0x7C, 0x10, 0x05}};

// A subtype no table knows.
const GUID kUnlistedSubtype = {0x5EC0A7E1, 0x1234, 0x4321, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}};

GUID Fourcc(const char (&code)[5]) {
  GUID guid = {0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  guid.Data1 = static_cast<DWORD>(static_cast<unsigned char>(code[0])) |
               static_cast<DWORD>(static_cast<unsigned char>(code[1])) << 8 |
               static_cast<DWORD>(static_cast<unsigned char>(code[2])) << 16 |
               static_cast<DWORD>(static_cast<unsigned char>(code[3])) << 24;
  return guid;
}

struct CapabilityScript {
  GUID subtype;
  LONG width;
  LONG height;
  ULONG formatBytes;  // 0: no format block at all
};

struct PinScript {
  const GUID* category;
  bool offersStreamConfig;
  std::vector<CapabilityScript> capabilities;
};

std::vector<PinScript> PinsOf(REFCLSID clsid) {
  const ULONG whole = sizeof(VIDEOINFOHEADER);
  if (IsEqualCLSID(clsid, CLSID_FakeCaptureCamera)) {
    return {{&PIN_CATEGORY_CAPTURE,
             true,
             {
                 {Fourcc("I420"), 352, 288, 56},  // too short to hold the height: group, no size
                 {Fourcc("YUY2"), 640, 480, whole},
                 {Fourcc("YUY2"), 320, 240, whole},
                 {Fourcc("MJPG"), 640, 480, whole},
                 {kUnlistedSubtype, 1280, 720, whole},
                 {Fourcc("I420"), 176, 144, whole},
                 {Fourcc("YUY2"), 800, 600, 0},  // no format block
                 {Fourcc("YUY2"), 640, -480, whole},
             }}};
  }
  if (IsEqualCLSID(clsid, CLSID_FakePreviewCamera)) {
    return {{&PIN_CATEGORY_CAPTURE, false, {}},
            {&PIN_CATEGORY_PREVIEW,
             true,
             {
                 {Fourcc("MJPG"), 1920, 1080, whole},
                 {Fourcc("YUY2"), 1280, 720, whole},
             }}};
  }
  if (IsEqualCLSID(clsid, CLSID_FakeAbsurdCamera) || IsEqualCLSID(clsid, CLSID_FakeNegativeCountCamera)) {
    return {{&PIN_CATEGORY_CAPTURE,
             true,
             {
                 {Fourcc("YUY2"), 640, 480, whole},
                 {Fourcc("MJPG"), 0, 480, whole},
                 {Fourcc("YUY2"), LONG_MIN, 480, whole},
                 {Fourcc("I420"), 640, 0, whole},
                 {Fourcc("YUY2"), 0, 0, whole},
                 {Fourcc("MJPG"), LONG_MIN, LONG_MIN, whole},
             }}};
  }
  return {};
}

// The capability count a pin claims: its list's length, except for the absurd models.
int ClaimedCount(REFCLSID clsid, size_t listed) {
  if (IsEqualCLSID(clsid, CLSID_FakeAbsurdCamera)) return 1000000;
  if (IsEqualCLSID(clsid, CLSID_FakeNegativeCountCamera)) return -7;
  return static_cast<int>(listed);
}

// Base for every object here: counts itself and frees itself at the last release.
class Counted {
 public:
  Counted() { ++liveObjects; }
  virtual ~Counted() { --liveObjects; }
  ULONG AddRefCount() { return static_cast<ULONG>(++references_); }
  ULONG ReleaseCount() {
    long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  std::atomic<long> references_{1};
};

#define FAKE_IUNKNOWN                                                       \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }       \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

// What a media type holds in pUnk: freeing the type releases it.
class MediaTypeToken final : public IUnknown, public Counted {
 public:
  FAKE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
};

AM_MEDIA_TYPE* NewMediaType(const GUID& subtype, LONG width, LONG height, ULONG formatBytes) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  std::memset(type, 0, sizeof(*type));
  type->majortype = MEDIATYPE_Video;
  type->subtype = subtype;
  type->bFixedSizeSamples = TRUE;
  type->formattype = FORMAT_VideoInfo;
  type->pUnk = new MediaTypeToken;
  if (formatBytes > 0) {
    // The header in full, filled, then cut to the scripted length.
    VIDEOINFOHEADER header;
    std::memset(&header, 0, sizeof(header));
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    type->cbFormat = formatBytes;
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(formatBytes));
    std::memcpy(type->pbFormat, &header, formatBytes < sizeof(header) ? formatBytes : sizeof(header));
  }
  return type;
}

class FakeEnumMediaTypes final : public IEnumMediaTypes, public Counted {
 public:
  FAKE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumMediaTypes)) return E_NOINTERFACE;
    *out = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    ULONG given = 0;
    while (given < count && position_ < 1) {
      types[given++] = NewMediaType(Fourcc("YUY2"), 640, 480, sizeof(VIDEOINFOHEADER));
      ++position_;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    position_ += count;
    return position_ <= 1 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }

 private:
  ULONG position_ = 0;
};

class FakePin final : public IPin, public IKsPropertySet, public IAMStreamConfig, public Counted {
 public:
  FakePin(IBaseFilter* filter, PinScript script, int claimedCount)
      : filter_(filter), script_(std::move(script)), claimedCount_(claimedCount) {}

  FAKE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
      *out = static_cast<IPin*>(this);
    } else if (IsEqualIID(iid, IID_IKsPropertySet)) {
      *out = static_cast<IKsPropertySet*>(this);
    } else if (IsEqualIID(iid, IID_IAMStreamConfig) && script_.offersStreamConfig) {
      *out = static_cast<IAMStreamConfig*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IPin: an unconnected output pin.
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** peer) override {
    *peer = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    lstrcpynW(info->achName, IsEqualGUID(*script_.category, PIN_CATEGORY_CAPTURE) ? L"Capture" : L"Preview",
              MAX_PIN_NAME);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    *id = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
    *types = new FakeEnumMediaTypes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // IKsPropertySet: only the pin category.
  HRESULT STDMETHODCALLTYPE Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_PROP_ID_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD size,
                                DWORD* returned) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (size < sizeof(GUID)) return E_UNEXPECTED;
    std::memcpy(data, script_.category, sizeof(GUID));
    if (returned) *returned = sizeof(GUID);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
  }

  // IAMStreamConfig: the scripted capabilities.
  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
    *count = claimedCount_;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override {
    if (index < 0 || index >= claimedCount_ || script_.capabilities.empty()) return S_FALSE;
    // Past its list, a pin that claims more repeats the list.
    const CapabilityScript& capability = script_.capabilities[static_cast<size_t>(index) % script_.capabilities.size()];
    *type = NewMediaType(capability.subtype, capability.width, capability.height, capability.formatBytes);
    auto* config = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps);
    std::memset(config, 0, sizeof(*config));
    config->guid = FORMAT_VideoInfo;
    config->InputSize.cx = config->MinOutputSize.cx = config->MaxOutputSize.cx = capability.width;
    config->InputSize.cy = config->MinOutputSize.cy = config->MaxOutputSize.cy = capability.height;
    return S_OK;
  }

 private:
  IBaseFilter* filter_;  // not held: the filter owns its pins
  PinScript script_;
  int claimedCount_;
};

class FakeEnumPins final : public IEnumPins, public Counted {
 public:
  explicit FakeEnumPins(std::vector<IPin*> pins) : pins_(std::move(pins)) {
    for (IPin* pin : pins_) pin->AddRef();
  }
  ~FakeEnumPins() override {
    for (IPin* pin : pins_) pin->Release();
  }
  FAKE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumPins)) return E_NOINTERFACE;
    *out = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
    ULONG given = 0;
    while (given < count && position_ < pins_.size()) {
      pins[given] = pins_[position_++];
      pins[given++]->AddRef();
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    position_ += count;
    return position_ <= pins_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins**) override { return E_NOTIMPL; }

 private:
  std::vector<IPin*> pins_;
  size_t position_ = 0;
};

class FakeFilter final : public IBaseFilter, public Counted {
 public:
  explicit FakeFilter(REFCLSID clsid) : clsid_(clsid) {
    for (PinScript& script : PinsOf(clsid)) {
      const int claimed = ClaimedCount(clsid, script.capabilities.size());
      pins_.push_back(new FakePin(this, std::move(script), claimed));
    }
  }
  ~FakeFilter() override {
    for (FakePin* pin : pins_) static_cast<IPin*>(pin)->Release();
  }
  FAKE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPersist) && !IsEqualIID(iid, IID_IMediaFilter) &&
        !IsEqualIID(iid, IID_IBaseFilter))
      return E_NOINTERFACE;
    *out = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = clsid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    *state = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    *clock = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
    std::vector<IPin*> list(pins_.begin(), pins_.end());
    *pins = new FakeEnumPins(list);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    std::memset(info, 0, sizeof(*info));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }

 private:
  CLSID clsid_;
  std::vector<FakePin*> pins_;
};

class FakeClassFactory final : public IClassFactory {
 public:
  explicit FakeClassFactory(REFCLSID clsid) : clsid_(clsid) {}
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* filter = new (std::nothrow) FakeFilter(clsid_);
    if (!filter) return E_OUTOFMEMORY;
    HRESULT result = filter->QueryInterface(iid, out);
    filter->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  CLSID clsid_;
};

FakeClassFactory captureFactory(CLSID_FakeCaptureCamera);
FakeClassFactory previewFactory(CLSID_FakePreviewCamera);
FakeClassFactory absurdFactory(CLSID_FakeAbsurdCamera);
FakeClassFactory negativeCountFactory(CLSID_FakeNegativeCountCamera);

void ReportLiveObjects() {
  wchar_t path[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"VISTREL_FAKE_CAMERA_REPORT", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char text[32];
  int size = std::snprintf(text, sizeof(text), "live=%ld", liveObjects.load());
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) ReportLiveObjects();
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualCLSID(clsid, CLSID_FakeCaptureCamera)) return captureFactory.QueryInterface(iid, out);
  if (IsEqualCLSID(clsid, CLSID_FakePreviewCamera)) return previewFactory.QueryInterface(iid, out);
  if (IsEqualCLSID(clsid, CLSID_FakeAbsurdCamera)) return absurdFactory.QueryInterface(iid, out);
  if (IsEqualCLSID(clsid, CLSID_FakeNegativeCountCamera)) return negativeCountFactory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

}  // extern "C"
