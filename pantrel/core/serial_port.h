#pragma once
// Finding the camera's serial port among the present ports, and opening it.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/comm.h"
#include "platform/ports.h"

namespace pantrel {

// The first present port whose friendly name carries a known marker, as its
// port name ("COM3"), or nothing.
std::optional<std::string> find_serial_port(PortDevices& devices);

// Opens and sets up the port; serial_handle holds the port, or kInvalidHandle
// after a failure. Returns 1 when the port is ready, 0 otherwise.
int open_serial_port(CommPort& comm, Handle& serial_handle, const std::string& path,
                     std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity,
                     std::uint32_t inQueue, std::uint32_t outQueue);

}  // namespace pantrel
