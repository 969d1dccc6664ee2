#include "desktop/windows/crash_reporter/crash_key_table.h"

#include <windows.h>

#include <psapi.h>

#include <string>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/scoped_environment_variable_override.h"
#include "desktop/windows/installer/product/version_info.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

using crash_handler::CustomClientInfo;
using crash_handler::CustomInfoEntry;

struct ModuleRecord {
  std::wstring name;
  std::wstring base;
  std::wstring size;
  std::wstring path;
};

// Splits "name:BASE:size:path::" records; the path may hold ':'.
std::vector<ModuleRecord> ParseRecords(const std::wstring& list) {
  std::vector<ModuleRecord> records;
  size_t position = 0;
  while (position < list.size()) {
    size_t end = list.find(L"::", position);
    std::wstring record = list.substr(position, end - position);
    ModuleRecord parsed;
    size_t first = record.find(L':');
    size_t second = record.find(L':', first + 1);
    size_t third = record.find(L':', second + 1);
    parsed.name = record.substr(0, first);
    parsed.base = record.substr(first + 1, second - first - 1);
    parsed.size = record.substr(second + 1, third - second - 1);
    parsed.path = record.substr(third + 1);
    records.push_back(parsed);
    if (end == std::wstring::npos)
      break;
    position = end + 2;
  }
  return records;
}

std::wstring Value(const CrashKeyTable& table, size_t index) {
  return table.GetCustomClientInfo().entries[index].value;
}

DWORD Protection(const void* address) {
  MEMORY_BASIC_INFORMATION info = {};
  ::VirtualQuery(address, &info, sizeof(info));
  return info.Protect;
}

TEST(CrashKeyTableTest, NamesAndFixedKeys) {
  CrashKeyTable table;
  CustomClientInfo info = table.GetCustomClientInfo();
  ASSERT_EQ(97u, info.count);
  struct {
    size_t index;
    const wchar_t* name;
  } names[] = {
      {0, L"Version"},
      {1, L"build_number"},
      {2, L"BuildID"},
      {3, L"process_type"},
      {4, L"crash_guid"},
      {5, L"URL"},
      {20, L"URL"},
      {21, L"gpu_vendor_id"},
      {25, L"gpu_vertex_shader_version"},
      {26, L"is_wow64"},
      {27, L"exception_policy"},
      {28, L"testrig_test"},
      {31, L"testrig_test"},
      {32, L"origin"},
      {33, L"enabled_extensions"},
      {48, L"enabled_extensions"},
      {49, L"disabled_extensions"},
      {64, L"disabled_extensions"},
      {65, L"blacklisted_extensions"},
      {68, L"blacklisted_extensions"},
      {69, L"terminated_extensions"},
      {72, L"terminated_extensions"},
      {73, L"third_party_installs"},
      {76, L"third_party_installs"},
      {77, L"modules"},
      {92, L"modules"},
      {93, L"ab_tests"},
      {96, L"ab_tests"},
  };
  for (const auto& expected : names)
    EXPECT_STREQ(expected.name, info.entries[expected.index].name)
        << expected.index;

  EXPECT_EQ(base::UTF8ToWide(installer::GetProductVersion()),
            Value(table, CrashKeyTable::kVersion));
  EXPECT_EQ(L"816662", Value(table, CrashKeyTable::kBuildNumber));
  EXPECT_EQ(L"20170312286388", Value(table, CrashKeyTable::kBuildId));
  EXPECT_EQ(L"0", Value(table, CrashKeyTable::kIsWow64));
  EXPECT_EQ(L"", Value(table, CrashKeyTable::kProcessType));
  EXPECT_EQ(L"", Value(table, CrashKeyTable::kModulesFirst));
}

TEST(CrashKeyTableTest, ValuesAreCutToSixtyThreeCharactersAndStayReadOnly) {
  CrashKeyTable table;
  const CustomInfoEntry* entries = table.GetCustomClientInfo().entries;
  EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY), Protection(entries));

  std::wstring text63(63, L'a');
  table.SetValue(CrashKeyTable::kCrashGuid, text63.c_str());
  EXPECT_EQ(text63, Value(table, CrashKeyTable::kCrashGuid));
  std::wstring text64 = std::wstring(63, L'b') + L'c';
  table.SetValue(CrashKeyTable::kCrashGuid, text64.c_str());
  EXPECT_EQ(std::wstring(63, L'b'), Value(table, CrashKeyTable::kCrashGuid));
  table.SetValue(CrashKeyTable::kOrigin, L"Testrig");
  table.SetValue(CrashKeyTable::kOrigin, nullptr);
  EXPECT_EQ(L"", Value(table, CrashKeyTable::kOrigin));

  // Neighbours keep what they had, and the block is read-only again.
  EXPECT_EQ(L"20170312286388", Value(table, CrashKeyTable::kBuildId));
  EXPECT_STREQ(L"URL", entries[CrashKeyTable::kUrlFirst].name);
  EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY), Protection(entries));
}

