// The batch file "k.bat" that finishes an uninstall: the installer cannot
// delete the files that it, its front end or another installer process still
// run or hold open, so the batch waits until those processes have ended,
// deletes those files and the folders that held them, and then itself.
//
//   UninstallBatch batch(install_folder);
//   batch.AddProcess(1, ::GetCurrentProcessId());
//   if (!deleted)
//     batch.AddFile(file);
//   batch.Write();
//
// cmd.exe reads a batch file in the OEM code page, so every path is written
// in it when it converts exactly, else as its short (8.3) name; a path that
// neither way can express is left out, with a log line.

#ifndef DESKTOP_WINDOWS_INSTALLER_UNINSTALL_BATCH_H_
#define DESKTOP_WINDOWS_INSTALLER_UNINSTALL_BATCH_H_

#include <stdint.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

extern const wchar_t kUninstallBatchFileName[];

// Starts the uninstall batch file of |folder| with a hidden window when the
// file exists, and does not wait for it.
void RunUninstallBatch(const base::FilePath& folder);

class UninstallBatch {
 public:
  explicit UninstallBatch(const base::FilePath& install_folder);
  UninstallBatch(const UninstallBatch&) = delete;
  UninstallBatch& operator=(const UninstallBatch&) = delete;
  ~UninstallBatch();

  // Waits for process |pid| under the flag PID|number|_RUNNING: 1 the
  // installer, 2 the front end, 3 a second installer process. Processes
  // are waited for in the order added; a zero pid is ignored.
  void AddProcess(int number, uint32_t pid);
  // A file the batch deletes; the folders from its parent up to, not
  // including, the install folder are removed after all files. A file
  // outside the install folder gets no folder removed.
  void AddFile(const base::FilePath& path);

  // The batch's text, each line ended by a line feed.
  std::string GetText() const;
  // Writes the text as kUninstallBatchFileName into the install folder.
  bool Write() const;

  const base::FilePath& path() const { return path_; }

 private:
  struct DescendingPath {
    bool operator()(const base::FilePath& a, const base::FilePath& b) const;
  };

  const base::FilePath install_folder_;
  const base::FilePath path_;
  std::vector<std::pair<int, uint32_t>> processes_;
  std::vector<base::FilePath> files_;
  // Subfolders sort before their parents.
  std::set<base::FilePath, DescendingPath> folders_;
};

// |path| as cmd.exe reads it from a batch file: in the OEM code page when
// it converts exactly, else its short name when that does (the path must
// then exist), with "%" doubled. False when neither converts.
bool GetBatchFilePathText(const base::FilePath& path, std::string* text);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UNINSTALL_BATCH_H_
