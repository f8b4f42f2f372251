#pragma once
#include <cstdint>

#include "platform/app_shell.h"
#include "platform/sockets.h"

namespace quillet {

class CQuilletApp {
 public:
  CQuilletApp(AppShell& shell, Sockets& sockets) : shell_(shell), sockets_(sockets) {}

  // True runs the message loop; false ends the program.
  bool InitInstance();
  // The program's exit status.
  int ExitInstance(int messageLoopResult);

 private:
  // The class library's socket start-up: it needs version 1.1 granted.
  bool SocketInit();

  AppShell& shell_;
  Sockets& sockets_;
};

}  // namespace quillet
