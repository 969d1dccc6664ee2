#include "desktop/windows/crash_reporter/self_crash_reporter.h"

#include <string>

#include "components/crash_handler/runtime_crash.h"
#include "gtest/gtest.h"

namespace crash_reporter {
namespace {

// The record a crashing reporter leaves for the second one: its thread,
// its exception pointers, and an assertion whose texts fit their fields.
TEST(SelfCrashReporterTest, FillsTheRecordOfTheCrashingThread) {
  EXCEPTION_POINTERS pointers = {};
  CrashReporterExceptionInfo record = {};
  std::wstring long_text(200, L'e');
  FillCrashReporterExceptionInfo(
      &pointers,
      crash_handler::MakeInvalidParameterAssertion(long_text.c_str(), nullptr,
                                                   L"strcpy.c", 42),
      &record);
  EXPECT_EQ(::GetCurrentThreadId(), record.thread_id);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&pointers), record.exception_pointers);
  EXPECT_EQ(std::wstring(127, L'e'), record.assertion.expression);
  EXPECT_EQ(std::wstring(), record.assertion.function);
  EXPECT_EQ(std::wstring(L"strcpy.c"), record.assertion.file);
  EXPECT_EQ(42u, record.assertion.line);
  EXPECT_EQ(1u, record.assertion.type);
}

}  // namespace
}  // namespace crash_reporter
