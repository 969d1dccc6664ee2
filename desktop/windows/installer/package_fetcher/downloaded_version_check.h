// Before a downloaded program may install anything, it has to be this
// installer's version or newer, and the package of this installer's
// stream: it is run with --internal-version (and --stream), and what it
// prints is compared with this installer's own values.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_VERSION_CHECK_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_VERSION_CHECK_H_

#include "base/files/file_path.h"
#include "desktop/windows/installer/installer_stats_node.h"

namespace installer {

// True when |program| prints an internal version that parses and is not
// lower than GetInternalVersion(), and, with |check_stream|, a stream equal
// to GetStream(); surrounding whitespace does not count. What it printed is
// recorded on |stats| as "internal_version" and "stream". A program that
// does not answer in time fails (see QueryPackageProgram).
bool CheckDownloadedVersion(const base::FilePath& program,
                            bool check_stream,
                            InstallerStatsNode stats);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_DOWNLOADED_VERSION_CHECK_H_
