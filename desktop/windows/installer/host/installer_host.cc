// The installer executable: loads the installer library that lies beside it
// and calls its one working entry on this, the main, thread. Every installer
// process (front end, backend, crash reporter, the package's own installer)
// is this program; parents judge their children by its exit code, so the
// code is 0 exactly when RunInstaller reported success.

#include <windows.h>

#include <string>

namespace {

constexpr int kExitLibraryMissing = 2;
constexpr int kExitFailed = 1;

// The library's folder is the executable's own; loading by full path keeps
// the search path (current folder, PATH) out of it.
std::wstring LibraryPath() {
  wchar_t exe[MAX_PATH * 2];
  DWORD len =
      ::GetModuleFileNameW(nullptr, exe, static_cast<DWORD>(std::size(exe)));
  if (len == 0 || len >= std::size(exe))
    return std::wstring();
  std::wstring path(exe, len);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + L"installer.dll";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  std::wstring library = LibraryPath();
  HMODULE module = library.empty()
                       ? nullptr
                       : ::LoadLibraryExW(library.c_str(), nullptr,
                                          LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module)
    return kExitLibraryMissing;
  using RunInstallerFunction = bool (*)();
  auto run_installer = reinterpret_cast<RunInstallerFunction>(
      ::GetProcAddress(module, "RunInstaller"));
  if (!run_installer)
    return kExitLibraryMissing;
  return run_installer() ? 0 : kExitFailed;
}
