#include "components/crash_report/module_list.h"

#include "gtest/gtest.h"

namespace crash_report {
namespace {

TEST(ModuleListTest, ParsesRecordsUpToTheFirstMalformedOne) {
  const std::wstring two =
      L"installer.exe:0000000140000000:5a000:C:\\Kelvo\\installer.exe::"
      L"kernel32.dll:0x00007FF8A1B20000:b2000:C:\\Windows\\kernel32.dll::";
  std::vector<ModuleRecord> modules = ParseModuleList(two);
  ASSERT_EQ(2u, modules.size());
  EXPECT_EQ(L"installer.exe", modules[0].name);
  EXPECT_EQ(0x140000000u, modules[0].base_address);
  EXPECT_EQ(0x5a000u, modules[0].size);
  EXPECT_EQ(L"C:\\Kelvo\\installer.exe", modules[0].path);
  EXPECT_EQ(0x7FF8A1B20000u, modules[1].base_address);

  for (const wchar_t* third :
       {L"ntdll.dll:zz:1000:C:\\ntdll.dll::", L"ntdll.dll::1000:C:\\n.dll::",
        L":10:1000:C:\\n.dll::", L"ntdll.dll:10:1000:::",
        L"ntdll.dll:10:1000:C:\\ntdll.dll", L"ntdll.dll:10"}) {
    SCOPED_TRACE(third);
    EXPECT_EQ(2u, ParseModuleList(two + third).size());
  }
  EXPECT_TRUE(ParseModuleList(L"").empty());
}

}  // namespace
}  // namespace crash_report
