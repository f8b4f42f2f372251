#include "win32/dialog_window.h"

#include <cstring>

namespace quillet::win32 {
namespace {

constexpr WORD kAddStringRecord = 0x0403;
constexpr WORD kDialogInitType = 240;

}  // namespace

bool DialogWindow::Create() {
  window_ = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIddQuillet), nullptr, &Proc,
                                 reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

INT_PTR CALLBACK DialogWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogWindow*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
    self->controls_.Attach(window);
    self->ApplyTemplateListData();
    return self->dialog_.OnInitDialog() ? TRUE : FALSE;
  }
  auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR DialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (dialog_.OnCommand(id, HIWORD(wParam))) return TRUE;
      // OK and Cancel (Enter, Escape, Close) end a modeless dialog by hiding it.
      if (id == IDOK || id == IDCANCEL) {
        ::ShowWindow(window_, SW_HIDE);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      ::ShowWindow(window_, SW_HIDE);
      return TRUE;
    case WM_SYSCOMMAND:
      if (dialog_.OnSysCommand(static_cast<std::uint32_t>(wParam))) {
        ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      if (!::IsIconic(window_)) return FALSE;
      PaintMinimised();
      return TRUE;
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(dialog_.OnQueryDragIcon());
    case WM_TIMER:
      dialog_.OnTimer(static_cast<std::uintptr_t>(wParam));
      return FALSE;
    case WM_DESTROY:
      dialog_.OnDestroy();
      return FALSE;
    default:
      (void)lParam;
      return FALSE;
  }
}

void DialogWindow::PaintMinimised() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  ::SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = ::GetSystemMetrics(SM_CXICON);
  const int iconHeight = ::GetSystemMetrics(SM_CYICON);
  RECT client;
  ::GetClientRect(window_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  ::DrawIcon(dc, x, y, reinterpret_cast<HICON>(dialog_.m_hIcon));
  ::EndPaint(window_, &paint);
}

// The template's list data (resource 240 of the dialog's id): per record the
// control id, the add-string code, the byte count and the zero-terminated
// text padded to whole words; a zero id ends the data.
void DialogWindow::ApplyTemplateListData() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(kIddQuillet), MAKEINTRESOURCEW(kDialogInitType));
  if (info == nullptr) return;
  HGLOBAL loaded = ::LoadResource(module, info);
  const auto* data = static_cast<const BYTE*>(::LockResource(loaded));
  const DWORD size = ::SizeofResource(module, info);
  if (data == nullptr) return;

  DWORD offset = 0;
  while (offset + 2 <= size) {
    WORD id = 0;
    std::memcpy(&id, data + offset, 2);
    if (id == 0 || offset + 8 > size) break;
    WORD code = 0;
    DWORD length = 0;
    std::memcpy(&code, data + offset + 2, 2);
    std::memcpy(&length, data + offset + 4, 4);
    offset += 8;
    if (offset + length > size) break;
    if (code == kAddStringRecord)
      ::SendDlgItemMessageA(window_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(data + offset));
    offset += (length + 1) & ~1u;
  }
}

}  // namespace quillet::win32
