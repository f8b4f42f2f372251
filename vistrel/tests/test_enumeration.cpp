#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/capture_devices.h"
#include "core/output_line.h"
#include "tests/fake_direct_show.h"

namespace vistrel {
namespace {

using testing::Capability;
using testing::CapabilityScript;
using testing::DeviceNamed;
using testing::FakeDevice;
using testing::FakeDirectShow;
using testing::FindScript;
using testing::VideoInfoBlock;

constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154u);
constexpr HResult kSomeSuccess = 0x00040103;  // a success code other than S_OK

std::vector<FormatGroup> GroupsOfOnlyDevice(FakeDirectShow& world) {
  std::vector<CaptureDeviceInfo> devices;
  EXPECT_TRUE(EnumerateCaptureDevices(world, devices));
  EXPECT_EQ(devices.size(), 1u);
  EXPECT_TRUE(world.Held().empty()) << "objects left unreleased";
  return devices.empty() ? std::vector<FormatGroup>{} : devices[0].formatGroups;
}

TEST(EnumerateCaptureDevices, CannotStartWithoutEveryPlatformObject) {
  struct Case {
    const char* what;
    HResult builder, deviceEnum, classEnum;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> builderOnly = {"CoInitialize", "CoCreateInstance(builder,3)"};
  const Case cases[] = {
      {"builder not registered", kClassNotRegistered, kS_OK, kS_OK, builderOnly},
      // Only exactly S_OK gives a usable builder; the object handed out is given back.
      {"builder S_FALSE", kS_FALSE, kS_OK, kS_OK,
       {"CoInitialize", "CoCreateInstance(builder,3)", "Release(builder)"}},
      {"device enumerator fails", kS_OK, kE_FAIL, kS_OK,
       {"CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)", "Release(builder)"}},
      {"device enumerator S_FALSE", kS_OK, kS_FALSE, kS_OK,
       {"CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)", "Release(devenum)",
        "Release(builder)"}},
      // An empty category answers S_FALSE with no enumerator.
      {"empty category", kS_OK, kS_OK, kS_FALSE,
       {"CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)",
        "CreateClassEnumerator(devenum,video,0)", "Release(devenum)", "Release(builder)"}},
      {"class enumerator fails", kS_OK, kS_OK, kE_FAIL,
       {"CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)",
        "CreateClassEnumerator(devenum,video,0)", "Release(devenum)", "Release(builder)"}},
  };
  for (const Case& c : cases) {
    FakeDirectShow world;
    world.builderResult = c.builder;
    world.deviceEnumResult = c.deviceEnum;
    world.classEnumResult = c.classEnum;
    world.devices = {DeviceNamed(u"Cam", {Capability("YUY2", 640, 480)})};
    std::vector<CaptureDeviceInfo> devices;

    EXPECT_EQ(MakeOutputLine(world, devices), "none") << c.what;
    EXPECT_TRUE(devices.empty()) << c.what;
    EXPECT_EQ(world.calls, c.calls) << c.what;
    EXPECT_TRUE(world.Held().empty()) << c.what;
  }
}

TEST(EnumerateCaptureDevices, NoDeviceIsAStartedEnumerationWithNoRecord) {
  FakeDirectShow world;
  std::vector<CaptureDeviceInfo> devices;
  EXPECT_TRUE(EnumerateCaptureDevices(world, devices));
  EXPECT_TRUE(devices.empty());
  EXPECT_EQ(world.calls, (std::vector<std::string>{
                             "CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)",
                             "CreateClassEnumerator(devenum,video,0)", "Reset(classenum)", "Next(classenum)",
                             "Release(classenum)", "Release(devenum)", "Release(builder)"}));
}

TEST(EnumerateCaptureDevices, ReadsOneDeviceInTheOrderOfItsCalls) {
  FakeDirectShow world;
  FakeDevice device = DeviceNamed(u"Cam", {Capability("YUY2", 640, 480), Capability("MJPG", 320, 240)});
  device.properties[u"Description"] = {kS_OK, u"USB Cam"};
  world.devices = {device};
  std::vector<CaptureDeviceInfo> devices;

  ASSERT_TRUE(EnumerateCaptureDevices(world, devices));
  EXPECT_EQ(world.calls,
            (std::vector<std::string>{
                "CoInitialize", "CoCreateInstance(builder,3)", "CoCreateInstance(devenum,1)",
                "CreateClassEnumerator(devenum,video,0)", "Reset(classenum)", "Next(classenum)",
                "BindToStorage(moniker0,bag)", "Read(bag0,Description)", "Release(bag0)",
                "BindToObject(moniker0,filter)", "FindInterface(builder,capture,video,filter0,config)",
                "GetNumberOfCapabilities(captureconfig0)", "GetStreamCaps(captureconfig0,0)",
                "GetStreamCaps(captureconfig0,1)", "Release(captureconfig0)", "Release(filter0)",
                "Release(moniker0)", "Next(classenum)", "Release(classenum)", "Release(devenum)",
                "Release(builder)"}));
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, u"USB Cam");
  EXPECT_EQ(devices[0].formatGroups, (std::vector<FormatGroup>{{"YUY2:", "640*480"}, {"MJPG:", "320*240"}}));
}

TEST(EnumerateCaptureDevices, NameComesFromDescriptionElseFriendlyNameOnlyOnExactOk) {
  struct Case {
    const char* what;
    HResult bind;
    std::optional<testing::PropertyScript> description, friendlyName;
    std::u16string name;
    std::vector<std::string> reads;
  };
  const Case cases[] = {
      {"description wins", kS_OK, {{kS_OK, u"Desc"}}, {{kS_OK, u"Friendly"}}, u"Desc",
       {"Read(bag0,Description)"}},
      {"friendly name when description fails", kS_OK, std::nullopt, {{kS_OK, u"Friendly"}}, u"Friendly",
       {"Read(bag0,Description)", "Read(bag0,FriendlyName)"}},
      {"description failing with text left over", kS_OK, {{kE_FAIL, u"junk"}}, {{kS_OK, u"Friendly"}},
       u"Friendly", {"Read(bag0,Description)", "Read(bag0,FriendlyName)"}},
      // A positive result other than S_OK is no failure, so the friendly name is not tried.
      {"description other success", kS_OK, {{kS_FALSE, u"Desc"}}, {{kS_OK, u"Friendly"}}, u"",
       {"Read(bag0,Description)"}},
      {"friendly name other success", kS_OK, std::nullopt, {{kS_FALSE, u"Friendly"}}, u"",
       {"Read(bag0,Description)", "Read(bag0,FriendlyName)"}},
      {"neither property", kS_OK, std::nullopt, std::nullopt, u"",
       {"Read(bag0,Description)", "Read(bag0,FriendlyName)"}},
      {"no property bag", kE_FAIL, {{kS_OK, u"Desc"}}, std::nullopt, u"", {}},
      {"text ends at its first zero", kS_OK, {{kS_OK, std::u16string(u"Cam\0tail", 8)}}, std::nullopt,
       u"Cam", {"Read(bag0,Description)"}},
  };
  for (const Case& c : cases) {
    FakeDirectShow world;
    FakeDevice device;
    device.bindToStorage = c.bind;
    if (c.description) device.properties[u"Description"] = *c.description;
    if (c.friendlyName) device.properties[u"FriendlyName"] = *c.friendlyName;
    device.capabilities = {Capability("YUY2", 640, 480)};
    world.devices = {device};
    std::vector<CaptureDeviceInfo> devices;

    ASSERT_TRUE(EnumerateCaptureDevices(world, devices)) << c.what;
    ASSERT_EQ(devices.size(), 1u) << c.what;
    EXPECT_EQ(devices[0].name, c.name) << c.what;
    std::vector<std::string> reads;
    for (const std::string& call : world.calls)
      if (call.rfind("Read(", 0) == 0) reads.push_back(call);
    EXPECT_EQ(reads, c.reads) << c.what;
    // The name step never keeps the device from being read.
    EXPECT_EQ(devices[0].formatGroups, (std::vector<FormatGroup>{{"YUY2:", "640*480"}})) << c.what;
    EXPECT_TRUE(world.Held().empty()) << c.what;
  }
}

TEST(EnumerateCaptureDevices, StreamConfigurationFromCapturePinOnExactOkElsePreviewOnAnySuccess) {
  struct Case {
    const char* what;
    FindScript capture, preview;
    bool listed;
    std::vector<std::string> finds;
  };
  const std::string captureCall = "FindInterface(builder,capture,video,filter0,config)";
  const std::string previewCall = "FindInterface(builder,preview,video,filter0,config)";
  const Case cases[] = {
      {"capture pin", {kS_OK, true}, {kS_OK, true}, true, {captureCall}},
      {"no capture pin, preview pin", {kE_NOINTERFACE, false}, {kS_OK, true}, true, {captureCall, previewCall}},
      {"capture pin other success", {kSomeSuccess, true}, {kS_OK, true}, true, {captureCall, previewCall}},
      {"preview other success", {kE_FAIL, false}, {kSomeSuccess, true}, true, {captureCall, previewCall}},
      {"neither pin", {kE_NOINTERFACE, false}, {kE_NOINTERFACE, false}, false, {captureCall, previewCall}},
      {"preview fails handing out an object", {kS_FALSE, true}, {kE_FAIL, true}, false,
       {captureCall, previewCall}},
  };
  for (const Case& c : cases) {
    FakeDirectShow world;
    FakeDevice device = DeviceNamed(u"Cam", {Capability("YUY2", 640, 480)});
    device.capturePin = c.capture;
    device.previewPin = c.preview;
    world.devices = {device};

    std::vector<FormatGroup> groups = GroupsOfOnlyDevice(world);
    const std::vector<FormatGroup> listed = {{"YUY2:", "640*480"}};
    EXPECT_EQ(groups, c.listed ? listed : std::vector<FormatGroup>{}) << c.what;
    std::vector<std::string> finds;
    for (const std::string& call : world.calls)
      if (call.rfind("FindInterface(", 0) == 0) finds.push_back(call);
    EXPECT_EQ(finds, c.finds) << c.what;
  }
}

TEST(EnumerateCaptureDevices, FailuresBeforeTheCapabilitiesStillListTheDevice) {
  struct Case {
    const char* what;
    HResult bindToObject;
    std::int32_t size;
    std::optional<std::int32_t> count;
  };
  const Case cases[] = {
      {"no filter", kE_FAIL, 128, std::nullopt},
      {"capabilities block too small", kS_OK, 127, std::nullopt},
      {"capabilities block larger", kS_OK, 136, std::nullopt},
      {"no size given", kS_OK, 0, std::nullopt},
      {"zero capabilities", kS_OK, 128, 0},
      {"negative count", kS_OK, 128, -3},
  };
  for (const Case& c : cases) {
    FakeDirectShow world;
    FakeDevice device = DeviceNamed(u"Cam", {Capability("YUY2", 640, 480)});
    device.bindToObject = c.bindToObject;
    device.capabilitySize = c.size;
    device.capabilityCount = c.count;
    world.devices = {device};

    EXPECT_TRUE(GroupsOfOnlyDevice(world).empty()) << c.what;
    for (const std::string& call : world.calls) EXPECT_EQ(call.rfind("GetStreamCaps", 0), std::string::npos) << c.what;
    std::vector<CaptureDeviceInfo> devices;
    FakeDirectShow again;
    again.devices = world.devices;
    EXPECT_EQ(MakeOutputLine(again, devices), "Cam=") << c.what;
  }
}

TEST(EnumerateCaptureDevices, GroupsSizesByTheFirstCapabilityOfEachSubtypeText) {
  CapabilityScript failing{kE_FAIL, std::nullopt};
  CapabilityScript noMediaType{kS_OK, std::nullopt};
  CapabilityScript shortBlock{kS_OK, MediaType{FourccGuid("RGB3"), VideoInfoBlock(800, 600, 59)}};
  CapabilityScript noBlock{kS_OK, MediaType{FourccGuid("MJPG"), {}}};
  CapabilityScript exactBlock{kS_OK, MediaType{FourccGuid("MJPG"), VideoInfoBlock(1024, 768, 60)}};

  struct Case {
    const char* what;
    std::vector<CapabilityScript> capabilities;
    std::vector<FormatGroup> groups;
  };
  const Case cases[] = {
      {"two subtypes",
       {Capability("YUY2", 640, 480), Capability("YUY2", 320, 240), Capability("MJPG", 640, 480)},
       {{"YUY2:", "640*480", "320*240"}, {"MJPG:", "640*480"}}},
      {"unlisted subtypes share one group placed by the first",
       {Capability("ABCD", 160, 120), Capability("YUY2", 640, 480), Capability("WXYZ", 176, 144),
        Capability("ABCD", 160, 120)},
       {{"UNKNOWTPYE", "160*120", "176*144", "160*120"}, {"YUY2:", "640*480"}}},
      {"unusable first size still places the group",
       {Capability("MJPG", 0, 480), Capability("YUY2", 640, 480), Capability("MJPG", 1280, 720)},
       {{"MJPG:", "1280*720"}, {"YUY2:", "640*480"}}},
      {"zero height", {Capability("YUY2", 640, 0)}, {{"YUY2:"}}},
      {"negative sizes keep their sign",
       {Capability("YUY2", 640, -480), Capability("YUY2", -2147483647 - 1, 2147483647)},
       {{"YUY2:", "640*-480", "-2147483648*2147483647"}}},
      {"a failing capability is skipped", {failing, Capability("YUY2", 640, 480)}, {{"YUY2:", "640*480"}}},
      {"a capability without media type is skipped", {noMediaType, Capability("YUY2", 640, 480)},
       {{"YUY2:", "640*480"}}},
      {"short and missing format blocks give no size but a group",
       {shortBlock, noBlock, exactBlock, Capability("YUY2", 640, 480)},
       {{"UNKNOWTPYE"}, {"MJPG:", "1024*768"}, {"YUY2:", "640*480"}}},
  };
  for (const Case& c : cases) {
    FakeDirectShow world;
    world.devices = {DeviceNamed(u"Cam", c.capabilities)};
    EXPECT_EQ(GroupsOfOnlyDevice(world), c.groups) << c.what;
  }
}

TEST(EnumerateCaptureDevices, EveryMonikerGetsARecordAndEveryObjectIsReleased) {
  FakeDirectShow world;
  FakeDevice broken;
  broken.bindToStorage = kE_FAIL;
  broken.bindToObject = kE_FAIL;
  FakeDevice previewOnly = DeviceNamed(u"Preview", {Capability("YUY2", 320, 240)});
  previewOnly.capturePin = {kE_NOINTERFACE, false};
  previewOnly.previewPin = {kS_OK, true};
  world.devices = {DeviceNamed(u"First", {Capability("YUY2", 640, 480)}), broken, previewOnly};
  std::vector<CaptureDeviceInfo> devices;

  ASSERT_TRUE(EnumerateCaptureDevices(world, devices));
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0].name, u"First");
  EXPECT_EQ(devices[1].name, u"");
  EXPECT_TRUE(devices[1].formatGroups.empty());
  EXPECT_EQ(devices[2].formatGroups, (std::vector<FormatGroup>{{"YUY2:", "320*240"}}));
  EXPECT_TRUE(world.Held().empty());
  EXPECT_EQ(world.released.size(), world.HandedOut());
}

}  // namespace
}  // namespace vistrel
