#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "core/subtype_names.h"
#include "tests/guid_text.h"

namespace vistrel {
namespace {

using testing::GuidFromText;

static_assert(sizeof(Guid) == 16, "a Guid is compared as its 16 bytes");

TEST(SubtypeNameTable, HoldsSeventyOneDistinctTextsNoneOfThemTheUnknownText) {
  std::set<std::string> texts;
  for (const SubtypeNameEntry& entry : subtypeNameTable) {
    std::string text = entry.text;
    EXPECT_NE(text, kUnknownSubtypeName);
    EXPECT_EQ(text.back(), ':') << text;
    texts.insert(text);
  }
  EXPECT_EQ(subtypeNameTable.size(), 71u);
  EXPECT_EQ(texts.size(), 71u);
}

TEST(SubtypeNameTable, FourccKeysMatchThePublishedIdentifiers) {
  struct Case {
    const char* fourcc;
    const char* published;
  };
  const Case cases[] = {
      {"YUY2", "{32595559-0000-0010-8000-00AA00389B71}"},
      {"MJPG", "{47504A4D-0000-0010-8000-00AA00389B71}"},
      {"UYVY", "{59565955-0000-0010-8000-00AA00389B71}"},
      {"I420", "{30323449-0000-0010-8000-00AA00389B71}"},
      {"rle ", "{20656C72-0000-0010-8000-00AA00389B71}"},
      {"vids", "{73646976-0000-0010-8000-00AA00389B71}"},
  };
  for (const Case& c : cases) {
    char fourcc[5] = {};
    std::memcpy(fourcc, c.fourcc, 4);
    EXPECT_EQ(FourccGuid(fourcc), GuidFromText(c.published)) << c.fourcc;
  }
}

TEST(LookupSubtypeName, NamesPublishedSubtypes) {
  struct Case {
    const char* guid;
    const char* text;
  };
  const Case cases[] = {
      {"{E436EB78-524F-11CE-9F53-0020AF0BA770}", "RGB1:"},
      {"{E436EB7D-524F-11CE-9F53-0020AF0BA770}", "RGB24:"},
      {"{773C9AC0-3274-11D0-B724-00AA006C1A01}", "ARGB32:"},
      {"{59565955-0000-0010-8000-00AA00389B71}", "UYVY :"},
      {"{32595559-0000-0010-8000-00AA00389B71}", "YUY2:"},
      {"{47504A4D-0000-0010-8000-00AA00389B71}", "MJPG:"},
      {"{E436EB81-524F-11CE-9F53-0020AF0BA770}", "MPEG1Payload:"},
      {"{6765706A-0000-0010-8000-00AA00389B71}", "QTJpeg:"},
      {"{E436EB89-524F-11CE-9F53-0020AF0BA770}", "QTMovie:"},
      {"{20656C72-0000-0010-8000-00AA00389B71}", "QTRle:"},
      {"{20636D73-0000-0010-8000-00AA00389B71}", "QTSmc:"},
      {"{5A9B6A41-1A22-11D1-BAD9-00609744111A}", "VPVBI:"},
      {"{0482DDE2-7817-11CF-8A03-00AA006ECB65}", "AnalogVideo_NTSC_M:"},
      {"{0482DDF6-7817-11CF-8A03-00AA006ECB65}", "AnalogVideo_SECAM_L:"},
      {"{6C737664-0000-0010-8000-00AA00389B71}", "dvsl:"},
      {"{44535644-0000-0010-8000-00AA00389B71}", "DVSD:"},
      {"{32335237-0000-0010-8000-00AA00389B71}", "RGB32_D3D_DX7_RT:"},
      {"{35314137-0000-0010-8000-00AA00389B71}", "ARGB1555_D3D_DX7_RT:"},
      {"{30323449-0000-0010-8000-00AA00389B71}", "I420:"},
      // The major type of video, not a subtype.
      {"{73646976-0000-0010-8000-00AA00389B71}", "UNKNOWTPYE"},
      {"{00000000-0000-0000-0000-000000000000}", "UNKNOWTPYE"},
      // NV12 is not in the table.
      {"{3231564E-0000-0010-8000-00AA00389B71}", "UNKNOWTPYE"},
  };
  for (const Case& c : cases) EXPECT_EQ(LookupSubtypeName(GuidFromText(c.guid)), c.text) << c.guid;
}

TEST(LookupSubtypeName, AKeyDifferingInAnyOneByteMisses) {
  for (const SubtypeNameEntry& entry : subtypeNameTable) {
    ASSERT_EQ(LookupSubtypeName(entry.key), entry.text);
    for (std::size_t byte = 0; byte < 16; ++byte) {
      Guid changed = entry.key;
      unsigned char bytes[16];
      std::memcpy(bytes, &changed, 16);
      bytes[byte] ^= 0x80;
      std::memcpy(&changed, bytes, 16);
      EXPECT_EQ(LookupSubtypeName(changed), kUnknownSubtypeName) << entry.text << " byte " << byte;
    }
  }
}

}  // namespace
}  // namespace vistrel