TEST(CrashKeyTableTest, RangeValuesSpreadAndAShorterOneClearsTheRest) {
  CrashKeyTable table;
  std::wstring long_text;
  for (int i = 0; i < 1500; ++i)
    long_text += static_cast<wchar_t>(L'a' + i % 26);
  table.SetValueOverRange(CrashKeyTable::kModulesFirst,
                          CrashKeyTable::kModulesLast, long_text.c_str());
  std::wstring joined;
  for (size_t i = CrashKeyTable::kModulesFirst;
       i <= CrashKeyTable::kModulesLast; ++i) {
    EXPECT_EQ(63u, Value(table, i).size()) << i;
    joined += Value(table, i);
  }
  EXPECT_EQ(long_text.substr(0, 1008), joined);

  table.SetValueOverRange(CrashKeyTable::kModulesFirst,
                          CrashKeyTable::kModulesLast,
                          long_text.substr(0, 100).c_str());
  EXPECT_EQ(long_text.substr(0, 63),
            Value(table, CrashKeyTable::kModulesFirst));
  EXPECT_EQ(long_text.substr(63, 37),
            Value(table, CrashKeyTable::kModulesFirst + 1));
  for (size_t i = CrashKeyTable::kModulesFirst + 2;
       i <= CrashKeyTable::kModulesLast; ++i) {
    EXPECT_EQ(L"", Value(table, i)) << i;
  }
  EXPECT_STREQ(
      L"ab_tests",
      table.GetCustomClientInfo().entries[CrashKeyTable::kAbTestsFirst].name);
  EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY),
            Protection(table.GetCustomClientInfo().entries));
}

TEST(CrashKeyTableTest, ModuleListDescribesTheLoadedModules) {
  std::vector<ModuleRecord> records = ParseRecords(BuildModuleList());
  ASSERT_GE(records.size(), 3u);

  wchar_t exe_path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, exe_path, MAX_PATH);
  std::wstring exe(exe_path, length);
  EXPECT_EQ(exe.substr(exe.rfind(L'\\') + 1), records[0].name);
  EXPECT_EQ(exe, records[0].path);

  bool found_kernel32 = false;
  for (const ModuleRecord& record : records) {
    EXPECT_NE(L"kelvo_browser.dll", record.name);
    EXPECT_EQ(16u, record.base.size()) << record.name;
    if (record.name != L"kernel32.dll")
      continue;
    found_kernel32 = true;
    MODULEINFO info = {};
    ASSERT_TRUE(::GetModuleInformation(::GetCurrentProcess(),
                                       ::GetModuleHandleW(L"kernel32.dll"),
                                       &info, sizeof(info)));
    uint64_t base = 0;
    uint32_t size = 0;
    EXPECT_TRUE(base::HexStringToUInt64(base::WideToUTF8(record.base), &base));
    EXPECT_TRUE(base::HexStringToUInt(base::WideToUTF8(record.size), &size));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.lpBaseOfDll), base);
    EXPECT_EQ(info.SizeOfImage, size);
  }
  EXPECT_TRUE(found_kernel32);
}

TEST(CrashKeyTableTest, InstallerKeysComeFromTheEnvironment) {
  base::ScopedEnvironmentVariableOverride origin("CRASH_ORIGIN", "Testrig");
  base::ScopedEnvironmentVariableOverride testrig(
      "KELVO_CRASH_REPORTER_TESTRIG_TEST");
  SetInstallerCrashKeys();
  const CrashKeyTable& table = *CrashKeyTable::GetInstance();
  EXPECT_EQ(L"installer", Value(table, CrashKeyTable::kProcessType));
  EXPECT_EQ(L"Testrig", Value(table, CrashKeyTable::kOrigin));
  EXPECT_EQ(L"", Value(table, CrashKeyTable::kTestrigTestFirst));
  EXPECT_NE(L"", Value(table, CrashKeyTable::kModulesFirst));
}

}  // namespace
}  // namespace crash_reporter
