// The first request of a net install: the update server is asked where the
// package is (a GET, or a POST of the tracking data) and answers with JSON:
//
//   {"installer": "https://.../kelvo_package.exe",
//    "installer_checksum": "<SHA-256, 64 lower-case hex digits>",
//    "components": [{"type": "partner_content", "location": "https://...",
//                    "archive": 0, "checksum": "...", "filename": "p.dat"},
//                   {"type": "suite", "location": "https://...",
//                    "archive": 1, "checksum": "..."}],
//    "url_welcome": "https://..."}
//
// "components" and "url_welcome" are optional.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_ADDRESS_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_ADDRESS_H_

#include <string>
#include <vector>

#include "desktop/windows/installer/package_fetcher/additional_file.h"

namespace base {
class CommandLine;
}

namespace installer {

// The update server of the maker's test network, asked when the switch
// internal-package-server is given without an address.
extern const char kInternalTestServerURL[];

// The value of the switch internal-package-server when it has one, used as
// it is. Otherwise the branding "autoupdate" address (kInternalTestServerURL
// with the switch but no value), "netinstaller/" and the stream name,
// followed by "/windows/x64/" when |x64_download| is 1.
std::wstring GetDownloadAddressURL(const base::CommandLine& command_line,
                                   int x64_download);

struct DownloadAddressReply {
  DownloadAddressReply();
  DownloadAddressReply(const DownloadAddressReply& other);
  DownloadAddressReply& operator=(const DownloadAddressReply& other);
  ~DownloadAddressReply();

  std::string installer;  // UTF-8.
  std::string installer_checksum;
  // Empty when there is none.
  std::string welcome_url;
  // The entries of "components" to fetch, in reply order: dictionaries
  // whose "type" is partner content, or the suite when it is wanted.
  std::vector<AdditionalFile> additional_files;
};

// False when |text| is not a JSON dictionary holding the strings
// "installer" and "installer_checksum".
bool ParseDownloadAddressReply(const std::string& text,
                               bool want_suite,
                               DownloadAddressReply* reply);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOAD_ADDRESS_H_
