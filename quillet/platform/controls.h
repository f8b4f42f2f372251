#pragma once
// Seam over the main dialog's window and its controls. The core names controls
// by their dialog ids; the Win32 adapter sends the matching window messages,
// the tests use an in-memory model.
//
// Threads: the text, edit and label calls may come from the link worker; the
// adapter then sends the messages to the UI thread and returns when they were
// handled there. Everything else is called on the UI thread only.
#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace quillet {

class Controls {
 public:
  virtual ~Controls() = default;

  // The dialog's window, opaque (a parent for system sheets and dialogs).
  virtual Handle WindowHandle() = 0;

  // Window text of a control (SetDlgItemTextW / GetDlgItemTextW).
  virtual void SetText(int id, const std::u16string& text) = 0;
  virtual std::u16string GetText(int id) = 0;
  // GetDlgItemInt, unsigned, no translation check: text that is no number gives 0.
  virtual std::uint32_t GetUnsigned(int id) = 0;

  virtual void Enable(int id, bool enable) = 0;

  // Check boxes (BM_SETCHECK / BM_GETCHECK).
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool GetCheck(int id) = 0;

  // Drop-down lists (CB_ADDSTRING / CB_SETCURSEL / CB_GETCURSEL); -1 means no selection.
  virtual void ComboAppend(int id, const std::u16string& text) = 0;
  virtual void ComboSetSelection(int id, int index) = 0;
  virtual int ComboGetSelection(int id) = 0;

  // List boxes (LB_RESETCONTENT / LB_ADDSTRING / LB_GETCOUNT / LB_GETCURSEL / LB_SETCURSEL);
  // -1 means no selection.
  virtual void ListReset(int id) = 0;
  virtual void ListAppend(int id, const std::u16string& text) = 0;
  virtual int ListCount(int id) = 0;
  virtual int ListGetSelection(int id) = 0;
  virtual void ListSetSelection(int id, int index) = 0;

  // Edit controls: EM_SETSEL, EM_SCROLLCARET, EM_REPLACESEL (not undoable),
  // and the text length (WM_GETTEXTLENGTH).
  virtual void EditSetSelection(int id, int start, int end) = 0;
  virtual void EditScrollCaret(int id) = 0;
  virtual void EditReplaceSelection(int id, const std::u16string& text) = 0;
  virtual int TextLength(int id) = 0;

  // Modal message box with one OK button, titled with the executable's name.
  // Returns when it is dismissed. Callable from the UI thread and the link worker.
  virtual void MessageBox(const std::u16string& text) = 0;

  // Wait cursor while a long operation runs on the UI thread.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Timer on the dialog's window (WM_TIMER to the dialog, no callback).
  virtual void SetTimer(std::uintptr_t id, std::uint32_t milliseconds) = 0;
  virtual void KillTimer(std::uintptr_t id) = 0;
  // PostMessageW(WM_COMMAND, id with notification 0, 0) to the dialog itself.
  virtual void PostCommand(int id) = 0;

  // System menu: appends a separator and the item (command id `commandId`);
  // false when the window has no system menu.
  virtual bool AppendSystemMenuItem(std::uint32_t commandId, const std::u16string& text) = 0;
  // WM_SETICON big and small with the icon.
  virtual void SetWindowIcons(Handle icon) = 0;
  // Runs the About box (template 100) modally.
  virtual void RunAboutBox() = 0;
  // String table entry of the program's resources; empty when missing.
  virtual std::u16string LoadString(std::uint32_t id) = 0;

  // The UI thread, while it waits for the link worker to finish, lets the
  // worker's pending control updates run. Returns at once when none wait.
  virtual void ServePendingUpdates() = 0;
};

// Control ids of the main dialog.
namespace ids {
inline constexpr int kDeviceList = 1000;
inline constexpr int kScan = 1001;
inline constexpr int kRadioList = 1002;
inline constexpr int kEnumerate = 1003;
inline constexpr int kTest = 1004;
inline constexpr int kWizard = 1005;
inline constexpr int kShowRemembered = 1006;
inline constexpr int kIssueInquiry = 1007;
inline constexpr int kAuthenticate = 1008;
inline constexpr int kTest1 = 1009;
inline constexpr int kComList = 1010;
inline constexpr int kBaud = 1011;
inline constexpr int kConnect = 1012;
inline constexpr int kDisconnect = 1013;
inline constexpr int kHexPane = 1014;
inline constexpr int kTextPane = 1015;
inline constexpr int kSendField = 1016;
inline constexpr int kHexCheck = 1017;
inline constexpr int kSend = 1018;
inline constexpr int kClearup = 1019;
inline constexpr int kByteCount = 1020;
inline constexpr int kSegmentList = 1022;
inline constexpr int kSectionList = 1023;
inline constexpr int kReceive = 1024;
inline constexpr int kFinished = 1025;
inline constexpr int kReceivedOnTimer = 1035;
}  // namespace ids

}  // namespace quillet
