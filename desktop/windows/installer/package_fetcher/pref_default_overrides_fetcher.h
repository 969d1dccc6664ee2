// Asks the update server for the default preferences that belong to the
// install's tracking data and stores the reply as "pref_default_overrides"
// in the package folder, where the installed browser finds it. The fetch is
// optional: however it ends, the completion runs and the install goes on,
// and a failed fetch leaves no file behind.
//
//   PrefDefaultOverridesFetcher fetcher(package_folder, ui_callback_runner);
//   fetcher.Fetch(tracking_data, base::BindOnce(&Controller::OnFetched, ...));

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PREF_DEFAULT_OVERRIDES_FETCHER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PREF_DEFAULT_OVERRIDES_FETCHER_H_

#include <string>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/wininet.h"

namespace base {
class CommandLine;
}

namespace installer {

class UICallbackRunner;

class PrefDefaultOverridesFetcher {
 public:
  // The installation waits for the fetch: it may not take longer than this.
  static constexpr base::TimeDelta kTimeLimit =
      base::TimeDelta::FromSeconds(30);

  // |ui_callback_runner| (required) asks for proxy credentials; it must
  // outlive the fetcher. The server's address comes from |command_line|
  // (GetPrefDefaultOverridesURL).
  PrefDefaultOverridesFetcher(const base::FilePath& folder,
                              UICallbackRunner* ui_callback_runner,
                              const base::CommandLine& command_line);
  PrefDefaultOverridesFetcher(const PrefDefaultOverridesFetcher&) = delete;
  PrefDefaultOverridesFetcher& operator=(const PrefDefaultOverridesFetcher&) =
      delete;
  // Ends a fetch in progress; its completion does not run.
  ~PrefDefaultOverridesFetcher();

  // Sends |tracking_data| (a POST; a GET when it is empty) and runs
  // |completion| once the reply is stored or the fetch has failed; at once
  // when the feature "installer-pref-default-overrides-support" is off.
  void Fetch(const std::string& tracking_data, base::OnceClosure completion);

 private:
  void OnFetched();

  const base::FilePath target_path_;
  const std::wstring url_;
  WininetDownloader downloader_;
  base::OnceClosure completion_;
};

// The value of the switch local-pref-default-overrides-server, or
// "http://localhost:3001/" when it has none; without the switch the
// branding "autoupdate" address followed by
// "api/prefs/?product=<product name>&version=<product version>".
std::wstring GetPrefDefaultOverridesURL(const base::CommandLine& command_line);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PREF_DEFAULT_OVERRIDES_FETCHER_H_
