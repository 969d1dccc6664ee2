#include "base/test/planted_link.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"

namespace base {
namespace test {

namespace {

// Wine's way to the Unix side, where Wine keeps a link as a symbolic link:
// CreateSymbolicLinkW makes none there (it reports success all the same)
// and Win32 cannot delete one that points at a folder holding something.
// Not available on Windows.
class WineUnix {
 public:
  WineUnix()
      : file_name_(reinterpret_cast<FileNameFunction>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                             "wine_get_unix_file_name"))),
        spawn_(reinterpret_cast<SpawnFunction>(
            ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                             "__wine_unix_spawnvp"))) {}

  bool available() const { return file_name_ && spawn_; }

  // |path| on the Unix side; empty when Wine cannot tell.
  std::string FileName(const FilePath& path) const {
    char* name = file_name_(path.value().c_str());
    std::string text = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
  }

  // Runs the Unix program |argv[0]|, waits for it and returns its exit
  // code.
  int Run(std::vector<std::string> argv) const {
    std::vector<char*> pointers;
    for (std::string& argument : argv)
      pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return spawn_(pointers.data(), 1);
  }

  // Makes the Unix link |link| to |target|.
  bool Link(const FilePath& link, const FilePath& target) const {
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

 private:
  using FileNameFunction = char* (*)(const wchar_t*);
  using SpawnFunction = int (*)(char* const*, int);
  const FileNameFunction file_name_;
  const SpawnFunction spawn_;
};

// Whether anything, a dangling link included, is at |path|.
bool NameTaken(const FilePath& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(path.value().c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  ::FindClose(find);
  return true;
}

}  // namespace

bool IsWine() {
  return WineUnix().available();
}

bool MakeDirectoryLink(const FilePath& link, const FilePath& target) {
  WineUnix wine;
  if (wine.available()) {
    wine.Link(link, target);
  } else {
    ::CreateSymbolicLinkW(link.value().c_str(), target.value().c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY);
  }
  return PathExists(link);
}

bool MakeFileLink(const FilePath& link, const FilePath& target) {
  WineUnix wine;
  // Wine lists no link whose target is missing: ln's answer tells.
  if (wine.available())
    return wine.Link(link, target);
  ::CreateSymbolicLinkW(link.value().c_str(), target.value().c_str(), 0);
  return NameTaken(link);
}

void RemoveLink(const FilePath& link) {
  WineUnix wine;
  if (wine.available()) {
    // A Unix link, also one whose target is gone: Wine lists none such.
    const std::string folder = wine.FileName(link.DirName());
    if (!folder.empty()) {
      wine.Run({"/bin/rm", "-f",
                folder + "/" + WideToUTF8(link.BaseName().value())});
    }
    return;
  }
  if (!::RemoveDirectoryW(link.value().c_str()))
    ::DeleteFileW(link.value().c_str());
}

}  // namespace test
}  // namespace base
