#pragma once
// The seams the dialog core works through, gathered for construction.
#include "platform/bluetooth_api.h"
#include "platform/comm.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/port_devices.h"
#include "platform/sockets.h"
#include "platform/system.h"

namespace quillet {

struct PlatformSet {
  Controls* controls = nullptr;
  Comm* comm = nullptr;
  Sockets* sockets = nullptr;
  Files* files = nullptr;
  System* system = nullptr;
  PortDevices* portDevices = nullptr;
  // Without them the dialog behaves as on a machine without Bluetooth.
  BluetoothApi* bluetooth = nullptr;
  SystemMessages* systemMessages = nullptr;
};

}  // namespace quillet
