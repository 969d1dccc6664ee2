#include "components/crash_report/text_crash_log.h"

#include <string.h>

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/string_util.h"
#include "base/test/planted_link.h"
#include "base/test/scoped_log_capture.h"
#include "components/crash_report/address_range_list.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/test/fake_process_state.h"
#include "gtest/gtest.h"

namespace crash_report {
namespace {

constexpr uint64_t kImageBase = 0x140000000;
constexpr uint64_t kStack = 0x50000;
constexpr uint64_t kHeap = 0x60000;

class TextCrashLogTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  // Writes the log of |state_|; its lines, which must all end in CR LF.
  bool WriteLog(std::vector<std::string>* lines) {
    base::FilePath path = dir_.GetPath().AppendASCII("log.txt");
    if (!WriteTextCrashLog(&ranges_, state_, info_, path))
      return false;
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path, &text));
    EXPECT_TRUE(base::EndsWith(text, "\r\n", base::CompareCase::SENSITIVE));
    lines->clear();
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      EXPECT_TRUE(end > start && text[end - 1] == '\r') << "a bare line feed";
      lines->push_back(text.substr(start, end - start - 1));
      start = end + 1;
    }
    return true;
  }

  static bool HasLine(const std::vector<std::string>& lines,
                      const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  static size_t CountPrefix(const std::vector<std::string>& lines,
                            const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
      return base::StartsWith(line, prefix, base::CompareCase::SENSITIVE);
    });
  }

  base::ScopedTempDir dir_;
  base::ScopedLogCapture log_;
  FakeProcessState state_;
  CrashInfo info_;
  AddressRangeList ranges_;
};

