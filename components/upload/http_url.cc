#include "components/upload/http_url.h"

#include <windows.h>
#include <wininet.h>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace upload {

// WinINet's cracker for both clients: WinHTTP's loses bracketed IPv6 hosts
// under Wine.
bool CrackHttpURL(const std::wstring& url, HttpURL* parts) {
  URL_COMPONENTSW components = {sizeof(components)};
  components.dwSchemeLength = static_cast<DWORD>(-1);
  components.dwHostNameLength = static_cast<DWORD>(-1);
  components.dwUrlPathLength = static_cast<DWORD>(-1);
  components.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::InternetCrackUrlW(url.c_str(), 0, 0, &components)) {
    LOG(ERROR) << "Not a URL: " << base::WideToUTF8(url);
    return false;
  }
  const std::wstring scheme(components.lpszScheme, components.dwSchemeLength);
  if (scheme != L"http" && scheme != L"https") {
    LOG(ERROR) << "Not an http or https URL: " << base::WideToUTF8(url);
    return false;
  }
  parts->secure = scheme == L"https";
  parts->host.assign(components.lpszHostName, components.dwHostNameLength);
  parts->port = components.nPort;
  // The query follows the path in the URL text.
  parts->path.assign(components.lpszUrlPath,
                     components.dwUrlPathLength + components.dwExtraInfoLength);
  if (parts->path.empty())
    parts->path = L"/";
  return true;
}

}  // namespace upload
