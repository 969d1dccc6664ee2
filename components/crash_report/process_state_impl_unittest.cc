#include "components/crash_report/process_state_impl.h"

#include <string.h>

#include <string>

#include "base/test/scoped_log_capture.h"
#include "components/crash_report/register_record.h"
#include "components/crash_report/test/crashed_child.h"
#include "components/crash_report/test/test_child_constants.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

const ModuleInfo* FindModule(const ProcessState& state, const char* name) {
  for (const auto& module : state.GetModules()) {
    if (!_stricmp(module->GetName(), name))
      return module.get();
  }
  return nullptr;
}

TEST(ProcessStateImplTest, ReadsTheCrashedChild) {
  CrashedChild child;
  ASSERT_TRUE(child.Start(3));
  ProcessStateImpl state;
  ASSERT_TRUE(state.Init(child.pid(), child.exception_pointers_address(),
                         child.thread_id_address(), {}));

  EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, state.GetExceptionCode());
  EXPECT_EQ(kFaultAddress, state.GetExceptionAddress());
  EXPECT_EQ(nullptr, state.GetExceptionName());

  // The crashed thread first, from its exception's context; then the three
  // waiting threads and the main one, which is the crashed one here.
  const auto& threads = state.GetThreads();
  ASSERT_EQ(4u, threads.size());
  EXPECT_EQ(child.crashed_thread_id(), threads[0]->GetThreadId());
  EXPECT_TRUE(threads[0]->IsCrashed());
  EXPECT_EQ(kFaultAddress, threads[0]->GetRegisters()->rip);
  EXPECT_EQ(kTestR12, threads[0]->GetRegisters()->r12);
  EXPECT_EQ(kTestR13, threads[0]->GetRegisters()->r13);
  EXPECT_GT(threads[0]->GetStackSize(), 0u);
  for (size_t i = 1; i < threads.size(); ++i) {
    EXPECT_FALSE(threads[i]->IsCrashed());
    EXPECT_NE(child.crashed_thread_id(), threads[i]->GetThreadId());
    EXPECT_NE(0u, threads[i]->GetRegisters()->rip);
    EXPECT_GT(threads[i]->GetStackSize(), 0u);
  }

  const ModuleInfo* main_module = state.GetMainModule();
  ASSERT_NE(nullptr, main_module);
  EXPECT_STREQ("crash_report_test_child.exe", main_module->GetName());
  EXPECT_NE(0u, main_module->GetTimestamp());
  EXPECT_GT(main_module->GetCodeSize(), 0u);
  const ModuleInfo* test_module =
      FindModule(state, "crash_report_test_module.dll");
  ASSERT_NE(nullptr, test_module);
  EXPECT_STREQ(kTestModuleVersion, test_module->GetVersion());
  const ModuleInfo* kernel32 = FindModule(state, "kernel32.dll");
  ASSERT_NE(nullptr, kernel32);
  EXPECT_STRNE("", kernel32->GetVersion());

  // Wine leaves the private usage at 0.
  EXPECT_GT(state.working_set_size(), 0u);
  EXPECT_GE(state.peak_working_set_size(), state.working_set_size());
  EXPECT_TRUE(state.IsReadable(child.marker_address()));
  EXPECT_FALSE(state.IsReadable(kFaultAddress));
}

TEST(ProcessStateImplTest, FailsWhenTheExceptionCannotBeRead) {
  CrashedChild child;
  ASSERT_TRUE(child.Start(0));
  ProcessStateImpl state;
  // The marker's bytes are no pointer to an EXCEPTION_POINTERS.
  EXPECT_FALSE(state.Init(child.pid(), child.marker_address(),
                          child.thread_id_address(), {}));
  EXPECT_FALSE(ProcessStateImpl().Init(0, 0, 0, {}));
}

}  // namespace
}  // namespace crash_report
