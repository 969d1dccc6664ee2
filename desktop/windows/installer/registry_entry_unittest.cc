// Registry rows: template expansion, the rules that skip a row, the
// operation a row becomes, and what it records in the install log.

#include "desktop/windows/installer/registry_entry.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/win/registry.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/template_resolver.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/test/machine_snapshot.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "desktop/windows/installer/version_info.h"
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
    if (!recording)
      return nullptr;
    return root == HKEY_LOCAL_MACHINE ? &hklm : &hkcu;
  }

  std::map<std::wstring, std::wstring> values = {
      {L"InstallFolder", L"C:\\Apps\\Kelvo"},
      {L"Product", L"Kelvo"},
      {L"Stream", L"Developer"},
  };
  bool recording = true;
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
  test::ScopedLogCapture log_;
};

TEST_F(RegistryEntryTest, ExpandTemplate) {
  EXPECT_EQ(L"C:\\Apps\\Kelvo\\Launcher.exe,0",
            Expand(L"{InstallFolder}\\Launcher.exe,0"));
  EXPECT_EQ(L"KelvoDeveloper", Expand(L"{Product}{Stream}"));
  EXPECT_EQ(L"\"C:\\Apps\\Kelvo\" Kelvo",
            Expand(L"\"{InstallFolder}\" {Product}"));
  // The installer's resolver answers an unknown name with the name.
  EXPECT_EQ(L"Unknown", Expand(L"{Unknown}"));
  EXPECT_EQ(L"plain", Expand(L"plain"));
  EXPECT_EQ(L"{unclosed", Expand(L"{unclosed"));
  EXPECT_EQ(L"closed} {open", Expand(L"closed} {open"));
  // The name runs from the first "{" to the next "}".
  EXPECT_EQ(L"a{bc", Expand(L"a{{b}c"));
  EXPECT_EQ(L"", Expand(L""));
  EXPECT_EQ(L"", Expand(nullptr));
}

TEST_F(RegistryEntryTest, InsertedValuesAreNotExpandedAgain) {
  resolver_.values[L"InstallFolder"] = L"D:\\{Apps}";
  resolver_.values[L"Apps"] = L"wrong";
  EXPECT_EQ(L"D:\\{Apps}\\Launcher.exe",
            Expand(L"{InstallFolder}\\Launcher.exe"));
  // A value naming its own placeholder ends too.
  resolver_.values[L"InstallFolder"] = L"C:\\{InstallFolder}";
  EXPECT_EQ(L"C:\\{InstallFolder} C:\\{InstallFolder}",
            Expand(L"{InstallFolder} {InstallFolder}"));
}

TEST_F(RegistryEntryTest, RowsThatDoNotApplyYieldNoOperation) {
  const int version = base::win::GetVersion();
  RegistryRow row = Row(L"Software\\{Product}", L"V", REG_DWORD, {.number = 1});

  row.root = HKEY_CURRENT_USER;
  EXPECT_FALSE(Create(row, HKEY_LOCAL_MACHINE));
  EXPECT_TRUE(Create(row, HKEY_CURRENT_USER));
  row.root = nullptr;
  EXPECT_TRUE(Create(row, HKEY_LOCAL_MACHINE));

  row.min_windows_version = version + 1;
  EXPECT_FALSE(Create(row));
  row.min_windows_version = version;
  EXPECT_TRUE(Create(row));

  row.min_channel = GetChannel() + 1;
  EXPECT_FALSE(Create(row));
  row.min_channel = GetChannel();
  EXPECT_TRUE(Create(row));
  row.min_channel = 0;
  EXPECT_TRUE(Create(row));

  // Only rows that applied were recorded: one under HKLM, four under HKCU.
  ASSERT_EQ(1u, resolver_.hklm.size());
  ASSERT_EQ(1u, resolver_.hkcu.size());
  EXPECT_EQ(4u, resolver_.hkcu[0].values.size());
}

TEST_F(RegistryEntryTest, UnsupportedTypeClearsTheOperationAndFails) {
  for (uint32_t type : {static_cast<uint32_t>(REG_MULTI_SZ),
                        static_cast<uint32_t>(REG_QWORD), 0xFFFFFFFDu}) {
    std::unique_ptr<Operation> operation = Create(Row(L"a\\b", L"v", REG_NONE));
    ASSERT_TRUE(operation);
    EXPECT_FALSE(RegistryEntry(Row(L"a\\b", L"v", type), &resolver_)
                     .CreateOperation(HKEY_CURRENT_USER, &operation));
    EXPECT_FALSE(operation) << type;
  }
  EXPECT_TRUE(log_.ContainsError("Registry rows cannot hold values of type"));
}

TEST_F(RegistryEntryTest, MarkersBecomeOperationsWithoutRecords) {
  std::unique_ptr<Operation> operation =
      Create(Row(L"Software\\{Product}", L"V", kRegistryRowDeleteKey));
  EXPECT_TRUE(dynamic_cast<DeleteRegKeyOperation*>(operation.get()));
  operation =
      Create(Row(L"Software\\{Product}", L"V", kRegistryRowRemoveValue));
  EXPECT_TRUE(dynamic_cast<ChangeRegValueOperation*>(operation.get()));
  EXPECT_THAT(resolver_.hkcu, IsEmpty());
}

