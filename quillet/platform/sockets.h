#pragma once
// Seam over the Windows Sockets calls of the host link.
#include <cstddef>
#include <cstdint>

#include "platform/handle.h"

namespace quillet {

using Socket = std::uintptr_t;
inline constexpr Socket kInvalidSocket = ~Socket{0};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // WSAStartup; `granted` receives wVersion of the returned WSADATA.
  virtual int WSAStartup(std::uint16_t version, std::uint16_t& granted) = 0;
  virtual int WSACleanup() = 0;
  // socket(AF_INET, SOCK_STREAM, IPPROTO_TCP).
  virtual Socket socket() = 0;
  // connect() to an IPv4 address given as its dotted text (inet_addr) and a host-order port.
  virtual int connect(Socket socket, const char* address, std::uint16_t port) = 0;
  // send() with flags 0.
  virtual int send(Socket socket, const std::uint8_t* data, int count) = 0;
  virtual int closesocket(Socket socket) = 0;
};

}  // namespace quillet