// A small process whose log is known line by line: this catches any drift
// of the printf family's widths and prefixes under this toolchain.
TEST_F(TextCrashLogTest, WritesEveryPartInItsFormat) {
  info_.version = "45.0.2531.0";
  info_.build_number = "816662";
  info_.metadata = {{"process_type", "installer"}, {"BuildID", "20170312"}};
  FakeModule* image = state_.AddModule("kelvo.exe", kImageBase, 0x5000);
  image->code_size = 0x3000;
  image->version = "45.0.2531.0";
  image->timestamp = 0x5F000001;
  state_.AddModule("kernel32.dll", 0x7FF800000000, 0xB2000);
  state_.main_module = image;
  state_.fault_code = 0xC0000005;
  state_.fault_address = kImageBase + 0x1234;
  state_.memory.MapZeros(kImageBase, 0x2000);
  state_.memory.MapZeros(kStack, 0x1000);
  std::vector<uint8_t> heap(0x1000);
  memcpy(heap.data() + 0x100, "KELVO-CRASH-TEST", 16);
  state_.memory.Map(kHeap, heap);

  FakeThread* thread = state_.AddThread(0x1A2B, true);
  thread->priority = -2;
  thread->stack_size = 48;
  RegisterRecord& r = thread->registers;
  r.rax = kHeap + 0x100;
  r.rbx = r.rax + 100;  // One merged range with RAX's.
  r.r8 = 1;             // Unreadable: not followed.
  r.rsp = kStack + 0xF00;
  r.rbp = kStack + 0xF10;  // In its own stack: not followed.
  r.rip = kImageBase + 0x1234;
  r.eflags = 0x10246;
  r.st[0] = {0x8000000000000000, 0x3FFF};
  r.status_word = 0x3800;
  r.control_word = 0x037F;
  r.xmm[0] = {0xFEDCBA9876543210, 0x0123456789ABCDEF};
  state_.memory.WriteWord(kStack + 0xF08, kImageBase + 0x1000);
  state_.memory.WriteWord(kStack + 0xF10, kStack + 0xF30);  // Saved RBP.
  state_.memory.WriteWord(kStack + 0xF18, 0x4142434445464748);

  std::vector<std::string> lines;
  ASSERT_TRUE(WriteLog(&lines));
  const std::vector<std::string> head(lines.begin(), lines.begin() + 13);
  EXPECT_EQ(std::vector<std::string>(
                {"KELVO-CRASHLOG V1 desktop 45.0.2531.0 816662 windows x64 "
                 "release",
                 "kelvo.exe caused exception C0000005 at address 000140001234 "
                 "(Base: 000140000000)",
                 "", "metadata:", "process_type=\"installer\"",
                 "BuildID=\"20170312\"", "", "Thread: 00001A2B", "",
                 "ThreadInfo: 00001A2B", "Priority=FFFFFFFE", "Crashed=1",
                 "checked_context_values=17 (all)"}),
            head);
  const std::string kEmptyDumpTail = std::string(39, ' ') + " ....";
  for (const std::string& line : std::vector<std::string>{
           // The used part of the stack and 128 bytes: 20 words.
           "checked_stack_values=20 (all)", "Registers: 00001A2B",
           "RAX=0000000000060100   RBX=0000000000060164   RCX=0000000000000000",
           " R8=0000000000000001    R9=0000000000000000   R10=0000000000000000",
           "RSP=0000000000050F00   RIP=0000000140001234 FLAGS=00010246",
           "FPU stack: 00001A2B",
           "st(0)=3FFF8000000000000000 st(1)=00000000000000000000 "
           "st(2)=00000000000000000000",
           "st(6)=00000000000000000000 st(7)=00000000000000000000 SW=3800 "
           "CW=037F",
           " XMM0=0123456789ABCDEFFEDCBA9876543210  "
           "XMM1=00000000000000000000000000000000",
           "XMM14=00000000000000000000000000000000 "
           "XMM15=00000000000000000000000000000000",
           // The saved-RBP chain is marked.
           "000000050F00  0000000000000000  0000000140001000  ...........@....",
           "000000050F10 >0000000000050F30  4142434445464748  0.......HGFEDCBA",
           "000000050F30 >0000000000000000  0000000000000000  ................",
           "kelvo.exe" + std::string(18, ' ') + "45.0.2531.0" +
               std::string(35, ' ') +
               " Base: 000140000000 Size: 00005000 Timestamp: 5F000001",
           "kernel32.dll" + std::string(15 + 46, ' ') +
               " Base: 7FF800000000 Size: 000B2000 Timestamp: 00000000",
           "000000060100  4B 45 4C 56  4F 2D 43 52  41 53 48 2D  54 45 53 54 "
           "KELVO-CRASH-TEST",
           "000000060560  00 00 00 00" + kEmptyDumpTail}) {
    EXPECT_TRUE(HasLine(lines, line)) << line;
  }
  EXPECT_EQ(10u, CountPrefix(lines, "000000050F"));

  // RAX and RBX give one range of 2148 bytes, whose unreadable first page
  // is left out of the dump; the code pointers of the stack and of RIP
  // give 32 bytes each.
  ASSERT_EQ(3u, ranges_.ranges().size());
  EXPECT_EQ(kHeap - 0x300, ranges_.ranges()[0].start);
  EXPECT_EQ(2148u, ranges_.ranges()[0].end - ranges_.ranges()[0].start);
  EXPECT_EQ(kImageBase + 0x1000 - 16, ranges_.ranges()[1].start);
  EXPECT_EQ(kImageBase + 0x1234 + 16, ranges_.ranges()[2].end);
  EXPECT_EQ(2148u + 64, ranges_.total());
  auto dumps = std::find(lines.begin(), lines.end(), "Memory dumps:");
  EXPECT_EQ(87 + 2 + 2,
            std::count_if(dumps + 1, lines.end(),
                          [](const auto& l) { return !l.empty(); }));
}

TEST_F(TextCrashLogTest, WritesAProcessWithoutMainModuleOrMetadata) {
  state_.fault_code = 0x80000003;
  state_.fault_address = 0x10;
  FakeThread* crashed = state_.AddThread(7, true);
  crashed->registers.rsp = 0x800;
  state_.AddThread(8, false)->registers.rsp = 0xFFF;

  std::vector<std::string> lines;
  ASSERT_TRUE(WriteLog(&lines));
  EXPECT_EQ(
      "<no name> caused exception 80000003 at address 000000000010 "
      "(Base: 000000000000)",
      lines[1]);
  EXPECT_FALSE(HasLine(lines, "metadata:"));
  // A stack pointer in the first page: no stack, and nothing left of it
  // to examine.
  EXPECT_EQ(2u, CountPrefix(lines, "checked_stack_values=0 (all)"));
  EXPECT_TRUE(HasLine(lines, "Stack dump: 00000008"));
  EXPECT_EQ(0u, ranges_.total());
  EXPECT_EQ("Memory dumps:", lines.back());
}

