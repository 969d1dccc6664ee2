// Statistics of one installer run (who started it, on which system, what
// the user chose, how the download went, how long each phase took), kept as
// one JSON dictionary that the front end sends to the update server at the
// end. Writers on any thread go through InstallerStatsNode handles.
//
//   InstallerStats stats(ui_callback_runner);
//   stats.root().SetString("ui.page_sequence", "welcome,options");
//   InstallerStatsNode fetch = stats.root().AppendListEntry("fetches");
//   fetch.IncrementInteger("retries");              // on the fetcher's thread
//   stats.Send(command_line, run_loop.QuitClosure(), false);

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_H_

#include <string>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/process/process_handle.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/wininet/wininet.h"

namespace base {
class CommandLine;
}

namespace installer {

class InstallerStats {
 public:
  // The upload's whole time, retries included: the installation is over
  // when it starts, and nobody should wait long for its statistics.
  static constexpr base::TimeDelta kSendTimeLimit =
      base::TimeDelta::FromSeconds(60);

  // Starts the clock of every ".elapsed" value and records the start of the
  // run: start times, product, Windows version, command line, parent
  // process and the hashed user and computer names. |ui_callback_runner|
  // (required) asks for proxy credentials for the upload.
  explicit InstallerStats(UICallbackRunner* ui_callback_runner);
  InstallerStats(const InstallerStats&) = delete;
  InstallerStats& operator=(const InstallerStats&) = delete;
  ~InstallerStats();

  // The node of the root dictionary; copies of it may be handed to other
  // threads.
  InstallerStatsNode& root() { return root_node_; }

  // The whole tree as compact JSON, keys in sorted order.
  std::string GetJson() const;

  // Adds the download summaries and the sending time, and posts the whole
  // tree as JSON to the update server (GetStatsUploadURL of
  // |command_line|). |completion| runs exactly once whatever happens: at
  // once when nothing could be sent (false), else when the upload has ended
  // (true), successful or not. After a download from the network
  // (|wait_for_network|) failures are retried for longer, always within
  // kSendTimeLimit.
  bool Send(const base::CommandLine& command_line,
            base::OnceClosure completion,
            bool wait_for_network);

 private:
  void RecordInitialStats();

  mutable base::Lock lock_;
  base::DictionaryValue root_;
  InstallerStatsNode root_node_;
  WininetDownloader sender_;
};

// Where the statistics go: "http://localhost:3000/" with the switch
// local-stats-server (whatever its value), else the branding "autoupdate"
// address followed by "netinstaller/feedback".
std::wstring GetStatsUploadURL(const base::CommandLine& command_line);

// The executable of the parent process, or an empty path when it is gone or
// cannot be asked.
base::FilePath GetParentProcessImagePath();
// The executable of the process |process_id| when it started no later than
// this process; an empty path when it is gone, cannot be asked, or started
// later: a parent that has exited leaves its id free for a newer process,
// which is no parent of ours.
base::FilePath GetImagePathIfStartedBefore(base::ProcessId process_id);

// SHA-256 of |user_name| followed by |computer_name| as UTF-16 little
// endian code units, as 64 lower-case hex digits; empty when both are.
std::string ComputeEndpointNameHash(const std::wstring& user_name,
                                    const std::wstring& computer_name);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_H_
