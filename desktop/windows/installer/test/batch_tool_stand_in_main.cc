// Stands in for the two Windows programs with which the uninstall batch
// waits for processes, whose Wine versions do not do their part (TASKLIST
// prints nothing for a filter, FIND refuses /c). Copied under the name of
// the program it plays, first on the batch's PATH:
//
//   tasklist.exe /FI "PID eq N"   prints a table row naming the image of
//                                 process N while it runs, else the note
//                                 that no task matches; exit code 0.
//   find.exe /c /i "TEXT"         prints how many lines of its input hold
//                                 TEXT (ignoring ASCII case with /i), exit
//                                 code 0 when there was one, else 1.
//
// Beside its own file, tasklist.exe appends "N running" or "N ended" to
// tasklist.log for each question, and takes every pid listed in
// tasklist.ended (one a line) as ended: a test whose own process is waited
// for stands for its end that way.

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer,
                                      static_cast<DWORD>(std::size(buffer)));
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring OwnName() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer,
                                      static_cast<DWORD>(std::size(buffer)));
  std::wstring path(buffer, length);
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name)
    c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; argv && i < count; ++i)
    arguments.push_back(argv[i]);
  ::LocalFree(argv);
  return arguments;
}

void Print(const std::string& text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
              static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadFileText(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::string();
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
    text.append(buffer, read);
  ::CloseHandle(file);
  return text;
}

void AppendLine(const std::wstring& path, const std::string& line) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
  ::CloseHandle(file);
}

bool IsListedAsEnded(const std::wstring& folder, unsigned long pid) {
  const std::string text = ReadFileText(folder + L"tasklist.ended");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    if (std::strtoul(text.substr(start, end - start).c_str(), nullptr, 10) ==
        pid) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// The file name of the image of running process |pid|; empty when it does
// not run.
std::string RunningImageName(unsigned long pid) {
  HANDLE process = ::OpenProcess(
      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process)
    return std::string();
  std::string name;
  if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    char path[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(std::size(path));
    name = ::QueryFullProcessImageNameA(process, 0, path, &size)
               ? std::string(path, size)
               : std::string("unknown.exe");
    name = name.substr(name.find_last_of("\\/") + 1);
  }
  ::CloseHandle(process);
  return name;
}

int PlayTasklist(const std::vector<std::wstring>& arguments) {
  unsigned long pid = 0;
  for (size_t i = 0; i + 1 < arguments.size(); ++i) {
    const std::wstring& filter = arguments[i + 1];
    if (_wcsicmp(arguments[i].c_str(), L"/FI") == 0 &&
        _wcsnicmp(filter.c_str(), L"PID eq ", 7) == 0) {
      pid = std::wcstoul(filter.c_str() + 7, nullptr, 10);
    }
  }
  const std::wstring folder = OwnFolder();
  std::string image = RunningImageName(pid);
  if (IsListedAsEnded(folder, pid))
    image.clear();
  AppendLine(folder + L"tasklist.log",
             std::to_string(pid) + (image.empty() ? " ended" : " running"));
  if (image.empty()) {
    Print("INFO: No tasks are running which match the specified criteria.\r\n");
    return 0;
  }
  Print(
      "\r\nImage Name                     PID Session Name        Session#"
      "    Mem Usage\r\n========================= ======== ================"
      " =========== ============\r\n" +
      image + "  " + std::to_string(pid) + " Console  1  1,000 K\r\n");
  return 0;
}

int PlayFind(const std::vector<std::wstring>& arguments) {
  bool ignore_case = false;
  std::string wanted;
  for (const std::wstring& argument : arguments) {
    if (_wcsicmp(argument.c_str(), L"/i") == 0)
      ignore_case = true;
    else if (!argument.empty() && argument[0] != L'/')
      wanted.assign(argument.begin(), argument.end());
  }
  auto fold = [ignore_case](std::string text) {
    if (ignore_case) {
      for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
          c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return text;
  };
  wanted = fold(wanted);
  std::string input;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer),
                    &read, nullptr) &&
         read) {
    input.append(buffer, read);
  }
  int count = 0;
  size_t start = 0;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos)
      end = input.size();
    if (fold(input.substr(start, end - start)).find(wanted) !=
        std::string::npos) {
      ++count;
    }
    start = end + 1;
  }
  Print(std::to_string(count) + "\r\n");
  return count > 0 ? 0 : 1;
}

}  // namespace

int wmain() {
  const std::wstring name = OwnName();
  const std::vector<std::wstring> arguments = Arguments();
  if (name == L"tasklist.exe")
    return PlayTasklist(arguments);
  if (name == L"find.exe")
    return PlayFind(arguments);
  return 2;
}
