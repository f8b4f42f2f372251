// The receive tick of the link worker: one chunk from the port to the capture
// file, the host and the receive panes.
#include <algorithm>
#include <array>
#include <string>

#include "receive/hex_text.h"
#include "shell/dlg_quillet.h"

namespace quillet {
namespace {

constexpr std::int32_t kChunkSize = 4095;
constexpr std::size_t kTextBufferUnits = 4096;
// Panes keep a tail of at most this many characters, well inside an edit
// control's default limit, so appends are never refused.
constexpr std::size_t kPaneCapacity = 28000;
// When trimming, room is made down to this, so a trim is not needed every tick.
constexpr std::size_t kPaneKeep = 20000;

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

void CDlgQuillet::ReceiveTick() {
  if (!m_pSerialPort) return;

  platform_.files->CreateDirectoryW(u"C:\\GPS");

  if (m_pSerialPort->InputQueueCount() == 0) return;

  std::array<std::uint8_t, kChunkSize + 1> chunk{};
  const std::int32_t count = m_pSerialPort->Transfer(chunk.data(), kChunkSize, TransferDirection::Read);
  if (count <= 0) return;

  WriteCaptureFile(chunk.data(), count);
  ForwardGgaLines(chunk.data(), count);

  const auto size = static_cast<std::size_t>(count);
  if (!m_bRecvShown) {
    controls_.SetText(ids::kHexPane, u"");
    shownBytes_ = 0;
  }
  const std::u16string hex = BytesToHex(chunk.data(), size);
  TrimPane(ids::kHexPane, hex.size() + 2);
  AppendToPane(ids::kHexPane, hex);
  AppendToPane(ids::kHexPane, u"\r\n");
  shownBytes_ += count;
  UpdateByteCount();

  if (!m_bRecvShown) controls_.SetText(ids::kTextPane, u"");
  const std::u16string text = AnsiToWide(chunk.data(), count);
  TrimPane(ids::kTextPane, text.size() + 2);
  AppendToPane(ids::kTextPane, text);
  AppendToPane(ids::kTextPane, u"\r\n");

  m_bRecvShown = true;
}

std::int32_t CDlgQuillet::WriteCaptureFile(const std::uint8_t* data, std::int32_t count) {
  static constexpr std::u16string_view kPath = u"C:\\GPS\\bthdebug.dat";
  static constexpr std::u16string_view kMode = u"wb+";

  std::array<char, 260> path{};
  if (platform_.system->WideCharToMultiByte(kPath.data(), static_cast<int>(kPath.size()), path.data(),
                                            static_cast<int>(path.size() - 1)) <= 0)
    return -1;
  std::array<char, 8> mode{};
  platform_.system->WideCharToMultiByte(kMode.data(), static_cast<int>(kMode.size()), mode.data(),
                                        static_cast<int>(mode.size() - 1));

  const Handle file = platform_.files->fopen(path.data(), mode.data());
  if (file == 0) return -1;
  const std::size_t written = platform_.files->fwrite(data, 1, static_cast<std::size_t>(count), file);
  platform_.files->fclose(file);
  return written == static_cast<std::size_t>(count) ? count : -1;
}

void CDlgQuillet::ForwardGgaLines(const std::uint8_t* data, std::int32_t count) {
  // Lines are cut from the chunk in memory; the capture file is only a record,
  // so a failed write never makes an old chunk go out again.
  ggaLines_.Feed(data, static_cast<std::size_t>(count), [this](std::string_view line) {
    platform_.sockets->send(m_sockHost, reinterpret_cast<const std::uint8_t*>(line.data()),
                            static_cast<int>(line.size()));
  });
}

void CDlgQuillet::UpdateByteCount() {
  controls_.SetText(ids::kByteCount, ToU16(std::to_string(shownBytes_.load()) + " byte(s)"));
}

void CDlgQuillet::AppendToPane(int id, const std::u16string& text) {
  controls_.EditSetSelection(id, -1, -1);
  controls_.EditScrollCaret(id);
  controls_.EditReplaceSelection(id, text);
}

void CDlgQuillet::TrimPane(int id, std::size_t incoming) {
  const auto length = static_cast<std::size_t>(std::max(controls_.TextLength(id), 0));
  if (length + incoming <= kPaneCapacity) return;

  const std::u16string text = controls_.GetText(id);
  const std::size_t keep = incoming >= kPaneKeep ? 0 : kPaneKeep - incoming;
  if (text.size() <= keep) return;
  // The kept tail starts at a line start.
  const std::size_t cut = text.size() - keep;
  const std::size_t lineEnd = text.find(u'\n', cut - 1);
  const std::size_t start = lineEnd == std::u16string::npos ? text.size() : lineEnd + 1;
  controls_.EditSetSelection(id, 0, static_cast<int>(start));
  controls_.EditReplaceSelection(id, u"");
  // The caret goes back to the end, where the next append belongs.
  const auto rest = static_cast<int>(text.size() - start);
  controls_.EditSetSelection(id, rest, rest);
}

std::u16string CDlgQuillet::AnsiToWide(const std::uint8_t* data, std::int32_t count) {
  std::array<char16_t, kTextBufferUnits> wide{};
  platform_.system->MultiByteToWideChar(reinterpret_cast<const char*>(data), count, wide.data(),
                                        static_cast<int>(wide.size()));
  return std::u16string(wide.data());
}

}  // namespace quillet
