// The answers the installer gives without installing anything: the usage
// text that "help" and "?" show, and the refusal to run on a processor
// without SSE2.

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_H_

#include <windows.h>

#include <string>
#include <vector>

namespace installer {

class UsageConsole;

// The usage text: the product line, the documented switches with their
// value forms and defaults, |available_languages| (l10n::
// LoadAvailableLanguages) and the installer features with their defaults
// in this build.
std::string GetUsageText(const std::vector<std::wstring>& available_languages);

// Shows the usage text on a new console (on |console| in the second form)
// and waits for a key. Without a console nothing is shown.
void PrintUsage(const std::vector<std::wstring>& available_languages);
void PrintUsage(const std::vector<std::wstring>& available_languages,
                UsageConsole* console);

// The system calls of the SSE2 check, for tests to replace.
struct Sse2CheckFunctions {
  BOOL(WINAPI* is_processor_feature_present)(DWORD feature);
  int(WINAPI* message_box)(HWND owner,
                           LPCWSTR text,
                           LPCWSTR caption,
                           UINT type);
  void(WINAPI* exit_process)(UINT exit_code);
};

// Without SSE2: an error message box, then the process ends with exit code
// 1. Runs by itself when the library is loaded.
void CheckSse2Support();
void CheckSse2Support(const Sse2CheckFunctions& functions);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_H_
