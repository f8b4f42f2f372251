#include "core/controller.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/command_table.h"
#include "core/serial_port.h"
#include "core/watchdog.h"

namespace pantrel {
namespace {

constexpr std::string_view kPelcoD = "zal2";
constexpr std::string_view kVisca = "zal1";
constexpr std::uint32_t kPelcoDSpeed = 2400;
constexpr std::uint32_t kViscaSpeed = 9600;
constexpr std::uint8_t kDataBits = 8;
constexpr std::uint8_t kNoParity = 0;
constexpr std::uint32_t kQueueSize = 1024;

// "c++ receive" and a full-width colon in GBK.
constexpr std::string_view kEchoPrefix = "c++ receive\xA3\xBA";

// The C library's input stream buffer: one read from the system fills it, and
// after each command whatever that read returned beyond the command is dropped.
class CommandReader {
 public:
  explicit CommandReader(Console& console) : console_(console) {}

  // The next character that is not white space, or nothing at end of input.
  std::optional<unsigned char> Next() {
    for (;;) {
      if (position_ == length_) {
        console_.FlushOutput();
        length_ = console_.ReadInput(buffer_.data(), buffer_.size());
        position_ = 0;
        if (length_ == 0) return std::nullopt;
      }
      unsigned char c = buffer_[position_++];
      if (!IsSpace(c)) return c;
    }
  }

  void DiscardBuffered() { position_ = length_; }

 private:
  static bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

  Console& console_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

class Controller {
 public:
  explicit Controller(Platform& platform) : p_(platform) {}

  int Run(const char* watchedName, const char* selector) {
    selector_ = selector;
    // A selector that names no protocol still opens the port; 9600 suits the common case.
    std::uint32_t speed = selector_ == kPelcoD ? kPelcoDSpeed : kViscaSpeed;

    std::optional<std::string> portName = find_serial_port(p_.ports);
    if (!portName) {
      Print("device_0\n");
      Print("can not find any comm\n");
      p_.console.FlushOutput();
      return 0;
    }

    devicePath_ = "\\\\.\\" + *portName;
    if (!OpenPort(speed)) {
      Print("device_0\n");
      Print("open comm fail\n");
      p_.console.FlushOutput();
      return 0;
    }
    Print("device_1\n");

    ProcessApi& process = p_.process;
    std::string watched = watchedName;
    process.CreateThread([&process, watched] { watch_process(process, watched); });

    Print("open " + *portName + "\n");
    Print("Command: l for left, r for right, u for up, d for down, h for home\n");
    Print("Command: L for relative  left, R for relative right, U for relative up, D for relative down\n");
    return CommandLoop();
  }

 private:
  int CommandLoop() {
    CommandReader reader(p_.console);
    for (;;) {
      std::optional<unsigned char> c = reader.Next();
      if (!c) {
        // End of input: nothing more will come, so stop rather than repeat the last move.
        p_.console.FlushOutput();
        return 0;
      }
      std::string echo(kEchoPrefix);
      echo += static_cast<char>(*c);
      echo += '\n';
      Print(echo);
      p_.console.FlushOutput();

      if (const Command* command = LookupCommand(*c)) {
        if (command->action == CommandAction::Quit) {
          Print("The program exit\n");
          p_.console.FlushOutput();
          return 0;
        }
        Dispatch(*command);
      }
      reader.DiscardBuffered();
    }
  }

  void Dispatch(const Command& command) {
    if (command.text) Print(command.text);
    switch (command.action) {
      case CommandAction::SwitchToPelcoD:
        SwitchProtocol(kPelcoD, kPelcoDSpeed);
        break;
      case CommandAction::SwitchToVisca:
        SwitchProtocol(kVisca, kViscaSpeed);
        break;
      case CommandAction::SendAnyProtocol:
        Send(selector_ == kPelcoD ? command.pelcoD : command.visca);
        break;
      case CommandAction::SendPackets:
        if (selector_ == kPelcoD) {
          Send(command.pelcoD);
        } else if (selector_ == kVisca) {
          Send(command.visca);
        }
        break;
      case CommandAction::Quit:
        break;
    }
  }

  void SwitchProtocol(std::string_view selector, std::uint32_t speed) {
    if (selector_ == selector) return;
    selector_ = selector;
    if (serial_handle_ != kInvalidHandle) p_.comm.CloseHandle(serial_handle_);
    OpenPort(speed);
  }

  bool OpenPort(std::uint32_t speed) {
    return open_serial_port(p_.comm, serial_handle_, devicePath_, speed, kDataBits, kNoParity,
                            kQueueSize, kQueueSize) == 1;
  }

  void Send(const PacketSequence& sequence) {
    Write(sequence.first);
    if (!sequence.timed()) return;
    p_.process.Sleep(sequence.pauseMs);
    Write(sequence.stop);
  }

  void Write(const Frame& frame) { p_.comm.WriteFile(serial_handle_, frame.bytes.data(), frame.length); }

  void Print(std::string_view text) { p_.console.WriteOutput(text.data(), text.size()); }

  Platform& p_;
  std::string selector_;
  std::string devicePath_;
  Handle serial_handle_ = kInvalidHandle;
};

}  // namespace

int RunController(int argc, const char* const argv[], Platform& platform) {
  if (argc < 3) {
    constexpr std::string_view kUsage = "usage: Pantrel <host executable name> <zal2|zal1>\n";
    platform.console.WriteError(kUsage.data(), kUsage.size());
    return 2;
  }
  return Controller(platform).Run(argv[1], argv[2]);
}

}  // namespace pantrel
