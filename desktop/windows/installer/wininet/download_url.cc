#include "desktop/windows/installer/wininet/download_url.h"

#include "base/strings/string_util.h"

namespace installer {

namespace {

constexpr size_t kMaxHostLength = 255;
constexpr size_t kMaxPathLength = 4095;

bool IsHostCharacter(wchar_t c) {
  return base::IsAsciiAlpha(c) || base::IsAsciiDigit(c) || c == L'-' ||
         c == L'.' || c == L'_';
}

// "[::1]", or "::1" when the brackets were taken off.
bool IsIPv6Literal(const std::wstring& host) {
  std::wstring inner = host;
  if (inner.size() > 2 && inner.front() == L'[' && inner.back() == L']')
    inner = inner.substr(1, inner.size() - 2);
  if (inner.find(L':') == std::wstring::npos)
    return false;
  for (wchar_t c : inner) {
    if (!base::IsHexDigit(c) && c != L':' && c != L'.')
      return false;
  }
  return true;
}

bool IsValidHostName(const std::wstring& host) {
  if (host.empty() || host.size() > kMaxHostLength)
    return false;
  if (IsIPv6Literal(host))
    return true;
  for (wchar_t c : host) {
    if (!IsHostCharacter(c))
      return false;
  }
  return true;
}

// "scheme://authority" of |url|, or empty.
std::wstring Origin(const std::wstring& url) {
  const size_t scheme_end = url.find(L"://");
  if (scheme_end == std::wstring::npos)
    return std::wstring();
  const size_t path_start = url.find_first_of(L"/?#", scheme_end + 3);
  return url.substr(0, path_start);
}

}  // namespace

bool DownloadUrl::SameServer(const DownloadUrl& other) const {
  return scheme == other.scheme && port == other.port &&
         base::EqualsCaseInsensitiveASCII(host, other.host);
}

bool ParseDownloadUrl(const std::wstring& url, DownloadUrl* parsed) {
  if (url.empty() || url.find(L'\0') != std::wstring::npos)
    return false;
  // Lengths of 1 with null buffers ask for pointers into |url|: nothing is
  // copied into fixed buffers and nothing is decoded (flags 0).
  URL_COMPONENTSW components = {};
  components.dwStructSize = sizeof(components);
  components.dwSchemeLength = 1;
  components.dwHostNameLength = 1;
  components.dwUrlPathLength = 1;
  components.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0,
                           &components)) {
    return false;
  }
  if (components.nScheme != INTERNET_SCHEME_HTTP &&
      components.nScheme != INTERNET_SCHEME_HTTPS) {
    return false;
  }
  DownloadUrl result;
  result.scheme = components.nScheme;
  result.port = components.nPort;
  if (components.lpszHostName)
    result.host.assign(components.lpszHostName, components.dwHostNameLength);
  if (components.lpszUrlPath)
    result.path.assign(components.lpszUrlPath, components.dwUrlPathLength);
  if (components.lpszExtraInfo) {
    result.path.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  }
  if (result.path.empty() || result.path[0] != L'/')
    result.path.insert(0, L"/");
  if (!IsValidHostName(result.host) || result.path.size() > kMaxPathLength)
    return false;
  *parsed = result;
  return true;
}

std::wstring ResolveRedirectUrl(const std::wstring& base,
                                const std::wstring& location) {
  if (location.empty())
    return std::wstring();
  if (location.find(L"://") != std::wstring::npos &&
      location.find(L"://") < location.find_first_of(L"/?#"))
    return location;
  if (base::StartsWith(location, L"//", base::CompareCase::SENSITIVE))
    return base.substr(0, base.find(L':') + 1) + location;
  const std::wstring origin = Origin(base);
  if (location[0] == L'/')
    return origin + location;
  std::wstring folder = base.substr(0, base.find_first_of(L"?#"));
  folder = folder.size() > origin.size()
               ? folder.substr(0, folder.rfind(L'/') + 1)
               : origin + L"/";
  return folder + location;
}

}  // namespace installer
