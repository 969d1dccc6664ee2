// The security of the folders a fetch makes in the user's temporary folder
// (the package folder, the suite folder). A front end without
// administrator rights gives them none of their own: they inherit the
// user's. An elevated one makes them so that only administrators and the
// system may change anything in them and users may read and run what is
// there: a program of the user can then neither put code there that an
// elevated run starts or copies into the install folder, nor change what
// a program the run started (a component's archive) unpacks there.
//
// Wine stores no file ACLs: there the descriptor is built and handed to
// the folder's creation, and what it grants is checked in memory by tests.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_SECURITY_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_SECURITY_H_

#include "desktop/windows/installer/service/security_access.h"

namespace installer {

// A self-relative descriptor for a new package or suite folder, or null
// when the folder takes the security it inherits (logged when an elevated
// process cannot build it).
ScopedSecurityDescriptor MakePackageFolderSecurity();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FOLDER_SECURITY_H_
