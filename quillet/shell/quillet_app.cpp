#include "shell/quillet_app.h"

#include "shell/dlg_quillet.h"

namespace quillet {
namespace {

constexpr std::uint32_t kInitCommonControlsExSize = 8;
constexpr std::uint32_t kIccWin95Classes = 0xFF;

}  // namespace

bool CQuilletApp::InitInstance() {
  shell_.InitCommonControlsEx(kInitCommonControlsExSize, kIccWin95Classes);

  std::uint16_t granted = 0;
  sockets_.WSAStartup(0x0202, granted);

  if (!SocketInit()) {
    shell_.MessageBox(shell_.LoadString(kIdsSocketsInitFailed));
    return false;
  }

  // No settings are stored, so no registry key is chosen.
  return shell_.CreateMainDialog();
}

bool CQuilletApp::SocketInit() {
  std::uint16_t granted = 0;
  if (sockets_.WSAStartup(0x0101, granted) != 0) return false;
  return granted == 0x0101;
}

int CQuilletApp::ExitInstance(int messageLoopResult) {
  sockets_.WSACleanup();
  return messageLoopResult;
}

}  // namespace quillet
