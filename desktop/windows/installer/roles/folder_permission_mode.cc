#include "desktop/windows/installer/roles/folder_permission_mode.h"

#include <windows.h>

#include <aclapi.h>

#include <initializer_list>
#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/process/process_handle.h"
#include "base/strings/string_number_conversions.h"
#include "base/threading/platform_thread.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installer_object_names.h"
#include "desktop/windows/installer/package_files.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/service/security_access.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

namespace {

// What the package's installer needs to make the grant itself. It gets no
// `wait-for-package`, so it runs the granting variant, and no `initial-pid`:
// it watches this process, which ends when the initial process does.
constexpr const char* kHandedOverSwitches[] = {
    switches::kCrashReporterPid,
    switches::kSetFolderPermission,
    switches::kPermissionsForUser,
    switches::kPermanentPermissions,
};

// Access to a process that is enough to wait for it and to tell its age.
constexpr DWORD kWatchAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

// The result of WaitForFirst when the wait itself failed.
constexpr int kWaitFailed = -1;

base::win::ScopedHandle OpenEvent(const std::wstring& name, DWORD access) {
  base::win::ScopedHandle event(::OpenEventW(access, FALSE, name.c_str()));
  if (!event.IsValid())
    PLOG(ERROR) << "Cannot open the event " << name;
  return event;
}

bool GetCreationTime(HANDLE process, ULARGE_INTEGER* creation_time) {
  FILETIME creation, exit, kernel, user;
  if (!::GetProcessTimes(process, &creation, &exit, &kernel, &user))
    return false;
  creation_time->LowPart = creation.dwLowDateTime;
  creation_time->HighPart = creation.dwHighDateTime;
  return true;
}

// Opens the running process |pid| for watching; not valid when it cannot be
// opened or has ended.
base::Process OpenRunningProcess(base::ProcessId pid) {
  base::Process process = base::Process::OpenWithAccess(pid, kWatchAccess);
  if (!process.IsValid()) {
    PLOG(ERROR) << "Cannot open process " << pid;
    return process;
  }
  if (::WaitForSingleObject(process.Handle(), 0) == WAIT_OBJECT_0) {
    LOG(ERROR) << "Process " << pid << " has ended";
    return base::Process();
  }
  return process;
}

// Whether |process| was started before this process.
bool IsOlderThanThisProcess(const base::Process& process) {
  ULARGE_INTEGER own_creation, creation;
  if (!GetCreationTime(::GetCurrentProcess(), &own_creation) ||
      !GetCreationTime(process.Handle(), &creation)) {
    PLOG(ERROR) << "Cannot read the start time of process " << process.Pid();
    return false;
  }
  return creation.QuadPart <= own_creation.QuadPart;
}

// The initial installer process named by |pid_text|; not valid when the
// text is no process id or the process is gone. (The installer that passes
// the id holds a handle to that process, so the id is not reused.)
base::Process OpenInitialProcess(const std::wstring& pid_text) {
  unsigned pid = 0;
  if (!base::StringToUint(pid_text, &pid) || pid == 0) {
    LOG(ERROR) << "Invalid initial process id \"" << pid_text << "\"";
    return base::Process();
  }
  LOG(INFO) << "Watching the initial installer process " << pid;
  return OpenRunningProcess(pid);
}

// The installer process whose temporary grant this is: the initial process
// when given, else the one that started this process.
base::Process OpenServedProcess(const base::CommandLine& command_line) {
  std::wstring pid_text =
      command_line.GetSwitchValueNative(switches::kInitialPid);
  if (!pid_text.empty())
    return OpenInitialProcess(pid_text);
  base::ProcessId parent =
      base::GetParentProcessId(base::GetCurrentProcessHandle());
  if (parent == base::kNullProcessId) {
    LOG(ERROR) << "Cannot find the process that started this one";
    return base::Process();
  }
  LOG(INFO) << "Watching the parent installer process " << parent;
  base::Process process = OpenRunningProcess(parent);
  // The snapshot keeps the id of a parent that has ended, and a younger
  // process may have been given that id since.
  if (process.IsValid() && !IsOlderThanThisProcess(process)) {
    LOG(ERROR) << "The parent process has ended; process " << parent
               << " is another one";
    return base::Process();
  }
  return process;
}

// Waits without time limit for the first of |handles| to be signalled and
// returns its index (the lowest when several are), or kWaitFailed.
int WaitForFirst(std::initializer_list<HANDLE> handles) {
  DWORD count = static_cast<DWORD>(handles.size());
  DWORD result =
      ::WaitForMultipleObjects(count, handles.begin(), FALSE, INFINITE);
  if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count)
    return static_cast<int>(result - WAIT_OBJECT_0);
  PLOG(ERROR) << "Waiting failed with result " << result;
  return kWaitFailed;
}

