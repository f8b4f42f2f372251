#include "win32/win32_platform.h"

int main(int argc, char* argv[]) {
  // Static: the watchdog thread may still use them while the process ends.
  static pantrel::Win32Console console;
  static pantrel::Win32PortDevices ports;
  static pantrel::Win32CommPort comm;
  static pantrel::Win32ProcessApi process;
  static pantrel::Platform platform{console, ports, comm, process};
  return pantrel::RunController(argc, argv, platform);
}
