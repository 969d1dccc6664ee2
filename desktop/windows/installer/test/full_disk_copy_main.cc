// Copies a file through the installer's transaction where the disk fills up
// half-way (the caller limits the size of the files this process may
// write), and checks that the failed copy leaves nothing behind.
//
//   full_disk_copy.exe SOURCE DESTINATION
//
// DESTINATION lies in folders that do not exist yet. Exit codes: 0 the copy
// failed and neither the partial file nor the folders made for it stayed;
// 1 the copy succeeded (the limit was not reached); 2 something stayed; 3
// bad arguments.

#include <windows.h>

#include <cstdio>
#include <memory>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3)
    return 3;
  base::AtExitManager at_exit;
  const base::FilePath source(argv[1]);
  const base::FilePath destination(argv[2]);
  // The topmost folder that the copy has to create.
  base::FilePath created = destination.DirName();
  while (!base::DirectoryExists(created.DirName()))
    created = created.DirName();
  if (base::PathExists(created))
    return 3;

  installer::Transaction transaction;
  if (transaction.Execute(std::make_unique<installer::CopyFileOperation>(
          source, destination))) {
    std::printf("The copy succeeded: the size limit was not reached\n");
    return 1;
  }
  bool clean = true;
  for (const base::FilePath& path : {destination, created}) {
    if (base::PathExists(path)) {
      std::printf("Left behind: %ls\n", path.value().c_str());
      clean = false;
    }
  }
  return clean ? 0 : 2;
}