// ----------------------------------------------------------------------------
// Waiting variant.

// Starts the package's installer with the switches of the grant and waits
// until it ends, or until the initial process does.
void RunPackageInstaller(const base::CommandLine& command_line,
                         const base::Process& initial_process) {
  base::CommandLine installer(
      command_line.GetSwitchValuePath(switches::kWaitForPackage)
          .Append(kPackageInstallerExeName));
  for (const char* name : kHandedOverSwitches) {
    if (command_line.HasSwitch(name))
      installer.AppendSwitchNative(name,
                                   command_line.GetSwitchValueNative(name));
  }
  LOG(INFO) << "Running the package's installer: "
            << installer.GetCommandLineString();
  base::Process process = base::LaunchProcess(installer, base::LaunchOptions());
  if (!process.IsValid()) {
    LOG(ERROR) << "Cannot start the package's installer";
    return;
  }
  switch (WaitForFirst({process.Handle(), initial_process.Handle()})) {
    case 0: {
      int exit_code = -1;
      process.WaitForExitWithTimeout(base::TimeDelta(), &exit_code);
      LOG(INFO) << "The package's installer ended with exit code " << exit_code;
      break;
    }
    case 1:
      // The package's installer watches this process and undoes its grant
      // when it ends.
      LOG(WARNING) << "The initial installer process ended while the "
                   << "package's installer runs; not waiting for it";
      break;
    default:
      break;
  }
}

void RunWaitingVariant(const base::CommandLine& command_line,
                       const base::FilePath& folder) {
  std::wstring pid_text =
      command_line.GetSwitchValueNative(switches::kInitialPid);
  if (pid_text.empty()) {
    LOG(ERROR) << "Waiting for the package needs the initial process id";
    return;
  }
  base::Process initial_process = OpenInitialProcess(pid_text);
  const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
  base::win::ScopedHandle ready =
      OpenEvent(names.package_ready_event, SYNCHRONIZE);
  base::win::ScopedHandle interrupted =
      OpenEvent(names.interrupted_event, SYNCHRONIZE);
  if (!initial_process.IsValid() || !ready.IsValid() || !interrupted.IsValid())
    return;
  switch (WaitForFirst(
      {ready.Get(), interrupted.Get(), initial_process.Handle()})) {
    case 0:
      LOG(INFO) << "The package is ready";
      RunPackageInstaller(command_line, initial_process);
      break;
    case 1:
      LOG(INFO) << "The installation was interrupted; not waiting for the "
                << "package";
      break;
    case 2:
      LOG(WARNING) << "The initial installer process ended before the "
                   << "package was ready";
      break;
    default:
      break;
  }
}

// ----------------------------------------------------------------------------
// Granting variant.

// The folder's DACL as it was before the grant.
struct SavedDacl {
  ScopedSecurityDescriptor descriptor;
  // Points into |descriptor|; null for a null DACL (or no descriptor).
  PACL dacl = nullptr;
};

bool ReadFolderDacl(const base::FilePath& folder, SavedDacl* saved) {
  DWORD error = SecurityAccess::GetInstance()->ReadSecurity(
      folder.value(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
      &saved->descriptor);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot read the access list of " << folder << ": "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (saved->descriptor &&
      !::GetSecurityDescriptorDacl(saved->descriptor.get(), &present,
                                   &saved->dacl, &defaulted)) {
    PLOG(ERROR) << "Cannot read the access list of " << folder;
    return false;
  }
  if (!present)
    saved->dacl = nullptr;
  return true;
}

bool WriteFolderDacl(const base::FilePath& folder, const ACL* dacl) {
  DWORD error = SecurityAccess::GetInstance()->WriteDacl(folder.value(),
                                                         SE_FILE_OBJECT, dacl);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot write the access list of " << folder << ": "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  return true;
}

