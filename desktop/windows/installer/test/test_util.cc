#include "desktop/windows/installer/test/test_util.h"

#include <windows.h>

#include <sddl.h>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

void WriteTextFile(const base::FilePath& path, const std::string& text) {
  ASSERT_TRUE(base::CreateDirectory(path.DirName()));
  ASSERT_EQ(static_cast<int>(text.size()),
            base::WriteFile(path, text.data(), static_cast<int>(text.size())));
}

std::string ReadTextFile(const base::FilePath& path) {
  std::string text;
  return base::ReadFileToString(path, &text) ? text : "<missing>";
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  base::win::ScopedHandle scoped_token(token);
  BYTE buffer[256];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid,
                                &text)) {
    ADD_FAILURE() << "No SID for the test's account";
    return std::wstring();
  }
  std::wstring sid = text;
  ::LocalFree(text);
  return sid;
}

std::wstring UnixPath(const base::FilePath& path) {
  using GetUnixName = char*(CDECL*)(const wchar_t*);
  auto get_unix_name = reinterpret_cast<GetUnixName>(::GetProcAddress(
      ::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* name = get_unix_name ? get_unix_name(path.value().c_str()) : nullptr;
  if (!name)
    return std::wstring();
  std::wstring unix_path = base::UTF8ToWide(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return unix_path;
}

}  // namespace test
}  // namespace installer
