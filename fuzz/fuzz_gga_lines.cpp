// The receive path's line splitter, fed a stream cut into chunks of up to 4095
// bytes (one read each). Checks every send against a model of the text-mode
// rules applied to the whole stream: in each chunk a 0x1A byte hides the rest
// of that chunk; CR LF reads as LF, also across a chunk boundary; a line ends
// after LF or at 255 bytes; a line is sent, up to its first zero byte, when it
// holds "GPGGA"; the piece after the last line end waits for the next chunk.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "receive/gga_lines.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> Model(const std::vector<std::string>& chunks) {
  std::string readable;
  for (const std::string& chunk : chunks) readable += chunk.substr(0, chunk.find('\x1A'));

  std::string text;
  for (std::size_t i = 0; i < readable.size(); ++i) {
    if (readable[i] == '\r' && i + 1 < readable.size() && readable[i + 1] == '\n') continue;
    // A CR at the very end is still undecided: it waits, like any unfinished line.
    if (readable[i] == '\r' && i + 1 == readable.size()) break;
    text += readable[i];
  }

  std::vector<std::string> sent;
  std::string line;
  for (char c : text) {
    line += c;
    if (c != '\n' && line.size() < 255) continue;
    std::string cut = line.substr(0, line.find('\0'));
    if (cut.find("GPGGA") != std::string::npos) sent.push_back(cut);
    line.clear();
  }
  return sent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  std::vector<std::string> chunks;
  while (provider.remaining_bytes() > 0) {
    // Mostly short reads, where boundaries fall inside sentences and CR LF pairs.
    const std::size_t length = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<std::size_t>(1, 16)
                                                      : provider.ConsumeIntegralInRange<std::size_t>(1, 4095);
    std::string chunk = provider.ConsumeBytesAsString(length);
    if (chunk.empty()) break;
    chunks.push_back(std::move(chunk));
  }

  quillet::GgaLineReader reader;
  std::vector<std::string> sent;
  std::size_t sentBytes = 0;
  std::size_t inputBytes = 0;
  for (const std::string& chunk : chunks) {
    inputBytes += chunk.size();
    reader.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size(), [&](std::string_view line) {
      Check(line.size() <= quillet::GgaLineReader::kMaxLine);
      Check(line.find("GPGGA") != std::string_view::npos);
      Check(line.find('\0') == std::string_view::npos);
      // Only a line's last byte may be its LF.
      Check(line.find('\n') == std::string_view::npos || line.find('\n') == line.size() - 1);
      sentBytes += line.size();
      sent.emplace_back(line);
    });
    // Nothing is sent that did not arrive.
    Check(sentBytes <= inputBytes);
  }
  Check(sent == Model(chunks));
  return 0;
}
