#include "desktop/windows/installer/taskbar_pin_verbs.h"

#include <windows.h>

#include <shellapi.h>

#include <stdint.h>

#include "base/logging.h"

namespace installer {

namespace {

class ShellTaskbarPinVerbs : public TaskbarPinVerbs {
 public:
  ShellTaskbarPinVerbs() = default;

  bool Pin(const base::FilePath& shortcut) override {
    return Invoke(L"taskbarpin", shortcut);
  }
  bool Unpin(const base::FilePath& shortcut) override {
    return Invoke(L"taskbarunpin", shortcut);
  }

 private:
  static bool Invoke(const wchar_t* verb, const base::FilePath& shortcut) {
    // ShellExecute reports success with a value above 32.
    intptr_t result = reinterpret_cast<intptr_t>(::ShellExecuteW(
        nullptr, verb, shortcut.value().c_str(), nullptr, nullptr, SW_HIDE));
    if (result <= 32) {
      VLOG(1) << "Shell verb " << verb << " on " << shortcut
              << " failed: " << result;
      return false;
    }
    return true;
  }
};

}  // namespace

TaskbarPinVerbs::~TaskbarPinVerbs() = default;

// static
TaskbarPinVerbs* TaskbarPinVerbs::GetInstance() {
  if (TaskbarPinVerbs* overridden =
          base::InstanceOverride<TaskbarPinVerbs>::Get())
    return overridden;
  static TaskbarPinVerbs* const instance = new ShellTaskbarPinVerbs();
  return instance;
}

}  // namespace installer
