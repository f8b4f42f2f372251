#pragma once
// The one line the host parses: "name=size-size,name=size", or "none".
#include <string>
#include <vector>

#include "core/capture_devices.h"
#include "platform/direct_show.h"

namespace vistrel {

// Fills formats with the size texts of the first device named name, group by
// group; false (and formats empty) when no device has that name.
bool CollectDeviceFormats(const std::vector<CaptureDeviceInfo>& captureDevices, std::u16string name,
                          std::vector<std::string>& formats);

// Keeps the first of equal texts, in their order. Always true.
bool RemoveDuplicateFormats(std::vector<std::string>& formats);

// Runs the enumeration once into captureDevices and builds the line; empty when
// the enumeration found no device.
std::string MakeOutputLine(DirectShow& platform, std::vector<CaptureDeviceInfo>& captureDevices);

}  // namespace vistrel
