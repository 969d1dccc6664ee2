// The parts of a download address that WinINet's connect and request calls
// take. Addresses are used exactly as given: a signed download address
// breaks when its escapes ("%2B", "%2F", "%3D", "%26") are decoded.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_

#include <windows.h>
#include <wininet.h>

#include <string>

namespace installer {

struct DownloadUrl {
  // Whether |other| is reached over the same connection.
  bool SameServer(const DownloadUrl& other) const;

  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  std::wstring host;
  INTERNET_PORT port = 0;
  // Path and query, never empty.
  std::wstring path;
};

// Splits an http or https |url|; false for any other scheme, a host that is
// empty, longer than 255 characters or holds a character no host name has
// (such as "%" or NUL), or a path and query longer than 4095 characters.
bool ParseDownloadUrl(const std::wstring& url, DownloadUrl* parsed);

// The address that a redirect's |location| names, as seen from |base|: an
// absolute address, one relative to the scheme ("//host/..."), to the
// server ("/path") or to |base|'s folder. Empty when |location| is.
std::wstring ResolveRedirectUrl(const std::wstring& base,
                                const std::wstring& location);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_
