// Replaces the process command line (base::CommandLine::ForCurrentProcess)
// while alive, for code that reads its switches from there; the previous
// line comes back afterwards. Not nestable across threads: tests only.
//
//   ScopedProcessCommandLine command_line(L"--copyonly=1 --allusers=1");

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_PROCESS_COMMAND_LINE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_PROCESS_COMMAND_LINE_H_

#include <string>

#include "base/command_line.h"

namespace installer {
namespace test {

class ScopedProcessCommandLine {
 public:
  // "installer.exe" followed by |arguments|.
  explicit ScopedProcessCommandLine(const std::wstring& arguments);
  explicit ScopedProcessCommandLine(const base::CommandLine& command_line);
  ScopedProcessCommandLine(const ScopedProcessCommandLine&) = delete;
  ScopedProcessCommandLine& operator=(const ScopedProcessCommandLine&) = delete;
  ~ScopedProcessCommandLine();

 private:
  bool was_initialized_;
  base::CommandLine saved_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_PROCESS_COMMAND_LINE_H_
