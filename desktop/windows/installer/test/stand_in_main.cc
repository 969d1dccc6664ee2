// Stands in for the programs of the browser package in tests: copied under
// the name of the program it plays (launcher.exe, kelvo.exe,
// suite_installer.exe, suite_sfx.exe, installer_helper_64.exe, ...), it
// records how it was started and exits with the code the test chose.
//
// Beside its own file, for an executable named NAME:
//   NAME.log        one line per run is appended: the whole command line
//                   (UTF-8); the file is created when missing.
//   NAME.exit_code  optional, a decimal exit code (default 0).
//   NAME.wait_ms    optional, milliseconds to stay alive before exiting
//                   (so a test can see the program running or in use).
// A component archive, "TYPE_sfx.exe", unpacks "TYPE_installer.exe" beside
// itself (a copy of this program) when it exits with 0.
//
// Started with one switch, --SWITCH, it first prints the content of
// SWITCH.answer from its folder, when there is one: a package's host asked
// for "--internal-version" or "--stream" answers so, whatever its name.

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring OwnPath() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD len = ::GetModuleFileNameW(nullptr, buffer,
                                   static_cast<DWORD>(std::size(buffer)));
  return std::wstring(buffer, len);
}

std::string ReadSmallFile(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::string();
  char buffer[64] = {};
  DWORD read = 0;
  ::ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
  ::CloseHandle(file);
  return std::string(buffer, read);
}

void AppendLine(const std::wstring& path, const std::wstring& text) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                   static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
  std::string utf8(size, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                        utf8.data(), size, nullptr, nullptr);
  utf8 += "\n";
  // Several stand-ins may run at once; appending is atomic per write.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written,
                  nullptr);
      ::CloseHandle(file);
      return;
    }
    ::Sleep(20);
  }
}

// The answer file for a command line of one switch, or empty.
std::wstring AnswerFileName() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring name;
  if (argv && argc == 2 && wcsncmp(argv[1], L"--", 2) == 0)
    name = std::wstring(argv[1] + 2) + L".answer";
  ::LocalFree(argv);
  return name;
}

void PrintAnswer(const std::string& answer) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), answer.data(),
              static_cast<DWORD>(answer.size()), &written, nullptr);
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() &&
         _wcsicmp(text.c_str() + text.size() - suffix.size(), suffix.c_str()) ==
             0;
}

}  // namespace

int wmain() {
  std::wstring self = OwnPath();
  size_t slash = self.find_last_of(L"\\/");
  std::wstring folder = self.substr(0, slash + 1);
  std::wstring name = self.substr(slash + 1);

  AppendLine(folder + name + L".log", ::GetCommandLineW());
  const std::wstring answer = AnswerFileName();
  if (!answer.empty())
    PrintAnswer(ReadSmallFile(folder + answer));

  int exit_code =
      std::atoi(ReadSmallFile(folder + name + L".exit_code").c_str());
  int wait_ms = std::atoi(ReadSmallFile(folder + name + L".wait_ms").c_str());
  if (wait_ms > 0)
    ::Sleep(static_cast<DWORD>(wait_ms));

  const std::wstring kArchiveSuffix = L"_sfx.exe";
  if (exit_code == 0 && EndsWith(name, kArchiveSuffix)) {
    std::wstring type = name.substr(0, name.size() - kArchiveSuffix.size());
    if (!::CopyFileW(self.c_str(), (folder + type + L"_installer.exe").c_str(),
                     FALSE)) {
      return 1;
    }
  }
  return exit_code;
}
