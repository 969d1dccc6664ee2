#include "desktop/windows/installer/package_files.h"

namespace installer {

const char kFilesListName[] = "files_list";
const char kRootFilesListName[] = "root_files_list";
const wchar_t kPackageInstallerExeName[] = L"installer.exe";

}  // namespace installer
