#include "base/win/registry.h"

#include <windows.h>

#include <set>
#include <string>

#include "base/test/test_registry_root.h"
#include "gtest/gtest.h"

namespace base {
namespace win {
namespace {

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// Every test works below a key of its own, removed in both views afterwards.
class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* info =
        testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();
    path_ = std::wstring(kTestRegistryRoot) + L"\\registry_" +
            std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::wstring(name.begin(), name.end());
    CleanUp();
  }
  void TearDown() override { CleanUp(); }

  void CleanUp() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      for (REGSAM view : {k32, k64}) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, kTestRegistryRoot, 0, KEY_ALL_ACCESS | view,
                            &key) == ERROR_SUCCESS) {
          std::wstring leaf = path_.substr(path_.rfind(L'\\') + 1);
          ::RegDeleteTreeW(key, leaf.c_str());
          ::RegCloseKey(key);
        }
      }
      DeleteTestRegistryRootIfEmpty(root);
    }
  }

  bool Exists(HKEY root, const std::wstring& path, REGSAM view) {
    RegKey key;
    return key.Open(root, path.c_str(), KEY_READ | view) == ERROR_SUCCESS;
  }

  std::wstring path_;
};

TEST_F(RegistryTest, CreateAndOpen) {
  RegKey key;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            key.Open(HKEY_CURRENT_USER, path_.c_str(), KEY_READ));
  EXPECT_FALSE(key.Valid());
  // The constructor creates only when asked for KEY_CREATE_SUB_KEY.
  EXPECT_FALSE(RegKey(HKEY_CURRENT_USER, path_.c_str(), KEY_READ).Valid());

  ASSERT_EQ(ERROR_SUCCESS,
            key.Create(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));

  // A failed OpenKey keeps the key held; a failed Open holds nothing.
  HKEY before = key.Handle();
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(L"none", KEY_READ));
  EXPECT_EQ(before, key.Handle());
  EXPECT_NE(ERROR_SUCCESS,
            key.Open(HKEY_CURRENT_USER, (path_ + L"\\none").c_str(), KEY_READ));
  EXPECT_FALSE(key.Valid());
}

TEST_F(RegistryTest, ReadsAndWritesEachType) {
  RegKey key(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS);
  ASSERT_TRUE(key.Valid());
  ::SetEnvironmentVariableW(L"KELVO_REGISTRY_TEST", L"C:\\expanded");

  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"dw", 0xDEADBEEFu));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(nullptr, L"default"));
  const wchar_t expand[] = L"%KELVO_REGISTRY_TEST%\\bin";
  ASSERT_EQ(ERROR_SUCCESS,
            key.WriteValue(L"expand", expand, sizeof(expand), REG_EXPAND_SZ));
  // String data without its terminator, and string data too long for the
  // first read.
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"bare", L"abc", 6, REG_SZ));
  std::wstring long_text(5000, L'x');
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"long", long_text.c_str()));

  DWORD dw = 0;
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValueDW(L"dw", &dw));
  EXPECT_EQ(0xDEADBEEFu, dw);
  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValue(L"", &text));
  EXPECT_EQ(L"default", text);
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValue(L"expand", &text));
  EXPECT_EQ(L"C:\\expanded\\bin", text);
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValue(L"bare", &text));
  EXPECT_EQ(L"abc", text);
  EXPECT_EQ(ERROR_SUCCESS, key.ReadValue(L"long", &text));
  EXPECT_EQ(long_text, text);

  // Wrong types and missing values fail and leave the output alone.
  dw = 7;
  text = L"unchanged";
  EXPECT_EQ(ERROR_CANTREAD, key.ReadValueDW(L"bare", &dw));
  EXPECT_EQ(ERROR_CANTREAD, key.ReadValue(L"dw", &text));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ReadValueDW(L"missing", &dw));
  EXPECT_EQ(7u, dw);
  EXPECT_EQ(L"unchanged", text);

  EXPECT_EQ(ERROR_SUCCESS, key.DeleteValue(L"dw"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteValue(L"dw"));
}

