// Vistrel: prints the video capture devices and their frame sizes for the host.
#include <cstdio>
#include <string>
#include <vector>

#include "core/output_line.h"
#include "win32/direct_show_adapter.h"

int main() {
  // The device list lives as long as the process.
  static std::vector<vistrel::CaptureDeviceInfo> captureDevices;
  vistrel::Win32DirectShow platform;

  std::string line = vistrel::MakeOutputLine(platform, captureDevices);

  // One write, no line end; an empty line writes nothing at all.
  std::fwrite(line.data(), 1, line.size(), stdout);
  return 0;
}
