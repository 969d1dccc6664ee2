// The baseline of the install benchmarks: copies the files that a package's
// files_list names from the package folder into a target folder, one
// CopyFileW each, with nothing else around them but the creation of each
// folder the first time a file goes there. Prints the count and the seconds
// of the copy loop alone.
//
//   raw_copy.exe PACKAGE_FOLDER TARGET_FOLDER
//
// Exits with 0 when every file was copied, 1 when one failed, 2 on a bad
// command line.

#include <windows.h>

#include <stdio.h>

#include <set>
#include <sstream>
#include <string>

namespace {

std::wstring Utf8ToWide(const std::string& text) {
  int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(size, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                        wide.data(), size);
  return wide;
}

// The whole file |path|; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* content) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
    content->append(buffer, read);
  ::CloseHandle(file);
  return true;
}

// Creates every missing folder of |path|, parents first.
void CreateFolders(const std::wstring& path) {
  for (size_t pos = path.find(L'\\', 3); pos != std::wstring::npos;
       pos = path.find(L'\\', pos + 1)) {
    ::CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: raw_copy.exe PACKAGE_FOLDER TARGET_FOLDER\n");
    return 2;
  }
  const std::wstring package = argv[1];
  const std::wstring target = argv[2];
  std::string content;
  if (!ReadWholeFile(package + L"\\files_list", &content)) {
    fprintf(stderr, "cannot read files_list\n");
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  CreateFolders(target);
  std::set<std::wstring> folders;
  int copied = 0;
  std::istringstream list(content);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    const std::wstring name = Utf8ToWide(line);
    const std::wstring destination = target + L"\\" + name;
    const std::wstring folder = destination.substr(0, destination.rfind(L'\\'));
    if (folders.insert(folder).second)
      CreateFolders(folder);
    if (!::CopyFileW((package + L"\\" + name).c_str(), destination.c_str(),
                     FALSE)) {
      fprintf(stderr, "cannot copy %s: %lu\n", line.c_str(), ::GetLastError());
      return 1;
    }
    ++copied;
  }
  ::QueryPerformanceCounter(&end);
  printf(
      "%d files copied in %.3f s\n", copied,
      static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  return 0;
}