TEST_F(RegistryTest, ViewsStaySeparateAndCarryToSubkeys) {
  RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_LOCAL_MACHINE, path_.c_str(),
                                      KEY_ALL_ACCESS | k32));
  // No view named: the key's own view applies.
  ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(L"child", KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(L"v", 32u));

  const std::wstring child = path_ + L"\\child";
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, child, k32));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, child, k64));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE,
                     L"Software\\Wow6432Node" + child.substr(8), k64));

  // The other view is refused for subkey operations.
  ASSERT_EQ(ERROR_SUCCESS,
            key.Open(HKEY_LOCAL_MACHINE, path_.c_str(), KEY_ALL_ACCESS | k32));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, key.OpenKey(L"child", KEY_READ | k64));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, key.CreateKey(L"x", KEY_ALL_ACCESS | k64));
  EXPECT_TRUE(key.Valid());

  // The same path in the 64-bit view survives deleting the 32-bit one.
  RegKey twin;
  ASSERT_EQ(ERROR_SUCCESS, twin.Create(HKEY_LOCAL_MACHINE, child.c_str(),
                                       KEY_ALL_ACCESS | k64));
  ASSERT_EQ(ERROR_SUCCESS, twin.WriteValue(L"v", 64u));
  EXPECT_EQ(ERROR_SUCCESS, key.DeleteKey(L"child"));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, child, k32));
  DWORD value = 0;
  EXPECT_EQ(ERROR_SUCCESS,
            RegKey(HKEY_LOCAL_MACHINE, child.c_str(), KEY_READ | k64)
                .ReadValueDW(L"v", &value));
  EXPECT_EQ(64u, value);
}

TEST_F(RegistryTest, DeleteKeyRemovesWholeTrees) {
  RegKey key(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS);
  ASSERT_TRUE(key.Valid());
  for (const wchar_t* sub : {L"tree\\b\\c\\d", L"tree\\e", L"tree\\b\\f"}) {
    RegKey leaf(HKEY_CURRENT_USER, (path_ + L"\\" + sub).c_str(),
                KEY_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, leaf.WriteValue(L"v", L"x"));
  }
  EXPECT_EQ(ERROR_SUCCESS, key.DeleteKey(L"tree"));
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, path_ + L"\\tree", 0));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.DeleteKey(L"tree"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, key.DeleteKey(L""));
}

// A registry link to a missing target is listed among the subkeys but can
// be neither opened nor deleted by name: the walk must give up on it.
TEST_F(RegistryTest, DeleteKeyStopsAtASubkeyItCannotDelete) {
  const std::wstring tree = path_ + L"\\tree";
  RegKey plain(HKEY_CURRENT_USER, (tree + L"\\a_plain").c_str(),
               KEY_ALL_ACCESS);
  ASSERT_TRUE(plain.Valid());
  plain.Close();
  RegKey parent(HKEY_CURRENT_USER, tree.c_str(), KEY_ALL_ACCESS);
  HKEY link = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(parent.Handle(), L"z_link", 0,
                                             nullptr, REG_OPTION_CREATE_LINK,
                                             KEY_ALL_ACCESS | KEY_CREATE_LINK,
                                             nullptr, &link, nullptr));
  const wchar_t target[] = L"\\Registry\\Machine\\Software\\KelvoNoSuchKey";
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(target),
                             sizeof(target) - sizeof(wchar_t)));
  ::RegCloseKey(link);

  RegKey key(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS);
  EXPECT_NE(ERROR_SUCCESS, key.DeleteKey(L"tree"));
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, tree, 0));
  // Subkeys before the failing one are gone.
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, tree + L"\\a_plain", 0));

  // Remove the link itself so the tree can go.
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegOpenKeyExW(parent.Handle(), L"z_link", REG_OPTION_OPEN_LINK,
                            DELETE, &link));
  using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
  auto nt_delete_key = reinterpret_cast<NtDeleteKeyFunction>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"));
  ASSERT_TRUE(nt_delete_key);
  EXPECT_EQ(0, nt_delete_key(link));
  ::RegCloseKey(link);
  parent.Close();
  EXPECT_EQ(ERROR_SUCCESS, key.DeleteKey(L"tree"));
}

TEST_F(RegistryTest, KeyIteratorWalksOneView) {
  for (const wchar_t* sub : {L"one", L"two", L"three"}) {
    RegKey(HKEY_LOCAL_MACHINE, (path_ + L"\\" + sub).c_str(),
           KEY_ALL_ACCESS | k32);
  }
  RegKey only64(HKEY_LOCAL_MACHINE, (path_ + L"\\only64").c_str(),
                KEY_ALL_ACCESS | k64);
  ASSERT_TRUE(only64.Valid());

  std::set<std::wstring> names;
  for (RegistryKeyIterator keys(HKEY_LOCAL_MACHINE, path_.c_str(), k32);
       keys.Valid(); ++keys) {
    names.insert(keys.Name());
  }
  EXPECT_EQ((std::set<std::wstring>{L"one", L"two", L"three"}), names);
  EXPECT_FALSE(
      RegistryKeyIterator(HKEY_LOCAL_MACHINE, (path_ + L"\\none").c_str())
          .Valid());
}

}  // namespace
}  // namespace win
}  // namespace base
