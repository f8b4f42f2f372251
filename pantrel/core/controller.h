#pragma once
// The camera controller's entry and command loop.
#include "platform/comm.h"
#include "platform/console.h"
#include "platform/ports.h"
#include "platform/process.h"

namespace pantrel {

struct Platform {
  Console& console;
  PortDevices& ports;
  CommPort& comm;
  ProcessApi& process;
};

// Runs the controller with the program's arguments; returns the exit code.
int RunController(int argc, const char* const argv[], Platform& platform);

}  // namespace pantrel
