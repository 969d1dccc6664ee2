// Where the proposals for an install folder come from, beside the command
// line: the folder a previous installation of this stream recorded in the
// registry, the drives a standalone copy may go to, best first, and the
// uninstall entries of this stream. Settings builds its choices on these.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_FOLDER_CHOICE_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_FOLDER_CHOICE_H_

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

// The rank of a drive type for a standalone copy; lower is better:
// removable 0, remote 1, fixed 3, RAM disk 4, CD-ROM 5, unknown 6, no root 7.
int GetStandaloneDriveRank(UINT drive_type);

struct StandaloneCandidate {
  base::FilePath path;
  int rank = 0;
};

// The candidates sorted by rank (drives of one rank stay in letter order),
// the best kept and, after it, those up to the first of rank 5 (CD-ROM) or
// worse: a drive of such a rank is proposed only when nothing better is.
std::vector<base::FilePath> RankStandaloneCandidates(
    std::vector<StandaloneCandidate> candidates);

// The default standalone folders, best first: on every drive that holds a
// medium, its root followed by the default folder name (DriveAccess).
std::vector<base::FilePath> FindStandaloneInstallPaths();

// The last install folder recorded under the current user's product key for
// this stream (the x64 value first when |x64_download| is 1; the
// unversioned value of the oldest builds only on the Stable |channel|).
// Empty unless it names an existing absolute folder.
base::FilePath ReadLastInstallPath(int32_t x64_download, int channel);

// Whether |stream_word| of an uninstall entry's display name ("Kelvo
// Developer 45.0") names |channel|.
bool IsStreamWordOfChannel(const std::wstring& stream_word, int channel);

// The uninstall entries of the product for |channel| in the 64-bit and
// 32-bit machine views and the user's, counted up to |limit|.
int CountUninstallEntriesOfChannel(int channel, int limit);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_FOLDER_CHOICE_H_
