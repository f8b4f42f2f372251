#pragma once
// The Controls seam over the real dialog window: each call is the window
// message or user call the core asks for. Calls from the link worker are sent
// messages, which the UI thread runs.
#include <windows.h>

#include "platform/controls.h"

namespace quillet::win32 {

class Win32Controls : public Controls {
 public:
  void Attach(HWND dialog);
  HWND Window() const { return dialog_; }

  Handle WindowHandle() override;
  void SetText(int id, const std::u16string& text) override;
  std::u16string GetText(int id) override;
  std::uint32_t GetUnsigned(int id) override;
  void Enable(int id, bool enable) override;
  void SetCheck(int id, bool checked) override;
  bool GetCheck(int id) override;
  void ComboAppend(int id, const std::u16string& text) override;
  void ComboSetSelection(int id, int index) override;
  int ComboGetSelection(int id) override;
  void ListReset(int id) override;
  void ListAppend(int id, const std::u16string& text) override;
  int ListCount(int id) override;
  int ListGetSelection(int id) override;
  void ListSetSelection(int id, int index) override;
  void EditSetSelection(int id, int start, int end) override;
  void EditScrollCaret(int id) override;
  void EditReplaceSelection(int id, const std::u16string& text) override;
  int TextLength(int id) override;
  void MessageBox(const std::u16string& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetTimer(std::uintptr_t id, std::uint32_t milliseconds) override;
  void KillTimer(std::uintptr_t id) override;
  void PostCommand(int id) override;
  bool AppendSystemMenuItem(std::uint32_t commandId, const std::u16string& text) override;
  void SetWindowIcons(Handle icon) override;
  void RunAboutBox() override;
  std::u16string LoadString(std::uint32_t id) override;
  void ServePendingUpdates() override;

 private:
  LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam);

  HWND dialog_ = nullptr;
  DWORD uiThread_ = 0;
  HCURSOR savedCursor_ = nullptr;
};

// The string table entry, or empty.
std::u16string LoadResourceString(UINT id);

}  // namespace quillet::win32
