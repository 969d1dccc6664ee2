#include "components/crash_report/stack_copy.h"

#include "base/test/scoped_log_capture.h"
#include "components/crash_report/test/fake_process_state.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

constexpr uint64_t kStackBase = 0x200000;

class StackCopyTest : public testing::Test {
 protected:
  StackCopy Read(const FakeThread& thread) {
    FakeMemoryReader reader(&memory_);
    return ReadStackCopy(&reader, thread);
  }

  base::ScopedLogCapture log_;
  FakeMemory memory_;
};

// A stack pointer whose own page cannot be read ends the shrinking with an
// empty copy after a page or two, wherever in its page it points.
TEST_F(StackCopyTest, StopsWhenTheStackPointersPageIsUnreadable) {
  for (uint64_t sp : {kStackBase, kStackBase + 0x10, kStackBase + 0xFF8}) {
    SCOPED_TRACE(sp);
    FakeThread thread(1, false);
    thread.registers.rsp = sp;
    int reads_before = memory_.read_count();
    StackCopy copy = Read(thread);
    EXPECT_TRUE(copy.bytes.empty());
    EXPECT_LE(memory_.read_count() - reads_before, 3);
  }
  FakeThread low(2, true);
  low.registers.rsp = 0xFF0;
  EXPECT_TRUE(Read(low).bytes.empty());
}

TEST_F(StackCopyTest, ShrinksToTheReadablePagesAndTrims) {
  memory_.MapZeros(kStackBase, 0x1800);
  FakeThread thread(1, false);
  thread.registers.rsp = kStackBase + 0x103;  // The low two bits go.
  thread.stack_size = 0x3000;
  // Up to the last non-zero byte in whole words, and 128 more.
  memory_.WriteWord(kStackBase + 0x100 + 0x20, 0xFF);
  StackCopy copy = Read(thread);
  EXPECT_EQ(kStackBase + 0x100, copy.start);
  EXPECT_EQ(0x28u + 128, copy.bytes.size());
  // Nothing in use: 128 bytes.
  memory_.WriteWord(kStackBase + 0x100 + 0x20, 0);
  EXPECT_EQ(128u, Read(thread).bytes.size());
  // Never more than could be read: the end shrank to the page boundary.
  memory_.WriteWord(kStackBase + 0xFF8, 1);
  EXPECT_EQ(0x1000u - 0x100, Read(thread).bytes.size());
}

TEST_F(StackCopyTest, KeepsTheFramesOfAThreadWithoutKnownStack) {
  memory_.MapZeros(kStackBase, 0x2000);
  FakeThread thread(1, false);
  thread.registers.rsp = kStackBase;
  thread.registers.rbp = kStackBase + 0x300;
  memory_.WriteWord(kStackBase + 0x300, kStackBase + 0x600);
  memory_.WriteWord(kStackBase + 0x600, kStackBase + 0x100);  // Goes back.
  // A word pointing deeper than the frame chain raises the extent.
  memory_.WriteWord(kStackBase + 0x10, kStackBase + 0x900);
  memory_.WriteWord(kStackBase + 0x1000, 0x1234);  // Beyond: not kept.
  EXPECT_EQ(0x900u + 128, Read(thread).bytes.size());
  // Without frames: at least 512 bytes and 128 more.
  thread.registers.rbp = 0;
  memory_.WriteWord(kStackBase + 0x10, 0);
  EXPECT_EQ(512u + 128, Read(thread).bytes.size());
  // The crashed thread keeps all that was read.
  FakeThread crashed(2, true);
  crashed.registers.rsp = kStackBase;
  EXPECT_EQ(0x2000u, Read(crashed).bytes.size());
}

}  // namespace
}  // namespace crash_report
