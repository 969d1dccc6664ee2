// The files of an unpacked browser package that the installer looks for by
// name.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FILES_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FILES_H_

namespace installer {

// The files to copy into the version subfolder and into the install
// folder, one path per line.
extern const char kFilesListName[];
extern const char kRootFilesListName[];
// The package's own installer.
extern const wchar_t kPackageInstallerExeName[];

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FILES_H_
