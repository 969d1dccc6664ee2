// Makes a command the open command of the user's http handler while it
// lives: the user's choice names a class of the test's own, whose open
// command the command is. The choice and the class come back as they were,
// so that the shared test prefix keeps its own handler.
//
//   ScopedHttpHandler handler(L"KelvoStatusTestHTML");
//   handler.SetCommand(L"\"C:\\Kelvo\\launcher.exe\" -- \"%1\"");

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_HTTP_HANDLER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_HTTP_HANDLER_H_

#include <string>

#include "desktop/windows/installer/test/scoped_registry_value.h"

namespace installer {
namespace test {

class ScopedHttpHandler {
 public:
  // |prog_id| names the test's class.
  explicit ScopedHttpHandler(const std::wstring& prog_id);
  ScopedHttpHandler(const ScopedHttpHandler&) = delete;
  ScopedHttpHandler& operator=(const ScopedHttpHandler&) = delete;
  ~ScopedHttpHandler();

  // Chooses the class and makes |command| its open command; fails the test
  // when the registry refuses.
  void SetCommand(const std::wstring& command);

 private:
  const std::wstring prog_id_;
  ScopedRegistryValue choice_;
  ScopedRegistryValue class_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_HTTP_HANDLER_H_
