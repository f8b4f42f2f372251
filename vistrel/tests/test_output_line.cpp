#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/output_line.h"
#include "tests/fake_direct_show.h"

namespace vistrel {
namespace {

using testing::Capability;
using testing::DeviceNamed;
using testing::FakeDevice;
using testing::FakeDirectShow;

std::string LineFor(std::vector<FakeDevice> devices) {
  FakeDirectShow world;
  world.devices = std::move(devices);
  std::vector<CaptureDeviceInfo> captureDevices;
  std::string line = MakeOutputLine(world, captureDevices);
  EXPECT_TRUE(world.Held().empty());
  return line;
}

TEST(MakeOutputLine, JoinsDevicesAndTheirDistinctSizes) {
  FakeDevice unnamed;
  unnamed.capabilities = {Capability("YUY2", 352, 288)};
  FakeDevice noSizes = DeviceNamed(u"Cam2", {Capability("YUY2", 0, 0)});

  struct Case {
    const char* what;
    std::vector<FakeDevice> devices;
    std::string line;
  };
  const Case cases[] = {
      {"no device", {}, ""},
      {"repeated size listed once",
       {DeviceNamed(u"Cam1", {Capability("YUY2", 640, 480), Capability("YUY2", 320, 240),
                              Capability("YUY2", 640, 480)}),
        noSizes},
       "Cam1=640*480-320*240,Cam2="},
      {"one device, no comma", {DeviceNamed(u"Cam", {Capability("MJPG", 1280, 720)})}, "Cam=1280*720"},
      {"three devices",
       {DeviceNamed(u"A", {Capability("YUY2", 1, 2)}), DeviceNamed(u"B"), DeviceNamed(u"C", {Capability("YUY2", 3, 4)})},
       "A=1*2,B=,C=3*4"},
      {"same size under two subtypes, at its first place",
       {DeviceNamed(u"Cam", {Capability("MJPG", 640, 480), Capability("YUY2", 320, 240),
                             Capability("YUY2", 640, 480), Capability("MJPG", 1280, 720)})},
       "Cam=640*480-1280*720-320*240"},
      {"two devices of one name show the first one's sizes",
       {DeviceNamed(u"Cam", {Capability("YUY2", 640, 480)}), DeviceNamed(u"Cam", {Capability("YUY2", 320, 240)})},
       "Cam=640*480,Cam=640*480"},
      {"unnamed device", {unnamed}, "=352*288"},
      {"negative height is no separator", {DeviceNamed(u"Cam", {Capability("YUY2", 640, -480), Capability("YUY2", 320, 240)})},
       "Cam=640*-480-320*240"},
      {"names are not escaped", {DeviceNamed(u"a=b,c-d", {Capability("YUY2", 8, 6)})}, "a=b,c-d=8*6"},
  };
  for (const Case& c : cases) EXPECT_EQ(LineFor(c.devices), c.line) << c.what;
}

TEST(MakeOutputLine, ConvertsEachNameToTheAnsiCodePage) {
  FakeDirectShow world;
  world.devices = {DeviceNamed(u"Cam")};
  std::vector<CaptureDeviceInfo> captureDevices;
  MakeOutputLine(world, captureDevices);
  // CP_ACP with WC_COMPOSITECHECK.
  EXPECT_NE(std::find(world.calls.begin(), world.calls.end(), "WideCharToMultiByte(0,512)"), world.calls.end());
}

TEST(MakeOutputLine, KeepsAtMost255BytesOfNameAtACharacterBoundary) {
  const std::u16string wide = u"\u4E2D";  // two bytes in the fake's double-byte code page
  const std::u16string pair = u"\U0001F600";  // no such character: one default byte
  struct Case {
    const char* what;
    std::u16string name;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"255 bytes whole", std::u16string(255, u'n'), 255},
      {"256 bytes cut to 255", std::u16string(256, u'n'), 255},
      {"very long", std::u16string(5000, u'n'), 255},
      {"double-byte character that would straddle the end", std::u16string(254, u'n') + wide + u"tail", 254},
      {"double-byte character ending at 255", std::u16string(253, u'n') + wide + u"tail", 255},
      {"all double-byte", [&] { std::u16string s; for (int i = 0; i < 200; ++i) s += wide; return s; }(), 254},
      {"surrogate pair is never split", std::u16string(254, u'n') + pair + pair, 255},
  };
  for (const Case& c : cases) {
    std::string line = LineFor({DeviceNamed(c.name, {Capability("YUY2", 640, 480)})});
    ASSERT_GE(line.size(), 8u) << c.what;
    EXPECT_EQ(line.substr(line.size() - 8), "=640*480") << c.what;
    std::string name = line.substr(0, line.size() - 8);
    EXPECT_EQ(name.size(), c.bytes) << c.what;

    FakeDirectShow converter;
    std::string whole = converter.WideCharToMultiByte(0, 0x200, c.name);
    EXPECT_EQ(whole.compare(0, name.size(), name), 0) << c.what << ": not a prefix of the whole conversion";
  }
}

TEST(CollectDeviceFormats, ListsTheFirstNamedDeviceGroupByGroup) {
  std::vector<CaptureDeviceInfo> devices = {
      {u"Cam", {{"YUY2:", "640*480", "320*240"}, {"MJPG:", "640*480"}}},
      {u"Cam", {{"YUY2:", "1*1"}}},
      {u"", {{"YUY2:"}}},
  };
  std::vector<std::string> formats = {"stale"};
  EXPECT_TRUE(CollectDeviceFormats(devices, u"Cam", formats));
  EXPECT_EQ(formats, (std::vector<std::string>{"640*480", "320*240", "640*480"}));

  EXPECT_TRUE(CollectDeviceFormats(devices, u"", formats));
  EXPECT_TRUE(formats.empty());

  formats = {"stale"};
  EXPECT_FALSE(CollectDeviceFormats(devices, u"Ca", formats));
  EXPECT_TRUE(formats.empty());
  EXPECT_FALSE(CollectDeviceFormats(devices, std::u16string(u"Cam\0", 4), formats));
}

TEST(RemoveDuplicateFormats, KeepsFirstOccurrencesInOrder) {
  std::vector<std::string> formats = {"640*480", "320*240", "640*480", "640*4800", "320*240", "640*48"};
  EXPECT_TRUE(RemoveDuplicateFormats(formats));
  EXPECT_EQ(formats, (std::vector<std::string>{"640*480", "320*240", "640*4800", "640*48"}));
}

}  // namespace
}  // namespace vistrel
