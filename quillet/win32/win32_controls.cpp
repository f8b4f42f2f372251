#include "win32/win32_controls.h"

#include <vector>

#include "shell/dlg_quillet.h"
#include "win32/win32_platform.h"

namespace quillet::win32 {
namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      EndDialog(window, IDCANCEL);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::u16string LoadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length));
}

void Win32Controls::Attach(HWND dialog) {
  dialog_ = dialog;
  uiThread_ = ::GetCurrentThreadId();
}

LRESULT Win32Controls::Send(int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendDlgItemMessageW(dialog_, id, message, wParam, lParam);
}

Handle Win32Controls::WindowHandle() { return reinterpret_cast<Handle>(dialog_); }

void Win32Controls::SetText(int id, const std::u16string& text) { ::SetDlgItemTextW(dialog_, id, Wide(text)); }

std::u16string Win32Controls::GetText(int id) {
  const int length = ::GetWindowTextLengthW(::GetDlgItem(dialog_, id));
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const UINT copied = ::GetDlgItemTextW(dialog_, id, buffer.data(), static_cast<int>(buffer.size()));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), copied);
}

std::uint32_t Win32Controls::GetUnsigned(int id) { return ::GetDlgItemInt(dialog_, id, nullptr, FALSE); }

void Win32Controls::Enable(int id, bool enable) { ::EnableWindow(::GetDlgItem(dialog_, id), enable ? TRUE : FALSE); }

void Win32Controls::SetCheck(int id, bool checked) { ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED); }

bool Win32Controls::GetCheck(int id) { return Send(id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Win32Controls::ComboAppend(int id, const std::u16string& text) {
  Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

void Win32Controls::ComboSetSelection(int id, int index) { Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

int Win32Controls::ComboGetSelection(int id) { return static_cast<int>(Send(id, CB_GETCURSEL, 0, 0)); }

void Win32Controls::ListReset(int id) { Send(id, LB_RESETCONTENT, 0, 0); }

void Win32Controls::ListAppend(int id, const std::u16string& text) {
  Send(id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

int Win32Controls::ListCount(int id) { return static_cast<int>(Send(id, LB_GETCOUNT, 0, 0)); }

int Win32Controls::ListGetSelection(int id) { return static_cast<int>(Send(id, LB_GETCURSEL, 0, 0)); }

void Win32Controls::ListSetSelection(int id, int index) { Send(id, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void Win32Controls::EditSetSelection(int id, int start, int end) {
  Send(id, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void Win32Controls::EditScrollCaret(int id) { Send(id, EM_SCROLLCARET, 0, 0); }

void Win32Controls::EditReplaceSelection(int id, const std::u16string& text) {
  Send(id, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Wide(text)));
}

int Win32Controls::TextLength(int id) { return ::GetWindowTextLengthW(::GetDlgItem(dialog_, id)); }

void Win32Controls::MessageBox(const std::u16string& text) {
  // From the worker the box has no owner: the UI thread must stay free.
  const HWND owner = ::GetCurrentThreadId() == uiThread_ ? dialog_ : nullptr;
  ::MessageBoxW(owner, Wide(text), ProgramTitle().c_str(), MB_OK);
}

void Win32Controls::BeginWaitCursor() { savedCursor_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }

void Win32Controls::EndWaitCursor() { ::SetCursor(savedCursor_ ? savedCursor_ : ::LoadCursorW(nullptr, IDC_ARROW)); }

void Win32Controls::SetTimer(std::uintptr_t id, std::uint32_t milliseconds) {
  ::SetTimer(dialog_, id, milliseconds, nullptr);
}

void Win32Controls::KillTimer(std::uintptr_t id) { ::KillTimer(dialog_, id); }

void Win32Controls::PostCommand(int id) {
  ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
}

bool Win32Controls::AppendSystemMenuItem(std::uint32_t commandId, const std::u16string& text) {
  HMENU menu = ::GetSystemMenu(dialog_, FALSE);
  if (menu == nullptr) return false;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, commandId, Wide(text));
  return true;
}

void Win32Controls::SetWindowIcons(Handle icon) {
  ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
  ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
}

void Win32Controls::RunAboutBox() {
  ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIddAboutBox), dialog_, AboutProc, 0);
}

std::u16string Win32Controls::LoadString(std::uint32_t id) { return LoadResourceString(id); }

void Win32Controls::ServePendingUpdates() {
  // Peeking runs the messages other threads sent to this thread's windows.
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

}  // namespace quillet::win32
