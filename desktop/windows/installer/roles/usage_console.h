// Where the usage text goes: a console of its own, kept open until a key is
// pressed. Tests put a console of theirs in its place to read the text and
// skip the wait.

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_CONSOLE_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_CONSOLE_H_

#include <memory>
#include <string>

namespace installer {

class UsageConsole {
 public:
  virtual ~UsageConsole() = default;

  // Makes a console ready for the text; false when there is none to print
  // on.
  virtual bool Open() = 0;
  virtual void Print(const std::string& text) = 0;
  // Returns when a key was pressed.
  virtual void WaitForKey() = 0;
};

// A new console of the process (AllocConsole), standard output reopened on
// it unbuffered, and "PAUSE" to keep it.
std::unique_ptr<UsageConsole> CreateSystemUsageConsole();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_USAGE_CONSOLE_H_
