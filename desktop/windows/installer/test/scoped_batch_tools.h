// Puts the stand-ins of tasklist.exe and find.exe (batch_tool_stand_in.exe)
// first on this process's PATH while alive, so that the uninstall batch
// that a test starts really waits for the processes it names, and tells
// what the batch asked about them.
//
//   test::ScopedBatchTools tools;
//   ... the uninstall writes and starts k.bat, which waits for this process
//   EXPECT_TRUE(tools.WaitForAnswers(::GetCurrentProcessId(), 2));
//   tools.EndProcess(::GetCurrentProcessId());  // The batch goes on.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_BATCH_TOOLS_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_BATCH_TOOLS_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "base/files/scoped_temp_dir.h"

namespace installer {
namespace test {

class ScopedBatchTools {
 public:
  ScopedBatchTools();
  ScopedBatchTools(const ScopedBatchTools&) = delete;
  ScopedBatchTools& operator=(const ScopedBatchTools&) = delete;
  ~ScopedBatchTools();

  // Whether the stand-ins are in place and first on PATH.
  bool ready() const { return ready_; }

  // The answers tasklist.exe gave about |pid|, in order: true for running.
  std::vector<bool> Answers(uint32_t pid) const;
  // Waits at most 60 s until tasklist.exe answered about |pid| |count|
  // times.
  bool WaitForAnswers(uint32_t pid, size_t count) const;
  // From now on tasklist.exe answers that |pid| has ended, although it
  // runs: the test's own process stands for one that has ended.
  void EndProcess(uint32_t pid);

 private:
  base::ScopedTempDir folder_;
  std::wstring old_path_;
  bool ready_ = false;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_BATCH_TOOLS_H_
