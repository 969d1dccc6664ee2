// Registry keys reached without a registry link. Any program of the user
// can make a link in the user's hive (REG_OPTION_CREATE_LINK and a REG_LINK
// "SymbolicLinkValue") that leads into a machine key; an installer that
// writes, creates or deletes a key through it would change that machine
// key, with administrator rights when it runs elevated. The operations and
// the journal's replay therefore reach every key they change through these
// functions:
//
//   base::win::RegKey key;
//   LONG result = OpenKeyWithoutLinks(root, path, view | KEY_SET_VALUE, &key);
//   if (result == kErrorRegistryLink) ...  // refused, and logged
//
// A key opened by its path from a root is checked by its handle: the name
// the registry gives the opened key must be the one the path names, so a
// link anywhere on the way, the key itself included, is found on the very
// key that is then used. Below an open key, one level at a time, a link is
// opened as itself (REG_OPTION_OPEN_LINK) and recognised by its
// "SymbolicLinkValue". Only the user's hive (HKEY_CURRENT_USER) is checked
// by name: HKEY_LOCAL_MACHINE is written by administrators alone, and
// Windows itself links keys there (the 32-bit view's classes).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_LINK_FREE_REGISTRY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_LINK_FREE_REGISTRY_H_

#include <windows.h>

#include <string>

#include "base/win/registry.h"

namespace installer {

// What the functions below answer for a key that is, or is reached
// through, a registry link (ERROR_STOPPED_ON_SYMLINK).
constexpr LONG kErrorRegistryLink = 681;

// Opens |path| below |root| with |access|, its view flags included, as
// RegOpenKeyExW does; kErrorRegistryLink, with |key| closed, when the key
// opened is not the one |path| names.
LONG OpenKeyWithoutLinks(HKEY root,
                         const std::wstring& path,
                         REGSAM access,
                         base::win::RegKey* key);

// Opens the subkey |name| of |parent|; kErrorRegistryLink when it is a
// link. |access| gets KEY_QUERY_VALUE added, which telling a link needs.
LONG OpenSubkeyWithoutLinks(HKEY parent,
                            const std::wstring& name,
                            REGSAM access,
                            base::win::RegKey* key);

// Creates the subkey |name| of |parent| with |security| (may be null), or
// opens it when it exists; an existing link is refused, never followed.
// |created| (may be null) tells whether the key was made now.
LONG CreateSubkeyWithoutLinks(HKEY parent,
                              const std::wstring& name,
                              REGSAM access,
                              SECURITY_ATTRIBUTES* security,
                              base::win::RegKey* key,
                              bool* created);

// Creates |path| below |root| one level at a time from its nearest existing
// ancestor, which is opened as OpenKeyWithoutLinks does; |security| applies
// to the key itself. |created| (may be null) tells whether the key itself
// was made now.
LONG CreateKeyWithoutLinks(HKEY root,
                           const std::wstring& path,
                           REGSAM access,
                           SECURITY_ATTRIBUTES* security,
                           base::win::RegKey* key,
                           bool* created);

// Deletes the open |key| itself, which must hold no subkey any more. The
// key deleted is the one checked through this handle, not whatever its
// name leads to by then.
LONG DeleteOpenKey(HKEY key);

// Deletes the subkey |name| of |parent| with everything below it. A link
// below it is deleted as itself: what it leads to stays.
LONG DeleteTreeWithoutLinks(HKEY parent,
                            const std::wstring& name,
                            REGSAM view_flags);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_LINK_FREE_REGISTRY_H_
