#include "base/test/wine_unix.h"

#include <windows.h>

#include "base/strings/utf_string_conversions.h"

namespace base {
namespace test {

WineUnix::WineUnix()
    : file_name_(reinterpret_cast<FileNameFunction>(
          ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                           "wine_get_unix_file_name"))),
      spawn_(reinterpret_cast<SpawnFunction>(
          ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                           "__wine_unix_spawnvp"))) {}

std::string WineUnix::FileName(const FilePath& path) const {
  char* name = file_name_(path.value().c_str());
  std::string text = name ? name : "";
  ::HeapFree(::GetProcessHeap(), 0, name);
  return text;
}

int WineUnix::Run(std::vector<std::string> argv) const {
  std::vector<char*> pointers;
  for (std::string& argument : argv)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return spawn_(pointers.data(), 1);
}

bool WineUnix::Link(const FilePath& link, const FilePath& target) const {
  // A target that does not exist has no Unix name of its own yet.
  std::string unix_target = FileName(target);
  if (unix_target.empty()) {
    const std::string folder = FileName(target.DirName());
    if (folder.empty())
      return false;
    unix_target = folder + "/" + WideToUTF8(target.BaseName().value());
  }
  const std::string unix_folder = FileName(link.DirName());
  if (unix_folder.empty())
    return false;
  return Run({"/bin/ln", "-s", unix_target,
              unix_folder + "/" + WideToUTF8(link.BaseName().value())}) == 0;
}

}  // namespace test
}  // namespace base
