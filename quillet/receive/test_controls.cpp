// The lower row of the Communication group: Clearup, the send field's focus,
// the two test frames and their timer.
#include "shell/dlg_quillet.h"

namespace quillet {

void CDlgQuillet::OnClearup() {
  controls_.SetText(ids::kHexPane, u"");
  controls_.SetText(ids::kTextPane, u"");
  shownBytes_ = 0;
  UpdateByteCount();
}

void CDlgQuillet::OnSetfocusSendEdit() {
  controls_.EditSetSelection(ids::kSendField, 0, -1);
  controls_.EditScrollCaret(ids::kSendField);
}

void CDlgQuillet::OnReceive() {
  const int segment = controls_.ComboGetSelection(ids::kSegmentList);
  const int section = controls_.ComboGetSelection(ids::kSectionList);
  const std::uint8_t frame[10] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x03, 0xA3, 0x00,
                                  static_cast<std::uint8_t>(4 * segment + section + 1)};
  StoreFrame(frame, static_cast<std::int32_t>(sizeof frame));
}

void CDlgQuillet::OnFinished() {
  static constexpr std::uint8_t kFrame[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x01, 0xA7};
  StoreFrame(kFrame, static_cast<std::int32_t>(sizeof kFrame));
}

void CDlgQuillet::OnReceivedOnTimer() {
  if (controls_.GetCheck(ids::kReceivedOnTimer))
    controls_.SetTimer(kReceiveTimerId, kReceiveTimerPeriod);
  else
    controls_.KillTimer(kReceiveTimerId);
}

void CDlgQuillet::OnTimer(std::uintptr_t id) {
  if (id == kReceiveTimerId) controls_.PostCommand(ids::kReceive);
}

}  // namespace quillet
