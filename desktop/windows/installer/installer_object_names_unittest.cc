#include "desktop/windows/installer/installer_object_names.h"

#include <windows.h>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/ipc/ipc_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Installers of other versions meet this one under these names: the folder
// as written (it does not exist here), separators turned.
TEST(InstallerObjectNamesTest, NamesOfAFolder) {
  const InstallerObjectNames names =
      InstallerObjectNames::ForFolder(base::FilePath(L"C:\\Apps\\Kelvo\\"));
  EXPECT_EQ(L"Global\\Kelvo/Installer/C:/Apps/Kelvo", names.mutex);
  EXPECT_EQ(L"kelvo_installer\\C:\\Apps\\Kelvo", names.mailslot_endpoint);
  EXPECT_EQ(L"Global\\KelvoInstaller/PackageReady/C:/Apps/Kelvo",
            names.package_ready_event);
  EXPECT_EQ(L"Global\\KelvoInstaller/InstallationInterrupted/C:/Apps/Kelvo",
            names.interrupted_event);
  EXPECT_EQ(L"Local\\KelvoInstaller/GiveInstallPermission/C:/Apps/Kelvo",
            names.give_permission_event);
  EXPECT_EQ(L"Local\\KelvoInstaller/GiveInstallPermission/Undo/C:/Apps/Kelvo",
            names.give_permission_undo_event);
  // This version's own lock spells every folder alike, made yet or not.
  EXPECT_EQ(L"Global\\KelvoInstaller/FolderLock/C:/APPS/KELVO",
            names.folder_lock);
  EXPECT_EQ(names.folder_lock,
            InstallerObjectNames::ForFolder(base::FilePath(L"c:/apps/kelvo"))
                .folder_lock);
}

TEST(InstallerObjectNamesTest, DeepFoldersStayWithinTheLimitAndApart) {
  const std::wstring deep =
      L"C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b');
  const InstallerObjectNames x =
      InstallerObjectNames::ForFolder(base::FilePath(deep + L"\\x"));
  const InstallerObjectNames y =
      InstallerObjectNames::ForFolder(base::FilePath(deep + L"\\y"));
  EXPECT_EQ(static_cast<size_t>(MAX_PATH),
            GetMailslotFullName(x.mailslot_endpoint).size());
  for (const std::wstring* name :
       {&x.mutex, &x.folder_lock, &x.give_permission_undo_event})
    EXPECT_EQ(static_cast<size_t>(MAX_PATH), name->size());
  EXPECT_EQ(0u, x.mutex.find(L"Global\\Kelvo/Installer/C:/aaaa"));
  // Windows takes a name of that length.
  base::win::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, FALSE, x.mutex.c_str()));
  EXPECT_TRUE(event.IsValid()) << ::GetLastError();
  EXPECT_NE(x.mailslot_endpoint, y.mailslot_endpoint);
  EXPECT_NE(x.mutex, y.mutex);
  EXPECT_NE(x.folder_lock, y.folder_lock);
}

}  // namespace
}  // namespace installer
