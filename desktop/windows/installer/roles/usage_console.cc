#include "desktop/windows/installer/roles/usage_console.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/logging.h"

namespace installer {

namespace {

class SystemUsageConsole : public UsageConsole {
 public:
  SystemUsageConsole() = default;
  SystemUsageConsole(const SystemUsageConsole&) = delete;
  SystemUsageConsole& operator=(const SystemUsageConsole&) = delete;
  ~SystemUsageConsole() override = default;

  bool Open() override {
    // A process started from a console window may have one already; the
    // reopening below is what decides.
    if (!::AllocConsole())
      PLOG(WARNING) << "AllocConsole failed";
    if (!std::freopen("CONOUT$", "w", stdout)) {
      LOG(ERROR) << "Cannot open the console for the usage text";
      return false;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
  }

  void Print(const std::string& text) override {
    std::fputs(text.c_str(), stdout);
  }

  void WaitForKey() override { std::system("PAUSE"); }
};

}  // namespace

std::unique_ptr<UsageConsole> CreateSystemUsageConsole() {
  return std::make_unique<SystemUsageConsole>();
}

}  // namespace installer
