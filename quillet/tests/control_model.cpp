#include "tests/control_model.h"

#include <algorithm>

namespace quillet::testing {

ControlModel::ControlModel() {
  // The template's own list data.
  controls_[ids::kSegmentList].items = {u"Segment 01", u"Segment 02"};
  controls_[ids::kSectionList].items = {u"Section 01", u"Section 02", u"Section 03", u"Section 04"};
  controls_[ids::kByteCount].text = u"Static";
}

void ControlModel::SetText(int id, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& control = controls_[id];
  control.text = text;
  control.selStart = control.selEnd = 0;
}

std::u16string ControlModel::GetText(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return controls_[id].text;
}

std::uint32_t ControlModel::GetUnsigned(int id) {
  std::u16string text = GetText(id);
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  std::uint32_t value = 0;
  bool digits = false;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return 0;
    value = value * 10 + static_cast<std::uint32_t>(text[i] - u'0');
    digits = true;
  }
  return digits ? value : 0;
}

void ControlModel::Enable(int id, bool enable) {
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].enabled = enable;
}

void ControlModel::SetCheck(int id, bool checked) {
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].checked = checked;
}

bool ControlModel::GetCheck(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return controls_[id].checked;
}

void ControlModel::ComboAppend(int id, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].items.push_back(text);
}

void ControlModel::ComboSetSelection(int id, int index) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& control = controls_[id];
  control.selection = index >= 0 && index < static_cast<int>(control.items.size()) ? index : -1;
}

int ControlModel::ComboGetSelection(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return controls_[id].selection;
}

void ControlModel::ListReset(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].items.clear();
  controls_[id].selection = -1;
}

void ControlModel::ListAppend(int id, const std::u16string& text) { ComboAppend(id, text); }

int ControlModel::ListCount(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(controls_[id].items.size());
}

int ControlModel::ListGetSelection(int id) { return ComboGetSelection(id); }

void ControlModel::ListSetSelection(int id, int index) { ComboSetSelection(id, index); }

void ControlModel::EditSetSelection(int id, int start, int end) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& control = controls_[id];
  const int length = static_cast<int>(control.text.size());
  if (start == -1) {
    // As an edit control does: the selection collapses onto its end.
    control.selStart = control.selEnd;
    return;
  }
  if (end == -1 || end > length) end = length;
  start = std::min(start, length);
  control.selStart = std::min(start, end);
  control.selEnd = std::max(start, end);
}

void ControlModel::EditScrollCaret(int) {}

void ControlModel::EditReplaceSelection(int id, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& control = controls_[id];
  control.text.replace(static_cast<std::size_t>(control.selStart),
                       static_cast<std::size_t>(control.selEnd - control.selStart), text);
  control.selStart = control.selEnd = control.selStart + static_cast<int>(text.size());
}

int ControlModel::TextLength(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(controls_[id].text.size());
}

void ControlModel::MessageBox(const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  messageBoxes_.push_back(text);
}

void ControlModel::BeginWaitCursor() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++waitCursorDepth_;
}

void ControlModel::EndWaitCursor() {
  std::lock_guard<std::mutex> lock(mutex_);
  --waitCursorDepth_;
}

void ControlModel::SetTimer(std::uintptr_t id, std::uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_[id] = milliseconds;
}

void ControlModel::KillTimer(std::uintptr_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase(id);
}

void ControlModel::PostCommand(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  posted_.push_back(id);
}

bool ControlModel::AppendSystemMenuItem(std::uint32_t commandId, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  menu_.emplace_back(commandId, text);
  return true;
}

void ControlModel::SetWindowIcons(Handle icon) {
  std::lock_guard<std::mutex> lock(mutex_);
  icon_ = icon;
}

void ControlModel::RunAboutBox() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++aboutRuns_;
}

std::u16string ControlModel::LoadString(std::uint32_t id) {
  if (id == 101) return u"&About Quillet...";
  if (id == 103) return u"Windows sockets initialization failed.";
  return u"";
}

ControlModel::Control ControlModel::Get(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return controls_[id];
}

std::vector<std::u16string> ControlModel::MessageBoxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return messageBoxes_;
}

std::map<std::uintptr_t, std::uint32_t> ControlModel::Timers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return timers_;
}

std::vector<int> ControlModel::PostedCommands() {
  std::lock_guard<std::mutex> lock(mutex_);
  return posted_;
}

int ControlModel::AboutBoxRuns() {
  std::lock_guard<std::mutex> lock(mutex_);
  return aboutRuns_;
}

std::vector<std::pair<std::uint32_t, std::u16string>> ControlModel::SystemMenuItems() {
  std::lock_guard<std::mutex> lock(mutex_);
  return menu_;
}

Handle ControlModel::Icon() {
  std::lock_guard<std::mutex> lock(mutex_);
  return icon_;
}

void ControlModel::Click(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  controls_[id].checked = !controls_[id].checked;
}

}  // namespace quillet::testing
