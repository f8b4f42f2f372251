#pragma once
// In-memory model of the main dialog's controls behind the Controls seam.
// Thread-safe: the link worker updates the panes from its own thread.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace quillet::testing {

class ControlModel : public Controls {
 public:
  struct Control {
    std::u16string text;
    bool enabled = true;
    bool checked = false;
    std::vector<std::u16string> items;
    int selection = -1;
    int selStart = 0;
    int selEnd = 0;
  };

  ControlModel();

  Handle WindowHandle() override { return 0x1234; }
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
  void ServePendingUpdates() override {}

  // Test side.
  Control Get(int id);
  bool IsEnabled(int id) { return Get(id).enabled; }
  std::vector<std::u16string> MessageBoxes();
  std::map<std::uintptr_t, std::uint32_t> Timers();
  std::vector<int> PostedCommands();
  int AboutBoxRuns();
  std::vector<std::pair<std::uint32_t, std::u16string>> SystemMenuItems();
  Handle Icon();
  // A click as the user makes it: toggles an automatic check box.
  void Click(int id);

 private:
  std::mutex mutex_;
  std::map<int, Control> controls_;
  std::vector<std::u16string> messageBoxes_;
  std::map<std::uintptr_t, std::uint32_t> timers_;
  std::vector<int> posted_;
  int aboutRuns_ = 0;
  int waitCursorDepth_ = 0;
  std::vector<std::pair<std::uint32_t, std::u16string>> menu_;
  Handle icon_ = 0;
};

}  // namespace quillet::testing
