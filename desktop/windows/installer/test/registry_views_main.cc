// Checks that the test suite leaves the registry of the shared Wine prefix as
// it found it, in both registry views:
//
//   registry_views_check.exe save FILE      before the first test
//   registry_views_check.exe compare FILE   after the last one
//
// Every later run in the prefix sees what a test leaves behind: an uninstall
// entry left over gives the next install a suffixed entry name, a class left
// over makes the browser look registered. The keys looked at are those the
// installer's tables, its tests and the product write, under the current
// user and the machine. "compare" prints every key and value that was added,
// removed or changed and exits with 1 then; 2 means a bad command line or an
// unreadable file.

#include <windows.h>

#include <stdio.h>

#include <set>
#include <span>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/template_resolver.h"
#include "desktop/windows/installer/test/machine_snapshot.h"

namespace installer {
namespace test {
namespace {

constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

// The class keys ("Software\Classes\X") that the rows of |rows| write.
void AddClassKeys(std::span<const RegistryRow> rows,
                  RowTemplates* templates,
                  std::set<std::wstring>* keys) {
  for (const RegistryRow& row : rows) {
    const std::wstring key =
        RegistryEntry(row, templates).ExpandTemplate(row.key);
    if (!base::StartsWith(key, kClassesKey,
                          base::CompareCase::INSENSITIVE_ASCII)) {
      continue;
    }
    const size_t end = key.find(L'\\', wcslen(kClassesKey));
    keys->insert(key.substr(0, end));
  }
}

SnapshotScope GetScope() {
  std::set<std::wstring> keys = {
      L"Software\\Clients\\StartMenuInternet",
      L"Software\\RegisteredApplications",
      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags",
      L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations",
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts",
      GetUninstallRegistryKey(),
      L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" +
          base::ASCIIToWide(GetProductExeName()),
      GetProductRegistryKey(),
      L"Software\\KelvoTest",
  };
  RowTemplates templates(base::FilePath(L"C:\\Kelvo"));
  AddClassKeys(GetMainRegistryTable(), &templates, &keys);
  AddClassKeys(GetUrlClassRows(), &templates, &keys);
  for (size_t i = 0; i < kBrowserAssociationCount; ++i) {
    templates.set_association(kBrowserAssociations[i]);
    AddClassKeys(GetProtocolRows(), &templates, &keys);
    AddClassKeys(GetFileTypeRows(), &templates, &keys);
  }
  SnapshotScope scope;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const std::wstring& key : keys)
      scope.keys.push_back({root, key});
  }
  return scope;
}

// One line per entry: its name and its state, separated by a tab.
std::string Serialize(const MachineSnapshot& snapshot) {
  std::string text;
  for (const auto& [name, state] : snapshot)
    text += base::WideToUTF8(name) + "\t" + state + "\n";
  return text;
}

bool Parse(const std::string& text, MachineSnapshot* snapshot) {
  for (const std::string& line : base::SplitString(
           text, "\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos)
      return false;
    (*snapshot)[base::UTF8ToWide(line.substr(0, tab))] = line.substr(tab + 1);
  }
  return true;
}

int Run(const base::CommandLine& command_line) {
  const base::CommandLine::StringVector args = command_line.GetArgs();
  if (args.size() != 2)
    return 2;
  const base::FilePath file(args[1]);
  const MachineSnapshot now = TakeSnapshot(GetScope());
  if (args[0] == L"save") {
    const std::string text = Serialize(now);
    const int size = static_cast<int>(text.size());
    return base::WriteFile(file, text.data(), size) == size ? 0 : 2;
  }
  if (args[0] != L"compare")
    return 2;
  std::string text;
  MachineSnapshot before;
  if (!base::ReadFileToString(file, &text) || !Parse(text, &before))
    return 2;
  const ::testing::AssertionResult equal = SnapshotsEqual(before, now);
  if (equal)
    return 0;
  fprintf(stderr, "The tests changed the registry: %s\n", equal.message());
  return 1;
}

}  // namespace
}  // namespace test
}  // namespace installer

int wmain(int argc, wchar_t** argv) {
  base::AtExitManager at_exit;
  base::CommandLine::Init(0, nullptr);
  return installer::test::Run(*base::CommandLine::ForCurrentProcess());
}
