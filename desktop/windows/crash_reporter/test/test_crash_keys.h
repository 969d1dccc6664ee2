// A table of crash keys as a client's memory holds it, built by tests:
// names and values that fill their arrays go without a terminator.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_

#include <wchar.h>

#include <string>
#include <vector>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

class TestCrashKeys {
 public:
  TestCrashKeys& Add(const std::wstring& name, const std::wstring& value) {
    crash_handler::CustomInfoEntry entry = {};
    wcsncpy(entry.name, name.c_str(), std::size(entry.name));
    wcsncpy(entry.value, value.c_str(), std::size(entry.value));
    entries_.push_back(entry);
    return *this;
  }

  // Valid until the next Add.
  crash_handler::CustomClientInfo info() const {
    return {entries_.data(), entries_.size()};
  }

 private:
  std::vector<crash_handler::CustomInfoEntry> entries_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_TEST_TEST_CRASH_KEYS_H_
