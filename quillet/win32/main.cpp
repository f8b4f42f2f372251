// Quillet: the Bluetooth GPS bridge. Entry point and message loop.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "shell/dlg_quillet.h"
#include "shell/quillet_app.h"
#include "win32/bluetooth_api_win32.h"
#include "win32/dialog_window.h"
#include "win32/win32_controls.h"
#include "win32/win32_platform.h"

namespace quillet::win32 {
namespace {

class Win32AppShell : public AppShell {
 public:
  explicit Win32AppShell(const PlatformSet& platform) : platform_(platform) {}

  bool InitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes) override {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = structSize;
    init.dwICC = classes;
    return ::InitCommonControlsEx(&init) != 0;
  }
  std::u16string LoadString(std::uint32_t id) override { return LoadResourceString(id); }
  void MessageBox(const std::u16string& text) override {
    ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), ProgramTitle().c_str(), MB_OK);
  }
  bool CreateMainDialog() override {
    // The dialog lives until the process ends; it is never deleted.
    dialog_ = new CDlgQuillet(platform_);
    window_ = new DialogWindow(*dialog_, *static_cast<Win32Controls*>(platform_.controls));
    return window_->Create();
  }
  HWND Window() const { return window_ ? window_->Window() : nullptr; }

 private:
  PlatformSet platform_;
  CDlgQuillet* dialog_ = nullptr;
  DialogWindow* window_ = nullptr;
};

int Run() {
  static Win32Controls controls;
  static Win32Comm comm;
  static Win32Sockets sockets;
  static Win32Files files;
  static Win32System system;
  static Win32PortDevices portDevices;
  static Win32BluetoothApi bluetooth;

  PlatformSet platform;
  platform.controls = &controls;
  platform.comm = &comm;
  platform.sockets = &sockets;
  platform.files = &files;
  platform.system = &system;
  platform.portDevices = &portDevices;
  platform.bluetooth = &bluetooth;
  platform.systemMessages = &bluetooth;

  Win32AppShell shell(platform);
  CQuilletApp app(shell, sockets);
  if (!app.InitInstance()) return app.ExitInstance(0);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(shell.Window(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return app.ExitInstance(static_cast<int>(message.wParam));
}

}  // namespace
}  // namespace quillet::win32

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return quillet::win32::Run(); }
