#include "desktop/windows/installer/test/scoped_process_command_line.h"

namespace installer {
namespace test {

namespace {

bool EnsureInitialized() {
  if (base::CommandLine::InitializedForCurrentProcess())
    return true;
  base::CommandLine::Init(0, nullptr);
  return false;
}

}  // namespace

ScopedProcessCommandLine::ScopedProcessCommandLine(
    const std::wstring& arguments)
    : ScopedProcessCommandLine(
          base::CommandLine::FromString(L"installer.exe " + arguments)) {}

ScopedProcessCommandLine::ScopedProcessCommandLine(
    const base::CommandLine& command_line)
    : was_initialized_(EnsureInitialized()),
      saved_(*base::CommandLine::ForCurrentProcess()) {
  *base::CommandLine::ForCurrentProcess() = command_line;
}

ScopedProcessCommandLine::~ScopedProcessCommandLine() {
  if (was_initialized_)
    *base::CommandLine::ForCurrentProcess() = saved_;
  else
    base::CommandLine::Reset();
}

}  // namespace test
}  // namespace installer
