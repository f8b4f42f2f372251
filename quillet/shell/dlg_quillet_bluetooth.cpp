// Handlers of the Bluetooth bench controls: radio enumeration, scan, property
// sheet and authentication, carried out by the Bluetooth commands.
#include "shell/dlg_quillet.h"

namespace quillet {

void CDlgQuillet::OnEnumerate() { bluetooth_.OnEnumerate(); }

bool CDlgQuillet::GetSelectedRadio(_LocalRadioInfo& radio) { return bluetooth_.GetSelectedRadio(radio); }

void CDlgQuillet::OnScan() { bluetooth_.OnScan(); }

void CDlgQuillet::OnDblclkDeviceList() { bluetooth_.OnDblclkDeviceList(); }

void CDlgQuillet::OnAuthenticate() { bluetooth_.OnAuthenticate(); }

}  // namespace quillet
