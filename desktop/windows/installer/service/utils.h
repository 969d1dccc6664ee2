// Windows services for the installer: the current user and its token, known
// folders, access checks and temporary access grants on files and registry
// keys, shortcuts and taskbar pins that point at the browser, path checks,
// kernel-object names, the product's executable and registry keys. None of
// these keeps state between calls; all block on the Windows call they make.
//
// Object paths and types in the security functions are those of
// GetNamedSecurityInfoW: SE_FILE_OBJECT for files and folders ("C:\dir"),
// SE_REGISTRY_KEY for keys ("CURRENT_USER\Software\Kelvo",
// "MACHINE\SOFTWARE\..."), SE_REGISTRY_WOW64_32KEY for keys of the 32-bit
// registry view. Their reads and writes go through SecurityAccess.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_UTILS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_UTILS_H_

#include <windows.h>

#include <aclapi.h>
#include <shlobj.h>
#define SECURITY_WIN32
#include <security.h>
#undef SECURITY_WIN32

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/security_access.h"

namespace installer {

// User and token. Note that GetUserName and GetUserNameEx are also the
// names of Win32 macros: in code that sees <windows.h> these declarations
// become GetUserNameW and GetUserNameExW overloads, which calls resolve by
// their arguments.

// The account name (GetUserNameW); false on failure.
bool GetUserName(std::wstring* user_name);
// The name in |format| (GetUserNameExW); false on failure, for instance when
// the account has no such name (a display name of a local account).
bool GetUserNameEx(std::wstring* user_name, EXTENDED_NAME_FORMAT format);
// GetUserNameEx with NameDisplay.
bool GetUserDisplayName(std::wstring* user_name);
// Whether the process's token is a member of BUILTIN\Administrators: with
// false whether the process runs elevated as an administrator; with true
// whether the user is an administrator, elevated or not.
bool IsUserAdmin(bool consider_linked_token);
// Enables or disables |privilege| (an SE_*_NAME) in |token|, which must
// carry TOKEN_ADJUST_PRIVILEGES and is closed before returning. False also
// when the token does not hold the privilege.
bool EnablePrivilege(const wchar_t* privilege,
                     bool enable,
                     base::win::ScopedHandle token);

// Known folders. |folder_id| through SHGetKnownFolderPath (with |create|,
// created when missing); where the system has no such folder,
// FOLDERID_UserProgramFiles is the local application data folder's
// "Programs", as Windows itself lays it out. |csidl| serves only where
// SHGetKnownFolderPath does not exist.
bool GetKnownFolderPath(REFKNOWNFOLDERID folder_id,
                        int csidl,
                        base::FilePath* path,
                        bool create);

// What GrantAccess saves so that a temporary grant can be undone. Destroying
// it frees the saved descriptor without restoring anything.
struct SavedSecurityInfo {
  SavedSecurityInfo();
  SavedSecurityInfo(const SavedSecurityInfo&) = delete;
  SavedSecurityInfo& operator=(const SavedSecurityInfo&) = delete;
  ~SavedSecurityInfo();

