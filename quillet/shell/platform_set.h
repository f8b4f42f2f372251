#pragma once
// The seams the dialog core works through, gathered for construction.
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
  // The Bluetooth seam joins here.
};

}  // namespace quillet