// Adds to |old_dacl| full access for |user|, inherited by everything in the
// folder, and writes the result to the folder.
bool GrantFullAccess(const base::FilePath& folder,
                     PACL old_dacl,
                     const std::wstring& user) {
  EXPLICIT_ACCESSW entry = {};
  ::BuildExplicitAccessWithNameW(&entry, const_cast<wchar_t*>(user.c_str()),
                                 GENERIC_ALL, GRANT_ACCESS,
                                 SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  PACL raw = nullptr;
  DWORD error = ::SetEntriesInAclW(1, &entry, old_dacl, &raw);
  if (error != ERROR_SUCCESS) {
    LOG(ERROR) << "Cannot build an access list granting " << user << ": "
               << logging::SystemErrorCodeToString(error);
    return false;
  }
  ScopedAcl new_dacl(raw);
  return WriteFolderDacl(folder, new_dacl.get());
}

// Holds a temporary grant until the installer releases it or the process
// served ends.
void WaitForUndo(HANDLE undo_event,
                 const base::Process& served_process,
                 base::TimeDelta undo_delay) {
  switch (WaitForFirst({undo_event, served_process.Handle()})) {
    case 0:
      LOG(INFO) << "The installer is done with the folder";
      base::PlatformThread::Sleep(undo_delay);
      break;
    case 1:
      LOG(WARNING) << "The installer process ended without releasing the "
                   << "folder";
      break;
    default:
      break;
  }
}

void RunGrantingVariant(const base::CommandLine& command_line,
                        const base::FilePath& folder,
                        base::TimeDelta undo_delay) {
  // Opened before anything else, so that the id cannot pass to another
  // process while this one works.
  base::Process served_process = OpenServedProcess(command_line);
  if (!served_process.IsValid())
    return;
  std::wstring user =
      command_line.GetSwitchValueNative(switches::kPermissionsForUser);
  if (user.empty()) {
    LOG(ERROR) << "No account to give access to";
    return;
  }
  const InstallerObjectNames names = InstallerObjectNames::ForFolder(folder);
  base::win::ScopedHandle grant_event =
      OpenEvent(names.give_permission_event, EVENT_ALL_ACCESS);
  base::win::ScopedHandle undo_event =
      OpenEvent(names.give_permission_undo_event, EVENT_ALL_ACCESS);
  if (!grant_event.IsValid() || !undo_event.IsValid())
    return;
  if (!base::CreateDirectory(folder)) {
    PLOG(ERROR) << "Cannot create " << folder;
    return;
  }
  SavedDacl saved;
  if (!ReadFolderDacl(folder, &saved))
    return;
  if (!saved.dacl) {
    // Without a DACL everyone has full access already, and a merged list
    // would hold only the one entry, shutting everybody else out.
    LOG(INFO) << folder << " has no access list; nothing to grant";
    if (!::SetEvent(grant_event.Get()))
      PLOG(ERROR) << "Cannot set the grant event";
    return;
  }
  if (!GrantFullAccess(folder, saved.dacl, user))
    return;
  bool permanent = command_line.HasSwitch(switches::kPermanentPermissions);
  LOG(INFO) << "Gave " << user << " full access to " << folder
            << (permanent ? " permanently" : " temporarily");
  if (!::SetEvent(grant_event.Get())) {
    // The installer never learns of the grant, so nobody would release it.
    PLOG(ERROR) << "Cannot set the grant event; undoing the grant";
    WriteFolderDacl(folder, saved.dacl);
    return;
  }
  if (permanent)
    return;
  WaitForUndo(undo_event.Get(), served_process, undo_delay);
  if (WriteFolderDacl(folder, saved.dacl))
    LOG(INFO) << "Restored the access list of " << folder;
}

}  // namespace

void RunFolderPermissionMode(const base::CommandLine& command_line) {
  RunFolderPermissionMode(command_line, kFolderPermissionUndoDelay);
}

void RunFolderPermissionMode(const base::CommandLine& command_line,
                             base::TimeDelta undo_delay) {
  base::FilePath folder =
      command_line.GetSwitchValuePath(switches::kSetFolderPermission);
  if (folder.empty()) {
    LOG(ERROR) << "No folder to give access to";
    return;
  }
  LOG(INFO) << "Folder permission mode for " << folder;
  if (command_line.HasSwitch(switches::kWaitForPackage))
    RunWaitingVariant(command_line, folder);
  else
    RunGrantingVariant(command_line, folder, undo_delay);
}

}  // namespace installer
