#include "desktop/windows/installer/test/scoped_http_handler.h"

#include <windows.h>

#include "base/win/registry.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

namespace {

constexpr wchar_t kHttpChoiceKey[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\"
    L"http\\UserChoice";
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";

}  // namespace

ScopedHttpHandler::ScopedHttpHandler(const std::wstring& prog_id)
    : prog_id_(prog_id),
      choice_(HKEY_CURRENT_USER, kHttpChoiceKey, L"ProgId"),
      class_(HKEY_CURRENT_USER, kClassesKey + prog_id, L"") {}

ScopedHttpHandler::~ScopedHttpHandler() = default;

void ScopedHttpHandler::SetCommand(const std::wstring& command) {
  EXPECT_EQ(ERROR_SUCCESS, base::win::RegKey(HKEY_CURRENT_USER, kHttpChoiceKey,
                                             KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
                               .WriteValue(L"ProgId", prog_id_.c_str()));
  const std::wstring command_key =
      kClassesKey + prog_id_ + L"\\shell\\open\\command";
  EXPECT_EQ(ERROR_SUCCESS,
            base::win::RegKey(HKEY_CURRENT_USER, command_key.c_str(),
                              KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
                .WriteValue(nullptr, command.c_str()));
}

}  // namespace test
}  // namespace installer
