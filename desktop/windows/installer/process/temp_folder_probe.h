// The program started from a candidate temporary folder to show that
// programs can be started there.

#ifndef DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_
#define DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_

#include <memory>

#include "base/files/file_path.h"
#include "base/files/new_file.h"
#include "base/process/process.h"

namespace installer {

// A copy of the probe program in the candidate folder, started with
// "--version". That it started is the answer; its end is waited for only
// to delete the copy, which Finish or the destructor does, so that the
// caller can go on meanwhile.
//
// The folder may be one that other programs write, and the probe may run
// elevated: the copy is made new (never through a link at its name, another
// name when that one is taken), compared with the program it copies once
// nobody can write it any more, and held so until it has been started and
// has ended.
class TempFolderProbe {
 public:
  // Copies |probe_exe| into |folder| under its own name, or another one
  // when that is taken, and starts the copy; null, with the copy deleted,
  // when either fails or the copy is not what was written.
  static std::unique_ptr<TempFolderProbe> Start(
      const base::FilePath& folder,
      const base::FilePath& probe_exe);

  TempFolderProbe(const TempFolderProbe&) = delete;
  TempFolderProbe& operator=(const TempFolderProbe&) = delete;
  ~TempFolderProbe();

  // Waits, at most 30 s, for the copy to end and deletes it. A copy still
  // running at the limit keeps its file.
  void Finish();

  const base::FilePath& copy() const { return copy_.path(); }

 private:
  TempFolderProbe(base::NewFile copy, base::Process process);

  base::NewFile copy_;
  base::Process process_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PROCESS_TEMP_FOLDER_PROBE_H_