TEST_F(RegistryEntryTest, RecordsEveryValueAsText) {
  RegistryRow text = Row(L"Software\\Classes\\{Product}{Stream}", L"Name",
                         REG_SZ, {.text = L"{Product} \u00e9\u65e5"});
  RegistryRow binary = Row(L"SOFTWARE\\CLASSES\\KelvoDeveloper", L"Bin",
                           REG_BINARY, {.bytes = "\x01\xab"});
  binary.clean_level = 2;
  RegistryRow dword = Row(L"Software\\Classes\\kelvodeveloper", L"{Product}",
                          REG_DWORD, {.number = 1});
  RegistryRow empty = Row(L"Software\\Other", nullptr, REG_SZ, {.text = L""});
  empty.clean_level = 0;
  RegistryRow none = Row(L"Software\\Other", L"None", REG_NONE);
  for (const RegistryRow& row : {text, binary, dword, empty, none})
    ASSERT_TRUE(Create(row));

  // Key paths that differ only in case share the first record, whose clean
  // level rises to the highest.
  EXPECT_THAT(
      resolver_.hkcu,
      ElementsAre(
          Key{2,
              "Software\\Classes\\KelvoDeveloper",
              {Value{"REG_SZ", "Name", "Kelvo \xc3\xa9\xe6\x97\xa5"},
               Value{"REG_BINARY", "Bin", "01,ab"},
               Value{"REG_DWORD", "Kelvo", "00000001"}}},
          Key{1,
              "Software\\Other",
              {Value{"REG_SZ", "", ""}, Value{"REG_NONE", "None", ""}}}));
  EXPECT_THAT(resolver_.hklm, IsEmpty());

  resolver_.recording = false;
  ASSERT_TRUE(Create(text, HKEY_LOCAL_MACHINE));
  EXPECT_THAT(resolver_.hklm, IsEmpty());
}

TEST(FormatRegValueForRecordTest, LastMatchingRecordTakesTheValue) {
  std::vector<Key> keys = {{3, "a\\b", {}}, {0, "x\\y", {}}, {1, "A\\B", {}}};
  const DWORD number = 0xdeadbeef;
  FormatRegValueForRecord(&keys, L"a\\B", L"V", &number, REG_DWORD,
                          sizeof(number), 2);
  EXPECT_EQ(3, keys[0].clean_level);
  EXPECT_THAT(keys[0].values, IsEmpty());
  EXPECT_EQ(2, keys[2].clean_level);
  EXPECT_THAT(keys[2].values, ElementsAre(Value{"REG_DWORD", "V", "deadbeef"}));

  // A lower level leaves the record's own; an unknown path is appended.
  FormatRegValueForRecord(&keys, L"A\\B", L"W", nullptr, REG_BINARY, 0, 1);
  EXPECT_EQ(2, keys[2].clean_level);
  EXPECT_THAT(keys[2].values.back(), Value({"REG_BINARY", "W", ""}));
  FormatRegValueForRecord(&keys, L"new\\key", L"Q", nullptr, REG_QWORD, 0, 4);
  ASSERT_EQ(4u, keys.size());
  EXPECT_EQ((Key{4, "new\\key", {Value{"REG_QWORD", "Q", ""}}}), keys[3]);
}

TEST_F(RegistryEntryTest, RowsWriteTheirDataIntoTheRegistry) {
  test::ScopedTestRegistryKey key(HKEY_CURRENT_USER);
  test::SnapshotScope scope;
  scope.keys.push_back({HKEY_CURRENT_USER, key.path()});
  const test::MachineSnapshot before = test::TakeSnapshot(scope);
  resolver_.values[L"Key"] = key.Append(L"Written");

  const RegistryRow rows[] = {
      Row(L"{Key}", L"Command", REG_SZ,
          {.text = L"\"{InstallFolder}\\Launcher.exe\" \"%1\""}),
      Row(L"{Key}", L"Expand", REG_EXPAND_SZ, {.text = L"%TEMP%"}),
      Row(L"{Key}", L"Empty", REG_SZ, {.text = L"{Nothing}"}),
      Row(L"{Key}", L"Flag", REG_DWORD, {.number = 0x20}),
      Row(L"{Key}", L"Bytes", REG_BINARY, {.bytes = "ab"}),
      Row(L"{Key}", L"{Product}{Stream}", REG_NONE),
  };
  resolver_.values[L"Nothing"] = L"";
  Transaction transaction;
  for (const RegistryRow& row : rows)
    ASSERT_TRUE(transaction.Execute(Create(row)));

  base::win::RegKey written(HKEY_CURRENT_USER, key.Append(L"Written").c_str(),
                            KEY_QUERY_VALUE);
  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValue(L"Command", &text));
  EXPECT_EQ(L"\"C:\\Apps\\Kelvo\\Launcher.exe\" \"%1\"", text);
  DWORD number = 0;
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValueDW(L"Flag", &number));
  EXPECT_EQ(0x20u, number);
  BYTE bytes[8];
  DWORD size = sizeof(bytes);
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValue(L"Bytes", bytes, &size, &type));
  EXPECT_EQ(REG_BINARY, type);
  EXPECT_EQ(std::string("ab"), std::string(bytes, bytes + size));
  // An empty expansion is a value of no bytes, without even a NUL.
  size = sizeof(bytes);
  EXPECT_EQ(ERROR_SUCCESS, written.ReadValue(L"Empty", bytes, &size, &type));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(0u, size);
  size = sizeof(bytes);
  EXPECT_EQ(ERROR_SUCCESS,
            written.ReadValue(L"KelvoDeveloper", bytes, &size, &type));
  EXPECT_EQ(REG_NONE, type);
  EXPECT_EQ(0u, size);
  written.Close();

  transaction.Rollback();
  EXPECT_TRUE(test::SnapshotsEqual(before, test::TakeSnapshot(scope)));
}

}  // namespace
}  // namespace installer
