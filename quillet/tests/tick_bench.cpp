// Cost of one receive tick on a full 4095-byte chunk of NMEA text, fresh and
// after 100 MB went through, with the in-memory control model. Prints figures;
// asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/dlg_quillet.h"
#include "tests/control_model.h"

namespace quillet::bench {
namespace {

// A port that always holds one more chunk.
class ChunkComm : public Comm {
 public:
  explicit ChunkComm(std::vector<std::uint8_t> chunk) : chunk_(std::move(chunk)) {}
  Handle CreateFileW(const std::u16string&) override { return 0x70; }
  bool GetCommState(Handle, CommState&) override { return true; }
  bool SetCommState(Handle, const CommState&) override { return true; }
  bool SetupComm(Handle, std::uint32_t, std::uint32_t) override { return true; }
  bool SetCommTimeouts(Handle, const CommTimeouts&) override { return true; }
  bool EscapeCommFunction(Handle, std::uint32_t) override { return true; }
  bool PurgeComm(Handle, std::uint32_t) override { return true; }
  bool ClearCommError(Handle, std::uint32_t& inQueue) override {
    inQueue = armed_ ? static_cast<std::uint32_t>(chunk_.size()) : 0;
    return true;
  }
  bool SetCommMask(Handle, std::uint32_t) override { return true; }
  bool ReadFile(Handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t& moved) override {
    moved = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(chunk_.size()));
    std::memcpy(buffer, chunk_.data(), moved);
    return true;
  }
  bool WriteFile(Handle, const std::uint8_t*, std::uint32_t count, std::uint32_t& moved) override {
    moved = count;
    return true;
  }
  bool CloseHandle(Handle) override { return true; }
  void Sleep(std::uint32_t) override {}
  bool armed_ = false;

 private:
  std::vector<std::uint8_t> chunk_;
};

class CountingSockets : public Sockets {
 public:
  int WSAStartup(std::uint16_t version, std::uint16_t& granted) override {
    granted = version;
    return 0;
  }
  int WSACleanup() override { return 0; }
  Socket socket() override { return 1; }
  int connect(Socket, const char*, std::uint16_t) override { return 0; }
  int send(Socket, const std::uint8_t*, int count) override {
    bytes += static_cast<std::uint64_t>(count);
    return count;
  }
  int closesocket(Socket) override { return 0; }
  std::uint64_t bytes = 0;
};

class NullFiles : public Files {
 public:
  bool CreateDirectoryW(const std::u16string&) override { return false; }
  bool DeleteFileW(const std::u16string&) override { return false; }
  Handle fopen(const char*, const char*) override { return 1; }
  std::size_t fwrite(const std::uint8_t*, std::size_t, std::size_t count, Handle) override { return count; }
  int fclose(Handle) override { return 0; }
};

class Latin1System : public System {
 public:
  void ExitProcess(std::uint32_t) override {}
  int WideCharToMultiByte(const char16_t* text, int length, char* out, int capacity) override {
    if (length > capacity) return 0;
    for (int i = 0; i < length; ++i) out[i] = static_cast<char>(text[i]);
    return length;
  }
  int MultiByteToWideChar(const char* bytes, int length, char16_t* out, int capacity) override {
    if (length > capacity) return 0;
    for (int i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    return length;
  }
  Handle LoadIconW(std::uint32_t) override { return 0; }
};

class NoPorts : public PortDevices {
 public:
  Handle SetupDiGetClassDevsW(std::uint32_t) override { return kInvalidHandle; }
  bool SetupDiEnumDeviceInfo(Handle, std::uint32_t, DeviceInfoData&) override { return false; }
  bool SetupDiGetDeviceRegistryPropertyW(Handle, DeviceInfoData&, std::uint32_t, std::uint8_t*,
                                         std::uint32_t) override {
    return false;
  }
  bool SetupDiDestroyDeviceInfoList(Handle) override { return true; }
};

std::vector<std::uint8_t> NmeaChunk() {
  const std::string epoch =
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
      "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
      "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n"
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
  std::string text;
  while (text.size() < 4095) text += epoch;
  text.resize(4095);  // the chunk ends inside a sentence, as real reads do
  return {text.begin(), text.end()};
}

double MedianMicros(CDlgQuillet& dialog, int ticks) {
  std::vector<double> samples;
  for (int i = 0; i < ticks; ++i) {
    const auto start = std::chrono::steady_clock::now();
    dialog.ReceiveTick();
    samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace
}  // namespace quillet::bench

int main() {
  using namespace quillet;
  using namespace quillet::bench;
  testing::ControlModel controls;
  ChunkComm comm(NmeaChunk());
  CountingSockets sockets;
  NullFiles files;
  Latin1System system;
  NoPorts ports;
  PlatformSet platform;
  platform.controls = &controls;
  platform.comm = &comm;
  platform.sockets = &sockets;
  platform.files = &files;
  platform.system = &system;
  platform.portDevices = &ports;

  CDlgQuillet dialog(platform);
  dialog.m_pSerialPort = std::make_unique<CSerialPort>(comm);
  dialog.m_pSerialPort->Open(5, 115200);
  comm.armed_ = true;

  const double fresh = MedianMicros(dialog, 200);
  const std::uint64_t target = 100ull * 1024 * 1024;
  std::uint64_t processed = 200ull * 4095;
  while (processed < target) {
    dialog.ReceiveTick();
    processed += 4095;
  }
  const double later = MedianMicros(dialog, 200);
  std::printf("tick on a 4095-byte chunk: fresh median %.1f us, after %.0f MB median %.1f us\n", fresh,
              static_cast<double>(processed) / (1024.0 * 1024.0), later);
  const std::u16string label = controls.GetText(ids::kByteCount);
  std::printf("hex pane %zu chars, text pane %zu chars, label \"%s\", forwarded %llu bytes\n",
              controls.GetText(ids::kHexPane).size(), controls.GetText(ids::kTextPane).size(),
              std::string(label.begin(), label.end()).c_str(), static_cast<unsigned long long>(sockets.bytes));
  dialog.m_pSerialPort.reset();
  return 0;
}
