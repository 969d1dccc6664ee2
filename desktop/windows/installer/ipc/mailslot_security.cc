#include "desktop/windows/installer/ipc/mailslot_security.h"

#include <sddl.h>

#include <vector>

#include "base/logging.h"
#include "base/win/scoped_handle.h"

namespace installer {

namespace {

std::wstring GetProcessUserSidText() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return std::wstring();
  base::win::ScopedHandle scoped_token(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0)
    return std::wstring();
  std::vector<BYTE> buffer(size);
  wchar_t* text = nullptr;
  if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
      !::ConvertSidToStringSidW(
          reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return std::wstring();
  }
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

}  // namespace

MailslotSecurity::MailslotSecurity() {
  const std::wstring text = GetDescriptorText();
  if (text.empty() ||
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          text.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
    PLOG(ERROR) << "Cannot make the security descriptor of the mailslot";
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof(attributes_);
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

MailslotSecurity::~MailslotSecurity() {
  if (descriptor_)
    ::LocalFree(descriptor_);
}

// static
std::wstring MailslotSecurity::GetDescriptorText() {
  const std::wstring user = GetProcessUserSidText();
  if (user.empty())
    return std::wstring();
  // Protected: nothing is inherited from the mailslot file system's
  // defaults, which admit everyone.
  return L"D:P(A;;GA;;;" + user + L")(A;;GA;;;BA)";
}

}  // namespace installer
