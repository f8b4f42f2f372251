// Handlers of the Bluetooth bench controls. The Bluetooth side fills these in
// (radio enumeration, scan, property sheet, authentication); until then the
// buttons do nothing.
#include "shell/dlg_quillet.h"

namespace quillet {

void CDlgQuillet::OnEnumerate() {}

void CDlgQuillet::OnScan() {}

void CDlgQuillet::OnDblclkDeviceList() {}

void CDlgQuillet::OnAuthenticate() {}

}  // namespace quillet
