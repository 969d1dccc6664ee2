#include "desktop/windows/installer/ui/installer_ui_lock.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

constexpr wchar_t kLockFileName[] = L"installer.lck";

BOOL CALLBACK FindShownWindow(HWND window, LPARAM found) {
  if (::IsWindowEnabled(window) && ::IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

InstallerUILock::InstallerUILock() = default;

InstallerUILock::~InstallerUILock() = default;

DWORD InstallerUILock::Acquire(const base::FilePath& download_folder) {
  LOG(INFO) << "Getting installer UI mutex";
  const std::wstring name =
      L"Local\\" + base::UTF8ToWide(GetProductName()) + L"/Installer/UI_lock";
  base::win::ScopedHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex.IsValid()) {
    PLOG(WARNING) << "Failed to create installer UI mutex.";
    return 0;
  }
  // An instance that hangs while holding the mutex must not keep this one
  // waiting for ever; an abandoned mutex is ours all the same.
  const DWORD wait = ::WaitForSingleObject(
      mutex.Get(), static_cast<DWORD>(kMutexTimeout.InMilliseconds()));
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    LOG(WARNING) << "Timed out waiting for the installer UI mutex";
    return 0;
  }
  const DWORD owner =
      CreateOrReadLockFile(download_folder.Append(kLockFileName));
  ::ReleaseMutex(mutex.Get());
  return owner;
}

DWORD InstallerUILock::CreateOrReadLockFile(const base::FilePath& path) {
  file_.Set(::CreateFileW(path.value().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                          nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                          nullptr));
  if (file_.IsValid()) {
    DWORD thread_id = ::GetCurrentThreadId();
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), &thread_id, sizeof(thread_id), &written,
                     nullptr) ||
        written != sizeof(thread_id)) {
      PLOG(WARNING) << "Could not write the installer UI lock file";
    }
    VLOG(1) << "Obtained installer UI lock";
    return thread_id;
  }
  VLOG(1) << "Didn't obtain installer UI lock";
  base::win::ScopedHandle existing(
      ::CreateFileW(path.value().c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD thread_id = 0;
  DWORD read = 0;
  if (!existing.IsValid() ||
      !::ReadFile(existing.Get(), &thread_id, sizeof(thread_id), &read,
                  nullptr) ||
      read != sizeof(thread_id)) {
    LOG(WARNING) << "Existing installer UI lock file is invalid";
    return 0;
  }
  return thread_id;
}

void InstallerUILock::Release() {
  file_.Close();
}

// static
bool InstallerUILock::BringThreadWindowToFront(DWORD thread_id) {
  HWND found = nullptr;
  ::EnumThreadWindows(thread_id, &FindShownWindow,
                      reinterpret_cast<LPARAM>(&found));
  return found && ::SetForegroundWindow(found);
}

}  // namespace installer
