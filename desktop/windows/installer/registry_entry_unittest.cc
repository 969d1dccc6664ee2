// Registry rows: template expansion, the rules that skip a row, the
// operation a row becomes, and what it records in the install log.

#include "desktop/windows/installer/registry_entry.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/test/scoped_log_capture.h"
#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/template_resolver.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

using Key = InstallLog::RegistryKey;
using Value = InstallLog::RegistryValue;

// Answers a name it does not know with the name, as the installer does.
class FakeResolver : public TemplateResolver {
 public:
  std::wstring Lookup(const std::wstring& name) const override {
    auto it = values.find(name);
    return it == values.end() ? name : it->second;
  }

  std::vector<Key>* GetRegistryRecord(HKEY root) override {
    return root == HKEY_LOCAL_MACHINE ? &hklm : &hkcu;
  }

  std::map<std::wstring, std::wstring> values = {
      {L"InstallFolder", L"C:\\Apps\\Kelvo"},
      {L"Product", L"Kelvo"},
      {L"Stream", L"Developer"},
  };
  std::vector<Key> hklm;
  std::vector<Key> hkcu;
};

RegistryRow Row(const wchar_t* key,
                const wchar_t* value_name,
                uint32_t type,
                RegistryRowData data = {.text = nullptr}) {
  return {key, value_name, type, data, base::win::VERSION_XP, nullptr, 0, 1, 0};
}

class RegistryEntryTest : public testing::Test {
 protected:
  std::wstring Expand(const wchar_t* text) {
    return RegistryEntry(Row(L"k", nullptr, REG_SZ), &resolver_)
        .ExpandTemplate(text);
  }

  // The row's operation under |root|, or null.
  std::unique_ptr<Operation> Create(const RegistryRow& row,
                                    HKEY root = HKEY_CURRENT_USER) {
    std::unique_ptr<Operation> operation;
    EXPECT_TRUE(
        RegistryEntry(row, &resolver_).CreateOperation(root, &operation));
    return operation;
  }

  FakeResolver resolver_;
  base::ScopedLogCapture log_;
};

TEST_F(RegistryEntryTest, ExpandTemplate) {
  EXPECT_EQ(L"\"C:\\Apps\\Kelvo\" KelvoDeveloper",
            Expand(L"\"{InstallFolder}\" {Product}{Stream}"));
  // The installer's resolver answers an unknown name with the name.
  EXPECT_EQ(L"Unknown", Expand(L"{Unknown}"));
  EXPECT_EQ(L"closed} {open", Expand(L"closed} {open"));
  // The name runs from the first "{" to the next "}".
  EXPECT_EQ(L"a{bc", Expand(L"a{{b}c"));
  EXPECT_EQ(L"", Expand(nullptr));
  // Inserted values are not expanded again.
  resolver_.values[L"InstallFolder"] = L"D:\\{Product}";
  EXPECT_EQ(L"D:\\{Product}\\Launcher.exe",
            Expand(L"{InstallFolder}\\Launcher.exe"));
}

TEST_F(RegistryEntryTest, RowsThatDoNotApplyYieldNoOperation) {
  RegistryRow row = Row(L"Software\\{Product}", L"V", REG_DWORD, {.number = 1});
  row.root = HKEY_CURRENT_USER;
  EXPECT_FALSE(Create(row, HKEY_LOCAL_MACHINE));
  row.root = nullptr;
  row.min_windows_version = base::win::GetVersion() + 1;
  EXPECT_FALSE(Create(row));
  row.min_windows_version = base::win::GetVersion();
  row.min_channel = GetChannel() + 1;
  EXPECT_FALSE(Create(row));
  row.min_channel = GetChannel();
  EXPECT_TRUE(Create(row, HKEY_LOCAL_MACHINE));
  // Only the row that applied was recorded.
  ASSERT_EQ(1u, resolver_.hklm.size());
  EXPECT_THAT(resolver_.hkcu, IsEmpty());
}

TEST_F(RegistryEntryTest, UnsupportedTypeClearsTheOperationAndFails) {
  std::unique_ptr<Operation> operation = Create(Row(L"a\\b", L"v", REG_NONE));
  ASSERT_TRUE(operation);
  EXPECT_FALSE(RegistryEntry(Row(L"a\\b", L"v", REG_MULTI_SZ), &resolver_)
                   .CreateOperation(HKEY_CURRENT_USER, &operation));
  EXPECT_FALSE(operation);
  EXPECT_TRUE(log_.ContainsError("Registry rows cannot hold values of type"));
}

TEST_F(RegistryEntryTest, RecordsEveryValueAsText) {
  RegistryRow text = Row(L"Software\\Classes\\{Product}{Stream}", L"Name",
                         REG_SZ, {.text = L"{Product} \u00e9\u65e5"});
  RegistryRow binary = Row(L"SOFTWARE\\CLASSES\\KelvoDeveloper", L"Bin",
                           REG_BINARY, {.bytes = "\x01\xab"});
  binary.clean_level = 2;
  RegistryRow dword = Row(L"Software\\Classes\\kelvodeveloper", L"{Product}",
                          REG_DWORD, {.number = 1});
  RegistryRow none = Row(L"Software\\Other", L"None", REG_NONE);
  for (const RegistryRow& row : {text, binary, dword, none})
    ASSERT_TRUE(Create(row));

  // Key paths that differ only in case share the first record, whose clean
  // level rises to the highest.
  EXPECT_THAT(
      resolver_.hkcu,
      ElementsAre(Key{2,
                      "Software\\Classes\\KelvoDeveloper",
                      {Value{"REG_SZ", "Name", "Kelvo \xc3\xa9\xe6\x97\xa5"},
                       Value{"REG_BINARY", "Bin", "01,ab"},
                       Value{"REG_DWORD", "Kelvo", "00000001"}}},
                  Key{1, "Software\\Other", {Value{"REG_NONE", "None", ""}}}));
  EXPECT_THAT(resolver_.hklm, IsEmpty());
}

TEST_F(RegistryEntryTest, RowsWriteTheirDataIntoTheRegistry) {
  test::ScopedTestRegistryKey key(HKEY_CURRENT_USER);
  resolver_.values[L"Key"] = key.Append(L"Written");
  resolver_.values[L"Nothing"] = L"";
  const RegistryRow rows[] = {
      Row(L"{Key}", L"Command", REG_SZ,
          {.text = L"\"{InstallFolder}\\Launcher.exe\" \"%1\""}),
      Row(L"{Key}", L"Empty", REG_SZ, {.text = L"{Nothing}"}),
  };
  Transaction transaction;
  for (const RegistryRow& row : rows)
    ASSERT_TRUE(transaction.Execute(Create(row)));

  base::win::RegKey written(HKEY_CURRENT_USER, key.Append(L"Written").c_str(),
                            KEY_QUERY_VALUE);
  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValue(L"Command", &text));
  EXPECT_EQ(L"\"C:\\Apps\\Kelvo\\Launcher.exe\" \"%1\"", text);
  // An empty expansion is a value of no bytes, without even a NUL.
  BYTE bytes[8];
  DWORD size = sizeof(bytes);
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValue(L"Empty", bytes, &size, &type));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(0u, size);
}

}  // namespace
}  // namespace installer