// After the crashed thread, the other threads share 614400 bytes: none may
// add more than 61440, and of a rest below that a thread leaves half to
// those after it, unless it is the last.
TEST_F(TextCrashLogTest, SharesTheMemoryBudgetAmongThreads) {
  constexpr uint64_t kData = 0x10000000;
  constexpr uint64_t kStride = 0x1000;
  state_.memory.MapZeros(kData, 400 * kStride);
  state_.memory.MapZeros(kStack, 0x2000);
  FakeThread* crashed = state_.AddThread(1, true);
  crashed->registers.rsp = kStack;
  crashed->stack_size = 0x2000;
  // 295 disjoint ranges of 2048 bytes and 240 more bytes: 604400 in all.
  for (uint64_t i = 0; i < 295; ++i)
    state_.memory.WriteWord(kStack + 8 * i, kData + 0x800 + i * kStride);
  state_.memory.WriteWord(kStack + 8 * 295, kData + 0x800 + 240);
  uint64_t next = kData + 0x800 + 300 * kStride;
  auto fresh_pointers = [&](FakeThread* thread) {
    thread->registers.rax = next;
    thread->registers.rbx = next + kStride;
    thread->registers.rcx = next + 2 * kStride;
    thread->registers.rdx = next + 3 * kStride;
    next += 4 * kStride;
  };
  // A rest of 10000: half of it, 5000, is used up by the third range.
  fresh_pointers(state_.AddThread(2, false));
  // A rest of 3856, all of it for the last thread: used up by the second.
  fresh_pointers(state_.AddThread(3, false));

  std::vector<std::string> lines;
  ASSERT_TRUE(WriteLog(&lines));
  EXPECT_TRUE(HasLine(lines, "checked_context_values=17 (all)"));
  EXPECT_TRUE(HasLine(lines, "checked_context_values=3"));
  EXPECT_TRUE(HasLine(lines, "checked_context_values=2"));
  EXPECT_EQ(604400u + 5 * 2048, ranges_.total());

  // Once the crashed thread has spent the budget, the others examine
  // nothing.
  for (uint64_t i = 0; i < 10; ++i)
    state_.memory.WriteWord(kStack + 8 * (296 + i),
                            kData + 0x800 + (310 + i) * kStride);
  ASSERT_TRUE(WriteLog(&lines));
  EXPECT_EQ(2,
            std::count(lines.begin(), lines.end(), "checked_context_values=0"));
  EXPECT_EQ(604400u + 10 * 2048, ranges_.total());
}

TEST_F(TextCrashLogTest, LogsAtMost499ThreadsButAlwaysTheCrashedOne) {
  for (uint32_t id = 1; id <= 600; ++id)
    state_.AddThread(id, false);
  state_.AddThread(0xC0DE, true);
  std::vector<std::string> lines;
  ASSERT_TRUE(WriteLog(&lines));
  EXPECT_EQ(500u, CountPrefix(lines, "Thread: "));
  EXPECT_TRUE(HasLine(lines, "Thread: 000001F3"));
  EXPECT_FALSE(HasLine(lines, "Thread: 000001F4"));
  EXPECT_TRUE(HasLine(lines, "Thread: 0000C0DE"));
}

// The crash folder is often the temporary folder: a link planted at the
// log's name led the log over a file elsewhere. The name is refused.
TEST_F(TextCrashLogTest, LinkAtTheLogNameIsNotWrittenThrough) {
  state_.AddThread(1, true);
  const base::FilePath victim = dir_.GetPath().AppendASCII("victim.txt");
  ASSERT_TRUE(base::WriteFile(victim, std::string_view("precious")));
  const base::FilePath path = dir_.GetPath().AppendASCII("log.txt");
  ASSERT_TRUE(base::test::MakeFileLink(path, victim));
  EXPECT_FALSE(WriteTextCrashLog(&ranges_, state_, info_, path));
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(victim, &text));
  EXPECT_EQ("precious", text);
  base::test::RemoveLink(path);
}

TEST_F(TextCrashLogTest, LeavesNoFileWhenItCannotBeWritten) {
  state_.AddThread(1, true);
  state_.has_reader = false;
  base::FilePath path = dir_.GetPath().AppendASCII("log.txt");
  EXPECT_FALSE(WriteTextCrashLog(&ranges_, state_, info_, path));
  EXPECT_FALSE(base::PathExists(path));
  state_.has_reader = true;
  EXPECT_FALSE(WriteTextCrashLog(&ranges_, state_, info_,
                                 dir_.GetPath().AppendASCII("no\\log.txt")));
}

}  // namespace
}  // namespace crash_report
