// The byte-level rules: hexadecimal input, line cutting with the GPGGA
// filter, hexadecimal rendering and the byte count.
#include <gtest/gtest.h>

#include "link/hex_to_bytes.h"
#include "receive/gga_lines.h"
#include "receive/hex_text.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

std::vector<std::uint8_t> Hex(const std::u16string& text, std::size_t capacity = 4096) {
  std::vector<std::uint8_t> out(capacity);
  out.resize(static_cast<std::size_t>(HexToBytes(text, out.data(), capacity)));
  return out;
}

TEST(HexToBytes, Table) {
  struct Case {
    std::u16string text;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {u"0x41 0x42", {0x41, 0x42}}, {u"41,42", {0x41, 0x42}}, {u"4142z", {0x41, 0x42}},
      {u"ABC", {0xAB, 0xC0}},       {u"0X1f", {0x1F}},        {u"xyz", {}},
      {u"10x5", {0x15}},            {u"", {}},                {u"aa BB cC", {0xAA, 0xBB, 0xCC}},
      {u"00x", {0x00}},  // "0x" goes first, one 0 is left: padded to 00
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(c.text), c.bytes) << Narrow(c.text);
}

TEST(HexToBytes, StopsAtTheCapacity) {
  std::u16string digits;
  for (int i = 0; i < 4100; ++i) digits += u"12";
  const auto bytes = Hex(digits);
  EXPECT_EQ(bytes.size(), 4096u);
  EXPECT_EQ(bytes.back(), 0x12);
}

// Feeds chunks and collects what would be sent, one entry per send.
std::vector<std::string> Forward(const std::vector<std::string>& chunks) {
  GgaLineReader reader;
  std::vector<std::string> sent;
  for (const auto& chunk : chunks)
    reader.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size(),
                [&](std::string_view line) { sent.emplace_back(line); });
  return sent;
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

TEST(GgaLines, SentencesInOneChunk) {
  EXPECT_EQ(Forward({kGga + "\r\n" + kRmc + "\r\n"}), (std::vector<std::string>{kGga + "\n"}));
  EXPECT_EQ(Forward({kGga + "\r\n" + kRmc + "\r\n" + kGga + "\r\n"}),
            (std::vector<std::string>{kGga + "\n", kGga + "\n"}));
  // A lone CR stays; LF alone ends a line too.
  EXPECT_EQ(Forward({"a\rGPGGA\n"}), (std::vector<std::string>{"a\rGPGGA\n"}));
}

TEST(GgaLines, SentenceCutByTheEndOfAReadGoesOutOnceWhole) {
  const std::string stream = kRmc + "\r\n" + kGga + "\r\n" + kRmc + "\r\n";
  // Every cut position, also between CR and LF and inside "GPGGA".
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    EXPECT_EQ(Forward({stream.substr(0, cut), stream.substr(cut)}), (std::vector<std::string>{kGga + "\n"}))
        << "cut at " << cut;
  }
  // Three reads through one sentence.
  EXPECT_EQ(Forward({"$GP", "GGA,1,2", ",3*00\r", "\n"}), (std::vector<std::string>{"$GPGGA,1,2,3*00\n"}));
}

TEST(GgaLines, EndOfFileByteEndsTheChunksReadableData) {
  EXPECT_EQ(Forward({kRmc + "\r\n\x1A" + kGga + "\r\n"}), std::vector<std::string>{});
  // The next chunk is read again.
  EXPECT_EQ(Forward({std::string("\x1A") + kGga + "\r\n", kGga + "\r\n"}), (std::vector<std::string>{kGga + "\n"}));
}

TEST(GgaLines, LongLinesAreCutAt255Bytes) {
  const std::string line = "GPGGA" + std::string(295, 'x');  // 300 bytes, no line end
  const auto sent = Forward({line, "\r\n"});
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], line.substr(0, 255));
  // The tail holds GPGGA itself: it goes out as its own line once it ends.
  const std::string other = std::string(260, 'y') + "GPGGA" + std::string(35, 'z');
  EXPECT_EQ(Forward({other + "\n"}), (std::vector<std::string>{other.substr(255) + "\n"}));
}

TEST(GgaLines, ALineIsTakenUpToItsFirstZeroByte) {
  EXPECT_EQ(Forward({std::string("ab\0GPGGA\n", 9)}), std::vector<std::string>{});
  EXPECT_EQ(Forward({std::string("GPGGA\0xy\n", 9)}), (std::vector<std::string>{"GPGGA"}));
}

TEST(BytesToHex, EntriesAndLineBreaks) {
  const std::uint8_t five[] = {0x41, 0x42, 0x43, 0x44, 0x45};
  EXPECT_EQ(BytesToHex(five, 5), u"41 42 43 44 45 ");
  std::vector<std::uint8_t> seventeen(17, 0xAB);
  seventeen[16] = 0x0F;
  EXPECT_EQ(BytesToHex(seventeen.data(), 17),
            u"AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB \r\n0F ");
}

TEST(CountHexBytes, CountsTheBytesShown) {
  EXPECT_EQ(CountHexBytes(u""), 0);
  EXPECT_EQ(CountHexBytes(u"41 42 43 44 45 \r\n"), 5);
  EXPECT_EQ(CountHexBytes(u"41 42 43 44 45 \r\n41 42 43 44 45 \r\n"), 10);
  std::vector<std::uint8_t> bytes(32, 1);
  EXPECT_EQ(CountHexBytes(BytesToHex(bytes.data(), 32) + u"\r\n"), 32);
}

}  // namespace
}  // namespace quillet::testing
