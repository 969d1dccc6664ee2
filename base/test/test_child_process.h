// Command lines that start base_test_child.exe (child_process_main.cc),
// which is built next to the test executables.

#ifndef BASE_TEST_TEST_CHILD_PROCESS_H_
#define BASE_TEST_TEST_CHILD_PROCESS_H_

#include <string>

namespace base {

// The quoted path of the child executable followed by |arguments|, such as
// L"exit 7" or L"print text".
std::wstring TestChildCommandLine(const std::wstring& arguments);

}  // namespace base

#endif  // BASE_TEST_TEST_CHILD_PROCESS_H_
