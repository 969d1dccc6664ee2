// A table of crash keys as a client's memory holds it, built by tests.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_

#include <string>
#include <vector>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

class TestCrashKeys {
 public:
  TestCrashKeys();
  ~TestCrashKeys();

  // Adds an entry; |name| and |value| are cut to their arrays' sizes
  // without a terminator when they fill them.
  TestCrashKeys& Add(const std::wstring& name, const std::wstring& value);

  // Valid until the next Add.
  crash_handler::CustomClientInfo info() const;

 private:
  std::vector<crash_handler::CustomInfoEntry> entries_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_