  std::wstring object_path;
  SE_OBJECT_TYPE object_type = SE_UNKNOWN_OBJECT_TYPE;
  // The DACL before the grant; points into |descriptor|. Null when the
  // object had a null DACL.
  PACL old_dacl = nullptr;
  // The owner to give back, when the grant had to take ownership to write
  // the DACL; points into |descriptor|. Null otherwise.
  PSID old_owner = nullptr;
  ScopedSecurityDescriptor descriptor;
};

// Whether the process's token is granted the whole |desired_access| (generic
// rights allowed) on the object. False also when the descriptor cannot be
// read or the type is not a file or registry key.
bool CheckAccess(const std::wstring& object_path,
                 SE_OBJECT_TYPE object_type,
                 ACCESS_MASK desired_access);
// Makes BUILTIN\Administrators the object's owner, with the take-ownership
// privilege enabled around the change (it needs an administrator).
bool TakeOwnership(const std::wstring& object_path, SE_OBJECT_TYPE object_type);
// Grants the current user |access_mask| on the object, inherited by
// everything below it, and removes those rights from the object's explicit
// deny entries that apply to the user. Where the DACL cannot be read or
// written, ownership is taken first (and stays taken when the grant then
// fails). Unless |permanent|, |*saved| receives what RestoreSecurity needs
// to undo the grant; it is cleared first in every case. On failure the
// object's DACL is unchanged. An object with a null DACL already grants
// everything: it is left alone and counts as success.
bool GrantAccess(const std::wstring& object_path,
                 SE_OBJECT_TYPE object_type,
                 ACCESS_MASK access_mask,
                 bool permanent,
                 std::unique_ptr<SavedSecurityInfo>* saved);
// Writes the saved DACL back (and the saved owner, when ownership was
// taken) and destroys the record. False when there is no record or the DACL
// cannot be written.
bool RestoreSecurity(std::unique_ptr<SavedSecurityInfo>* saved);
// Adds an entry granting BUILTIN\Administrators GENERIC_ALL to the DACL of
// the kernel object |event| (a handle with READ_CONTROL and WRITE_DAC),
// through the handle itself: before Windows Vista an elevated process runs
// as another account, which the user's default DACL of a new object does
// not admit. An object with a null DACL admits everyone already and is left
// alone. False (logged) on failure.
bool FixEventACL(HANDLE event);
// |dacl| with an entry more that grants |access| to the well-known group
// |group|, inherited by nothing, into |*result|: the Win32 error of
// SetEntriesInAclW, |*result| left alone unless ERROR_SUCCESS.
DWORD AddGroupGrant(PACL dacl,
                    PSID group,
                    ACCESS_MASK access,
                    ScopedAcl* result);

// Shortcuts and pins. COM must be initialised on the thread.

// The identity of the file or folder |path|: two paths name the same file
// when volume serial number and file index agree (IsSameFile).
bool GetFileIdentity(base::FilePath path, BY_HANDLE_FILE_INFORMATION* info);
bool IsSameFile(const BY_HANDLE_FILE_INFORMATION& a,
                const BY_HANDLE_FILE_INFORMATION& b);
// Whether the shortcut points at |exe_path|: by its text ignoring case, or,
// when |exe_identity| is given, by naming the same file.
bool IsOurShortcut(const base::FilePath& shortcut_path,
                   const base::FilePath& exe_path,
                   const BY_HANDLE_FILE_INFORMATION* exe_identity);
// Appends to |pinned_paths| every taskbar pin (a .lnk in DIR_TASKBAR_PINS)
// that points at |exe_path| as IsOurShortcut tells.
void FindTaskbarPin(base::FilePath exe_path,
                    const BY_HANDLE_FILE_INFORMATION* exe_identity,
                    std::vector<base::FilePath>* pinned_paths);
// The target stored in the shortcut |shortcut_path|, read through its item
// id list where the stored path text lost letters, when it lies below
// |folder|, whether or not it exists; false otherwise.
bool GetShortcutTargetInFolder(const base::FilePath& shortcut_path,
                               const base::FilePath& folder,
                               base::FilePath* target);
// Appends to |pinned_paths| every taskbar pin whose stored target lies below
// |folder|, whether or not it exists.
void FindTaskbarPinsInFolder(const base::FilePath& folder,
                             std::vector<base::FilePath>* pinned_paths);

// Names, paths and keys.

// Whether |path| is a usable absolute Win32 path: a drive ("C:", "C:\...")
// or a UNC share ("\\server\share\..."), shorter than 248 characters for a
// folder and 260 for a file, with no component holding a control character
// or one of ?"<>*|:, starting with a space, ending with a space or a period,
// or named like the devices CON, AUX, PRN, NUL, COM1-4 and LPT1-3 (with or
// without an extension). Relative paths are refused: they would resolve
// against whatever the current folder of the installer process is.
bool IsValidWin32Path(const base::FilePath& path, bool is_folder);

// The text by which a path takes part in the names of kernel objects and
// mailslots, the same for every way of writing one folder: made absolute,
// "." and ".." resolved, "/" turned into "\", and its existing part in the
// spelling the file system keeps for it (long names in their stored case;
// another drive letter for the same place, a substituted drive and a
// junction resolved to the folder they reach); the part that does not exist
// yet (a folder before its install) as written. No trailing separator (a
// root keeps its own: "C:\"). For an existing C:\Apps\Browser,
// "c:\APPS\browser\" and "C:/Apps/./Browser" both give "C:\Apps\Browser".
// A text longer than |max_length| (at least 32) is cut and ends in "~" and
// 16 hexadecimal digits of a hash of the whole text, so that it stays
// distinct.
//
//   // A mailslot per install folder, its name within MAX_PATH:
//   const std::wstring prefix = L"\\\\.\\mailslot\\kelvo_installer\\";
//   std::wstring name =
//       prefix + GetCanonicalPathText(folder, MAX_PATH - prefix.size());
std::wstring GetCanonicalPathText(const base::FilePath& path,
                                  size_t max_length);
// "Global\" (|global|) or "Local\", |base_name|, "/" and the canonical text
// of |path| with "/" for every "\": base "KelvoInstaller/PackageReady" and
// C:\Apps\Browser give "Global\KelvoInstaller/PackageReady/C:/Apps/Browser",
// as installers of other versions and the browser name the object. The whole
// name stays within the MAX_PATH characters that Windows accepts for a
// kernel object; a longer path takes the hashed form above.
std::wstring MakeKernelObjectName(const base::FilePath& path,
                                  const std::wstring& base_name,
                                  bool global);
// MakeKernelObjectName with the folder's text in upper case as Windows
// compares file names: one name for every spelling of a folder also while
// the folder does not exist yet, where no spelling on disk decides. Only
// for objects that this version alone names.
std::wstring MakeCaseBlindKernelObjectName(const base::FilePath& path,
                                           const std::wstring& base_name,
                                           bool global);

// The branding's file name base followed by ".exe".
std::string GetProductExeName();
// Whether |path| is a PE image; |*is_64_bit| is then whether its machine is
// other than x86. Headers that lie outside the file give false.
bool GetExecutableIs64Bit(const base::FilePath& path, bool* is_64_bit);
// "Nightly", "Developer", "Next" or "Stable" for the stream numbers 1 to 4;
// this build's stream ("developer") for any other.
std::string GetStreamName(int stream);
// GetStreamName of this build's channel.
std::string GetCurrentStreamName();
// The browser's user-data folder of |channel| when nothing says otherwise:
// the branding's profile template, with the stream name filled in, below
// the roaming application data. False when that folder is unknown.
bool GetBrandedUserDataDir(int channel, base::FilePath* path);
// "Software\" followed by the branding's company name.
std::wstring GetProductRegistryKey();
// "Software\Microsoft\Windows\CurrentVersion\Uninstall"; callers append "\"
// and the entry's name.
std::wstring GetUninstallRegistryKey();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_UTILS_H_
