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

bool ParseDownloadUrl(const std::wstring& url, upload::HttpURL* parsed) {
  // The cracker would read up to the first NUL and take what comes before
  // for the whole address.
  if (url.empty() || url.find(L'\0') != std::wstring::npos)
    return false;
  upload::HttpURL result;
  if (!upload::CrackHttpURL(url, &result) || !IsValidHostName(result.host) ||
      result.path.size() > kMaxPathLength) {
    return false;
  }
  *parsed = result;
  return true;
}

bool IsSameServer(const upload::HttpURL& a, const upload::HttpURL& b) {
  return a.secure == b.secure && a.port == b.port &&
         base::EqualsCaseInsensitiveASCII(a.host, b.host);
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
