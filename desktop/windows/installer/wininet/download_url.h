// Download addresses as WinINet's connect and request calls take them
// (upload::HttpURL), used exactly as given: a signed download address
// breaks when its escapes ("%2B", "%2F", "%3D", "%26") are decoded.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_

#include <string>

#include "components/upload/http_url.h"

namespace installer {

// Splits an http or https |url|; false for anything else, for a host that
// is empty, longer than 255 characters or holds a character no host name
// has (such as "%" or NUL), and for a path and query longer than 4095
// characters.
bool ParseDownloadUrl(const std::wstring& url, upload::HttpURL* parsed);

// Whether |a| and |b| are reached over the same connection.
bool IsSameServer(const upload::HttpURL& a, const upload::HttpURL& b);

// The address that a redirect's |location| names, as seen from |base|: an
// absolute address, one relative to the scheme ("//host/..."), to the
// server ("/path") or to |base|'s folder. Empty when |location| is.
std::wstring ResolveRedirectUrl(const std::wstring& base,
                                const std::wstring& location);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_DOWNLOAD_URL_H_
