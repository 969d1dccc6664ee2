#include "desktop/windows/installer/test/unix_program.h"

#include <windows.h>

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/test/test_util.h"

namespace installer {
namespace test {

namespace {

using SpawnFunction = LONG(CDECL*)(char* const*, int);

SpawnFunction GetSpawn() {
  return reinterpret_cast<SpawnFunction>(::GetProcAddress(
      ::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp"));
}

}  // namespace

bool HasUnixSide() {
  return GetSpawn() != nullptr && !UnixPath(base::FilePath(L"C:\\")).empty();
}

bool RunUnixProgram(const std::vector<std::string>& argv, bool wait) {
  const SpawnFunction spawn = GetSpawn();
  if (!spawn || argv.empty())
    return false;
  std::vector<std::string> copies = argv;
  std::vector<char*> pointers;
  for (std::string& argument : copies)
    pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return spawn(pointers.data(), wait ? 1 : 0) == 0;
}

bool MakeUnixLink(const base::FilePath& link, const base::FilePath& target) {
  const std::string unix_target = UnixName(target);
  const std::string unix_folder = UnixName(link.DirName());
  if (unix_target.empty() || unix_folder.empty())
    return false;
  RunUnixProgram(
      {"ln", "-sfn", unix_target,
       unix_folder + "/" + base::WideToUTF8(link.BaseName().value())},
      /*wait=*/true);
  WIN32_FILE_ATTRIBUTE_DATA data;
  return ::GetFileAttributesExW(link.value().c_str(), GetFileExInfoStandard,
                                &data) != FALSE;
}

std::string UnixName(const base::FilePath& path) {
  return base::WideToUTF8(UnixPath(path));
}

}  // namespace test
}  // namespace installer
