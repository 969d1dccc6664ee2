// The state of chosen parts of the machine, taken before and after a change
// that should leave no trace: every file and folder below some folders
// (attributes, size, time of last write, SHA-256 of the content) and every
// key below some registry keys in both registry views (DACL, values with
// their types and data).
//
//   SnapshotScope scope;
//   scope.folders.push_back(temp_dir.GetPath());
//   scope.keys.push_back({HKEY_LOCAL_MACHINE, L"Software\\KelvoTest\\T"});
//   MachineSnapshot before = TakeSnapshot(scope);
//   ... a transaction fails and is rolled back ...
//   EXPECT_TRUE(SnapshotsEqual(before, TakeSnapshot(scope)));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_MACHINE_SNAPSHOT_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_MACHINE_SNAPSHOT_H_

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

struct SnapshotScope {
  struct Key {
    HKEY root;  // HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
    std::wstring path;
  };

  SnapshotScope();
  SnapshotScope(const SnapshotScope&);
  ~SnapshotScope();

  // Each folder with everything below it.
  std::vector<base::FilePath> folders;
  // Each key with everything below it, in the 64-bit and the 32-bit view.
  std::vector<Key> keys;
};

// One entry per file, folder, key and value, by a name such as
// "file C:\dir\a.txt" or "value HKLM32\Software\X : Name", each with a text
// describing its state.
using MachineSnapshot = std::map<std::wstring, std::string>;

MachineSnapshot TakeSnapshot(const SnapshotScope& scope);

// Succeeds when both hold the same entries in the same states; the failure
// lists every entry that was added, removed or changed.
::testing::AssertionResult SnapshotsEqual(const MachineSnapshot& before,
                                          const MachineSnapshot& after);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_MACHINE_SNAPSHOT_H_
