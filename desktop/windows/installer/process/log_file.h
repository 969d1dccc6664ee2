// Where an installer run writes its log.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_LOG_FILE_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_LOG_FILE_H_

#include "base/files/file_path.h"

namespace installer {

// The log file of this run: "<product>_installer_YYYYMMDDhhmmss.log" in the
// installer's folder under the temporary folder, or in the current folder
// when that folder cannot be made or is a link to another place.
base::FilePath GetLogFilePath();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_LOG_FILE_H_
