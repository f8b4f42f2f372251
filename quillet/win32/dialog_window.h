#pragma once
// The dialog layer: the main dialog's window from template 129 and its
// dialog procedure, which hands the window's events to CDlgQuillet.
#include <windows.h>

#include "shell/dlg_quillet.h"
#include "win32/win32_controls.h"

namespace quillet::win32 {

class DialogWindow {
 public:
  DialogWindow(CDlgQuillet& dialog, Win32Controls& controls) : dialog_(dialog), controls_(controls) {}

  // Modeless and hidden, no parent; OnInitDialog runs inside.
  bool Create();
  HWND Window() const { return window_; }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyTemplateListData();
  void PaintMinimised();

  CDlgQuillet& dialog_;
  Win32Controls& controls_;
  HWND window_ = nullptr;
};

}  // namespace quillet::win32
