#pragma once
// The dialog's Bluetooth commands: Enumerate, the radio choice, Scan, the
// device list's double click and Request Authenticate. The main dialog owns
// one and routes its handlers here.
#include <cstdint>
#include <functional>
#include <string>

#include "bluetooth/bth_manager.h"
#include "platform/bluetooth_api.h"
#include "platform/controls.h"

namespace quillet {

class BluetoothCommands {
 public:
  // sendToHost: one send on the host socket, result ignored.
  // exitProcess: ends the program at once with the given status.
  BluetoothCommands(CBthManager& manager, Controls& controls, SystemMessages& messages,
                    std::function<void(const std::string& bytes)> sendToHost,
                    std::function<void(std::uint32_t status)> exitProcess);

  void OnEnumerate();
  bool GetSelectedRadio(_LocalRadioInfo& radio);
  void OnScan();
  void OnDblclkDeviceList();
  void OnAuthenticate();

 private:
  // Index of the selected device line, or -1 after telling the user to pick one.
  int SelectedDeviceLine();

  CBthManager& m_manager;
  Controls& m_controls;
  SystemMessages& m_messages;
  std::function<void(const std::string&)> m_sendToHost;
  std::function<void(std::uint32_t)> m_exitProcess;
};

// "<name> ( <address> )", the line of a radio or a device in its list.
std::u16string FormatBthListLine(const char16_t* name, std::size_t capacity,
                                 BLUETOOTH_ADDRESS address);

inline constexpr std::uint32_t kExitNoBluetooth = 3;

}  // namespace quillet
