#include "bluetooth/bth_auth.h"

#include "bluetooth/bth_manager.h"

namespace quillet {

namespace {
constexpr std::uint32_t kFormatMessageAllocateFromSystem = 0x1100;
constexpr std::uint32_t kUserDefaultLanguage = 0x400;
}  // namespace

bool AuthenticationCallback(BluetoothApi& api, void* pvParam, BthDeviceInfo* pDevice) {
  if (pvParam == nullptr || pDevice == nullptr) return false;
  const auto* context = static_cast<const _BthAuthContext*>(pvParam);

  pDevice->fAuthenticated = true;
  api.BluetoothUpdateDeviceRecord(*pDevice);
  return api.BluetoothSendAuthenticationResponse(context->hRadio, *pDevice, kPasskey) ==
         kErrorSuccess;
}

std::u16string GetSystemErrorText(SystemMessages& messages, std::uint32_t code) {
  std::u16string text;
  if (!messages.FormatMessageW(kFormatMessageAllocateFromSystem, code, kUserDefaultLanguage, text)) {
    return {};
  }
  return text;
}

}  // namespace quillet
