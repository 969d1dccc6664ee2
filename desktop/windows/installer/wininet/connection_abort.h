// Ends this process's TCP connections to one server at the socket, below
// WinINet. Closing a request's handles does not stop WinINet under Wine:
// it goes on reading a header block without end into memory, and it drains
// a chunked body without end in whichever thread lets go of the request
// last, for as long as the server sends. A socket that is shut down ends
// both at once; WinINet then sees the connection closed.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_CONNECTION_ABORT_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_CONNECTION_ABORT_H_

#include <string>

namespace installer {

// Shuts down, in both directions, every socket of this process connected to
// |address| (a numeric IPv4 or IPv6 address, as WinINet reports the server
// it connected to) and |port|; returns how many. Other connections of the
// process to that server go too: they would be WinINet's own, reused for
// the next request to it, which then connects anew.
int AbortConnectionsTo(const std::string& address, int port);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_CONNECTION_ABORT_H_
