// Stands in for the programs of the browser package in tests: copied under
// the name of the program it plays (launcher.exe, kelvo.exe,
// suite_installer.exe, suite_sfx.exe, installer_helper_64.exe, ...), it
// records how it was started and exits with the code the test chose.
//
// Beside its own file (or, when that has none, in the folder above), for
// an executable named NAME:
//   NAME.log        one line per run is appended: the whole command line
//                   (UTF-8); the file is created when missing.
//   NAME.exit_code  optional, a decimal exit code (default 0).
//   NAME.wait_ms    optional, milliseconds to stay alive before exiting
//                   (so a test can see the program running or in use).
// A component archive, "TYPE_sfx.exe", unpacks "TYPE_installer.exe" beside
// itself (a copy of this program) when it exits with 0.
// A component installer with NAME.installs_itself beside it behaves like a
// real one towards the installation: started with --installfolder=FOLDER it
// copies itself into FOLDER, and that copy, started with --uninstall,
// removes itself, its log and FOLDER once it has exited.
//
// Started by a hand-over (--hand-over-event=HANDLE), it confirms its exit
// code 0 as a real installer does, unless NAME.unconfirmed is beside it.
//
// Started with one switch, --SWITCH, it first prints the content of
// SWITCH.answer from its folder, when there is one: a package's host asked
// for "--internal-version" or "--stream" answers so, whatever its name.

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kInstallsItself[] = L".installs_itself";

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

// |name| of |folder|, or of its parent when |folder| has none: a test
// configures a program that a run puts into a folder it makes new from
// the folder above.
std::string ReadConfig(const std::wstring& folder, const std::wstring& name) {
  if (::GetFileAttributesW((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES)
    return ReadSmallFile(folder + name);
  const size_t slash = folder.find_last_of(L"\\/", folder.size() - 2);
  if (slash == std::wstring::npos)
    return std::string();
  return ReadSmallFile(folder.substr(0, slash + 1) + name);
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

// The value of --|name|= on |command_line|, quoted or not; empty if absent.
std::wstring SwitchValue(const std::wstring& command_line,
                         const std::wstring& name) {
  const std::wstring prefix = L" --" + name + L"=";
  size_t start = command_line.find(prefix);
  if (start == std::wstring::npos)
    return std::wstring();
  start += prefix.size();
  wchar_t end_mark = L' ';
  if (start < command_line.size() && command_line[start] == L'"') {
    end_mark = L'"';
    ++start;
  }
  size_t end = command_line.find(end_mark, start);
  return command_line.substr(
      start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

bool HasSwitch(const std::wstring& command_line, const std::wstring& name) {
  return (command_line + L" ").find(L" --" + name + L" ") != std::wstring::npos;
}

// The program cannot delete its own file while it runs: a detached shell
// does it a moment after the exit. |folder| ends with a separator.
bool RemoveAfterExit(const std::wstring& folder, const std::wstring& name) {
  const std::wstring file = folder + name;
  std::wstring command = L"cmd.exe /c ping -n 2 127.0.0.1 >nul & del \"" +
                         file + L"\" \"" + file + L".log\" \"" + file +
                         kInstallsItself + L"\" & rmdir \"" +
                         folder.substr(0, folder.size() - 1) + L"\"";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return true;
}

// Plays a component's installer; false when it could not do its part.
bool PlayComponentInstaller(const std::wstring& self,
                            const std::wstring& folder,
                            const std::wstring& name) {
  const std::wstring marker = folder + name + kInstallsItself;
  if (::GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES)
    return true;
  const std::wstring command_line = ::GetCommandLineW();
  if (HasSwitch(command_line, L"uninstall"))
    return RemoveAfterExit(folder, name);
  const std::wstring target = SwitchValue(command_line, L"installfolder");
  if (target.empty())
    return true;
  ::CreateDirectoryW(target.c_str(), nullptr);
  const std::wstring copy = target + L"\\" + name;
  return ::CopyFileW(self.c_str(), copy.c_str(), FALSE) &&
         ::CopyFileW(marker.c_str(), (copy + kInstallsItself).c_str(), FALSE);
}

// Signals the event of a --hand-over-event switch: 16 hex digits, the
// handle value's bytes in memory order.
void ConfirmHandOver(const std::wstring& command_line) {
  const std::wstring text = SwitchValue(command_line, L"hand-over-event");
  if (text.size() != 16)
    return;
  unsigned long long value = 0;
  for (size_t i = 0; i < 8; ++i) {
    const unsigned long long byte =
        std::wcstoul(text.substr(2 * i, 2).c_str(), nullptr, 16);
    value |= byte << (8 * i);
  }
  ::SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)));
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
    PrintAnswer(ReadConfig(folder, answer));

  int exit_code = std::atoi(ReadConfig(folder, name + L".exit_code").c_str());
  int wait_ms = std::atoi(ReadConfig(folder, name + L".wait_ms").c_str());
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
  if (exit_code == 0 && EndsWith(name, L"_installer.exe") &&
      !PlayComponentInstaller(self, folder, name)) {
    return 1;
  }
  if (exit_code == 0 &&
      ::GetFileAttributesW((folder + name + L".unconfirmed").c_str()) ==
          INVALID_FILE_ATTRIBUTES) {
    ConfirmHandOver(::GetCommandLineW());
  }
  return exit_code;
}
