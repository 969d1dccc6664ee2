#include "desktop/windows/installer/wininet/connection_abort.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdint.h>
#include <string.h>

#include "base/logging.h"

namespace installer {

namespace {

// WinINet does not hand out its sockets (Wine's answer to
// INTERNET_OPTION_DIAGNOSTIC_SOCKET_INFO is always 0), so the process's
// handles are tried in turn. Handle values are multiples of 4, and an
// installer process holds some hundreds of handles: this is far above.
constexpr uintptr_t kHandleValueLimit = 0x10000;

bool ParseEndpoint(const std::string& address,
                   int port,
                   sockaddr_storage* endpoint) {
  for (int family : {AF_INET, AF_INET6}) {
    // The function takes a writable text.
    std::string text = address;
    int size = sizeof(*endpoint);
    memset(endpoint, 0, sizeof(*endpoint));
    if (::WSAStringToAddressA(&text[0], family, nullptr,
                              reinterpret_cast<sockaddr*>(endpoint),
                              &size) != 0) {
      continue;
    }
    const u_short network_port = htons(static_cast<u_short>(port));
    if (family == AF_INET)
      reinterpret_cast<sockaddr_in*>(endpoint)->sin_port = network_port;
    else
      reinterpret_cast<sockaddr_in6*>(endpoint)->sin6_port = network_port;
    return true;
  }
  return false;
}

bool SameEndpoint(const sockaddr_storage& a, const sockaddr_storage& b) {
  if (a.ss_family != b.ss_family)
    return false;
  if (a.ss_family == AF_INET) {
    const auto& a4 = reinterpret_cast<const sockaddr_in&>(a);
    const auto& b4 = reinterpret_cast<const sockaddr_in&>(b);
    return a4.sin_port == b4.sin_port &&
           a4.sin_addr.s_addr == b4.sin_addr.s_addr;
  }
  if (a.ss_family == AF_INET6) {
    const auto& a6 = reinterpret_cast<const sockaddr_in6&>(a);
    const auto& b6 = reinterpret_cast<const sockaddr_in6&>(b);
    return a6.sin6_port == b6.sin6_port &&
           memcmp(&a6.sin6_addr, &b6.sin6_addr, sizeof(a6.sin6_addr)) == 0;
  }
  return false;
}

}  // namespace

int AbortConnectionsTo(const std::string& address, int port) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    LOG(ERROR) << "Winsock is not available: no connection is ended";
    return 0;
  }
  int aborted = 0;
  sockaddr_storage server;
  if (ParseEndpoint(address, port, &server)) {
    for (uintptr_t value = 4; value < kHandleValueLimit; value += 4) {
      const SOCKET socket = static_cast<SOCKET>(value);
      sockaddr_storage peer = {};
      int size = sizeof(peer);
      if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) ==
              0 &&
          SameEndpoint(peer, server) && ::shutdown(socket, SD_BOTH) == 0) {
        ++aborted;
      }
    }
  } else {
    LOG(WARNING) << "Not a server address: " << address;
  }
  ::WSACleanup();
  LOG(INFO) << "Ended " << aborted << " connection(s) to " << address << ":"
            << port;
  return aborted;
}

}  // namespace installer
