#include "desktop/windows/installer/test/unix_program.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/test/test_util.h"

namespace installer {
namespace test {

bool RunUnixProgram(const std::vector<std::string>& argv, bool wait) {
  using SpawnFunction = LONG(CDECL*)(char* const*, int);
  const auto spawn = reinterpret_cast<SpawnFunction>(::GetProcAddress(
      ::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp"));
  std::vector<std::string> copies = argv;
  std::vector<char*> pointers;
  for (std::string& argument : copies)
    pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return spawn && !argv.empty() && spawn(pointers.data(), wait ? 1 : 0) == 0;
}

std::string UnixName(const base::FilePath& path) {
  return base::WideToUTF8(UnixPath(path));
}

bool MakeUnixLink(const base::FilePath& link, const base::FilePath& target) {
  const std::string folder = UnixName(link.DirName());
  return !folder.empty() &&
         RunUnixProgram(
             {"ln", "-sfn", UnixName(target),
              folder + "/" + base::WideToUTF8(link.BaseName().value())},
             /*wait=*/true) &&
         base::PathExists(link);
}

}  // namespace test
}  // namespace installer
