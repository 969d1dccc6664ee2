// Which hosts a download may reach. The update server's requests (download
// address, pref default overrides, statistics) are kept to the maker's
// domains and the loopback host, so that neither a tampered address nor a
// redirect sends them, with the tracking data, anywhere else.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_

#include <string>
#include <vector>

namespace installer {

// True when |allowed| is empty, or when one of its non-empty entries names
// |host|, ignoring ASCII case: an entry starting with "." admits every host
// below that domain (not the domain itself); any other entry admits that
// host and the hosts below it, never a host that merely ends with the same
// letters ("evillocalhost" is not "localhost").
bool IsHostAllowed(const std::wstring& host,
                   const std::vector<std::wstring>& allowed);

// The update server's hosts: the branding "domain" when it is not the
// maker's own domain, the maker's domain, its two test networks,
// "localhost" and "127.0.0.1".
std::vector<std::wstring> AllowedServerHosts();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_
