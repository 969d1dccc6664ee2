#include "desktop/windows/installer/wininet/host_allow_list.h"

#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"

namespace installer {

namespace {

constexpr wchar_t kMakerDomain[] = L".kelvo.example";
constexpr wchar_t kTestNetworkDomain[] = L".kelvo.test";
constexpr wchar_t kQaNetworkDomain[] = L".kelvo-qa.test";

bool EntryAdmits(const std::wstring& host, const std::wstring& entry) {
  if (entry.empty() || entry.size() > host.size())
    return false;
  const std::wstring tail = host.substr(host.size() - entry.size());
  if (!base::EqualsCaseInsensitiveASCII(tail, entry))
    return false;
  if (entry[0] == L'.' || host.size() == entry.size())
    return true;
  return host[host.size() - entry.size() - 1] == L'.';
}

}  // namespace

bool IsHostAllowed(const std::wstring& host,
                   const std::vector<std::wstring>& allowed) {
  if (allowed.empty())
    return true;
  for (const std::wstring& entry : allowed) {
    if (EntryAdmits(host, entry))
      return true;
  }
  return false;
}

std::vector<std::wstring> AllowedServerHosts() {
  std::vector<std::wstring> hosts;
  const std::wstring domain = base::UTF8ToWide(GetAllowedDomain());
  if (!domain.empty() &&
      !base::EqualsCaseInsensitiveASCII(domain, kMakerDomain))
    hosts.push_back(domain);
  hosts.insert(hosts.end(), {kMakerDomain, kTestNetworkDomain, kQaNetworkDomain,
                             L"localhost", L"127.0.0.1"});
  return hosts;
}

}  // namespace installer
