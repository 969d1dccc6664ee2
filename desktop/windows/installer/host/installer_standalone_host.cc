// The installer executable with the installer library linked in: the form
// in which the update server hands the installer out (the small net
// installer with its tracking data, a full installer, the package
// executable that a net install downloads and asks for its version). It
// runs alone, from whatever folder it was downloaded to; otherwise it is
// installer.exe, exit code included.

#include <windows.h>

// The library's one working entry (roles/installer_main.h).
extern "C" bool RunInstaller();

namespace {

constexpr int kExitFailed = 1;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  return RunInstaller() ? 0 : kExitFailed;
}
