// Starts crash_report_test_child.exe (built next to the tests) and waits
// until it has crashed and holds still in its filter; kills it when done.

#ifndef COMPONENTS_CRASH_REPORT_TEST_CRASHED_CHILD_H_
#define COMPONENTS_CRASH_REPORT_TEST_CRASHED_CHILD_H_

#include <stdint.h>

#include "base/files/scoped_temp_dir.h"
#include "base/process/process.h"

namespace crash_report {

class CrashedChild {
 public:
  CrashedChild();
  CrashedChild(const CrashedChild&) = delete;
  CrashedChild& operator=(const CrashedChild&) = delete;
  ~CrashedChild();

  // The child with |threads| threads besides the crashing one and an
  // assertion record of |assertion_type|; false when it did not crash as
  // planned within a limit.
  bool Start(int threads, uint32_t assertion_type = 0);

  uint32_t pid() const { return process_.Pid(); }
  // Addresses in the child.
  uint64_t exception_pointers_address() const { return pointers_; }
  uint64_t thread_id_address() const { return thread_; }
  uint64_t record_address() const { return record_; }
  uint64_t marker_address() const { return marker_; }
  uint32_t crashed_thread_id() const { return tid_; }

 private:
  base::ScopedTempDir dir_;
  base::Process process_;
  uint64_t pointers_ = 0;
  uint64_t thread_ = 0;
  uint64_t record_ = 0;
  uint64_t marker_ = 0;
  uint32_t tid_ = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_TEST_CRASHED_CHILD_H_
