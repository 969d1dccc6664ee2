// The program started from a candidate temporary folder to show that
// programs can be started there.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_

#include <memory>

#include "base/files/file_path.h"
#include "base/process/process.h"

namespace installer {

// A copy of the probe program in the candidate folder, started with
// "--version". That it started is the answer; its end is waited for only
// to delete the copy, which Finish or the destructor does, so that the
// caller can go on meanwhile.
class TempFolderProbe {
 public:
  // Copies |probe_exe| into |folder| under its own name and starts the
  // copy; null, with the copy deleted, when either fails.
  static std::unique_ptr<TempFolderProbe> Start(
      const base::FilePath& folder,
      const base::FilePath& probe_exe);

  TempFolderProbe(const TempFolderProbe&) = delete;
  TempFolderProbe& operator=(const TempFolderProbe&) = delete;
  ~TempFolderProbe();

  // Waits, at most 30 s, for the copy to end and deletes it. A copy still
  // running at the limit keeps its file.
  void Finish();

  const base::FilePath& copy() const { return copy_; }

 private:
  TempFolderProbe(base::FilePath copy, base::Process process);

  base::FilePath copy_;
  base::Process process_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_
