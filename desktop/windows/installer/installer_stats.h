// Statistics of one installer run (who started it, on which system, what
// the user chose, how the download went, how long each phase took), kept as
// one JSON dictionary that the front end sends to the update server at the
// end. Writers on any thread go through InstallerStatsNode handles.
//
//   InstallerStats stats;
//   stats.root().SetString("ui.page_sequence", "welcome,options");
//   InstallerStatsNode fetch = stats.root().AppendListEntry("fetches");
//   fetch.IncrementInteger("retries");              // on the fetcher's thread
//   std::string json = stats.GetJson();

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_STATS_H_

#include <string>

#include "base/files/file_path.h"
#include "base/process/process_handle.h"
#include "base/synchronization/lock.h"
#include "base/values.h"
#include "desktop/windows/installer/installer_stats_node.h"

namespace installer {

class InstallerStats {
 public:
  // Starts the clock of every ".elapsed" value and records the start of the
  // run: start times, product, Windows version, command line, parent
  // process and the hashed user and computer names.
  InstallerStats();
  InstallerStats(const InstallerStats&) = delete;
  InstallerStats& operator=(const InstallerStats&) = delete;
  ~InstallerStats();

  // The node of the root dictionary; copies of it may be handed to other
  // threads.
  InstallerStatsNode& root() { return root_node_; }

  // The whole tree as compact JSON, keys in sorted order.
  std::string GetJson() const;

 private:
  void RecordInitialStats();

  mutable base::Lock lock_;
  base::DictionaryValue root_;
  InstallerStatsNode root_node_;
};

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
