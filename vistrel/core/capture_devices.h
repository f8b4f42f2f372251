#pragma once
// Enumeration of the video capture devices and the frame sizes each offers.
#include <string>
#include <vector>

#include "platform/direct_show.h"

namespace vistrel {

// The subtype text first, then the size texts ("640*480") in capability order,
// repeats included.
using FormatGroup = std::vector<std::string>;

struct CaptureDeviceInfo {
  std::u16string name;  // empty when no name property was read
  std::vector<FormatGroup> formatGroups;
};

// Appends one record per device of the video input category, in the order the
// system enumerates them. False when the enumeration cannot start.
bool EnumerateCaptureDevices(DirectShow& platform, std::vector<CaptureDeviceInfo>& captureDevices);

}  // namespace vistrel
