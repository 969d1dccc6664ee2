#include "base/message_loop/message_pump_for_ui.h"

#include <windows.h>

#include <memory>

#include "base/time/time.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// Every SetTimer and KillTimer call of this executable, where the pump is
// linked in: under Wine each is a round trip to the server.
int g_set_timer_calls = 0;
int g_kill_timer_calls = 0;
decltype(&::SetTimer) g_real_set_timer = nullptr;
decltype(&::KillTimer) g_real_kill_timer = nullptr;

UINT_PTR WINAPI CountingSetTimer(HWND hwnd,
                                 UINT_PTR id,
                                 UINT elapse,
                                 TIMERPROC proc) {
  ++g_set_timer_calls;
  return g_real_set_timer(hwnd, id, elapse, proc);
}

BOOL WINAPI CountingKillTimer(HWND hwnd, UINT_PTR id) {
  ++g_kill_timer_calls;
  return g_real_kill_timer(hwnd, id);
}

// Points this executable's import of |original| at |replacement| while it
// lives.
class ScopedImportPatch {
 public:
  ScopedImportPatch(void* original, void* replacement) {
    auto* image = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!original || !imports.VirtualAddress)
      return;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
             image + imports.VirtualAddress);
         module->Name && !slot_; ++module) {
      for (auto* thunk =
               reinterpret_cast<IMAGE_THUNK_DATA*>(image + module->FirstThunk);
           thunk->u1.Function; ++thunk) {
        if (reinterpret_cast<void*>(thunk->u1.Function) == original) {
          slot_ = reinterpret_cast<void**>(&thunk->u1.Function);
          break;
        }
      }
    }
    if (slot_)
      Write(replacement);
    original_ = original;
  }
  ScopedImportPatch(const ScopedImportPatch&) = delete;
  ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;
  ~ScopedImportPatch() {
    if (slot_)
      Write(original_);
  }

  bool patched() const { return slot_ != nullptr; }

 private:
  void Write(void* value) {
    DWORD protection = 0;
    ::VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &protection);
    *slot_ = value;
    ::VirtualProtect(slot_, sizeof(*slot_), protection, &protection);
  }

  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// Keeps the pump busy for a number of loop passes, as a run of immediate
// tasks does, and reports a given earliest delayed time.
class BusyDelegate : public MessagePump::Delegate {
 public:
  explicit BusyDelegate(MessagePump* pump) : pump_(pump) {}

  // Runs the pump for |passes| passes that all report |next|.
  void RunPasses(int passes, TimeTicks next) {
    passes_left_ = passes;
    next_ = next;
    pump_->Run(this);
  }

  bool DoWork() override {
    if (--passes_left_ <= 0)
      pump_->Quit();
    return true;
  }
  bool DoDelayedWork(TimeTicks* next_delayed_work_time) override {
    *next_delayed_work_time = next_;
    return false;
  }
  bool DoIdleWork() override { return false; }

 private:
  MessagePump* pump_;
  int passes_left_ = 0;
  TimeTicks next_;
};

class MessagePumpForUITimerTest : public testing::Test {
 protected:
  void SetUp() override {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    ASSERT_TRUE(user32);
    g_real_set_timer = reinterpret_cast<decltype(&::SetTimer)>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetTimer")));
    g_real_kill_timer = reinterpret_cast<decltype(&::KillTimer)>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "KillTimer")));
    set_patch_ = std::make_unique<ScopedImportPatch>(
        reinterpret_cast<void*>(g_real_set_timer),
        reinterpret_cast<void*>(&CountingSetTimer));
    kill_patch_ = std::make_unique<ScopedImportPatch>(
        reinterpret_cast<void*>(g_real_kill_timer),
        reinterpret_cast<void*>(&CountingKillTimer));
    ASSERT_TRUE(set_patch_->patched() && kill_patch_->patched());
    g_set_timer_calls = 0;
    g_kill_timer_calls = 0;
  }
  void TearDown() override {
    kill_patch_.reset();
    set_patch_.reset();
  }

  std::unique_ptr<ScopedImportPatch> set_patch_;
  std::unique_ptr<ScopedImportPatch> kill_patch_;
};

constexpr int kPasses = 200;

TEST_F(MessagePumpForUITimerTest, ArmedOnlyWhenTheEarliestTimeChanges) {
  MessagePumpForUI pump;
  BusyDelegate delegate(&pump);
  const TimeTicks later = TimeTicks::Now() + TimeDelta::FromSeconds(60);
  const TimeTicks sooner = later - TimeDelta::FromSeconds(30);

  // Busy passes with delayed work pending arm the timer once.
  delegate.RunPasses(kPasses, later);
  EXPECT_EQ(1, g_set_timer_calls);
  delegate.RunPasses(kPasses, later);
  EXPECT_EQ(1, g_set_timer_calls);
  // Each new earliest time, sooner or later, arms it once again.
  delegate.RunPasses(kPasses, sooner);
  EXPECT_EQ(2, g_set_timer_calls);
  delegate.RunPasses(kPasses, later);
  EXPECT_EQ(3, g_set_timer_calls);
  EXPECT_EQ(0, g_kill_timer_calls);

  // A task that posts one: told before it can enter a modal loop.
  pump.ScheduleDelayedWork(sooner);
  EXPECT_EQ(4, g_set_timer_calls);
  pump.ScheduleDelayedWork(sooner);
  EXPECT_EQ(4, g_set_timer_calls);
  EXPECT_EQ(0, g_kill_timer_calls);
}

TEST_F(MessagePumpForUITimerTest, KilledOnlyWhenNoDelayedWorkRemains) {
  MessagePumpForUI pump;
  BusyDelegate delegate(&pump);
  // Nothing delayed at all: no timer calls.
  delegate.RunPasses(kPasses, TimeTicks());
  EXPECT_EQ(0, g_set_timer_calls);
  EXPECT_EQ(0, g_kill_timer_calls);

  const TimeTicks next = TimeTicks::Now() + TimeDelta::FromSeconds(60);
  delegate.RunPasses(kPasses, next);
  delegate.RunPasses(kPasses, TimeTicks());
  EXPECT_EQ(1, g_set_timer_calls);
  EXPECT_EQ(1, g_kill_timer_calls);
  delegate.RunPasses(kPasses, TimeTicks());
  EXPECT_EQ(1, g_kill_timer_calls);
  // The same time again, as when a task that did not allow nestable tasks
  // ends: the loop reports nothing delayed while such a task runs.
  delegate.RunPasses(kPasses, next);
  EXPECT_EQ(2, g_set_timer_calls);
  EXPECT_EQ(1, g_kill_timer_calls);
}

// Pumps messages as a native modal loop does, until |until| or the time is
// up; counts the WM_TIMER messages it dispatches.
int PumpMessagesCountingTimers(TimeDelta max_time, const int* until) {
  const TimeTicks end = TimeTicks::Now() + max_time;
  int timers = 0;
  while (TimeTicks::Now() < end && (!until || !*until)) {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER)
        ++timers;
      ::DispatchMessageW(&msg);
    } else {
      ::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, 0);
    }
  }
  return timers;
}

// A modal loop outside Run (before the loop runs, or after it returned)
// cannot run tasks: the timer stops there, and the next Run sets it again.
TEST_F(MessagePumpForUITimerTest, ATimerOutsideRunStopsUntilRunSetsItAgain) {
  MessagePumpForUI pump;
  BusyDelegate delegate(&pump);
  // Two passes, over long before the timer is due: the second ends Run.
  const TimeTicks next = TimeTicks::Now() + TimeDelta::FromMilliseconds(200);
  delegate.RunPasses(2, next);
  ASSERT_EQ(1, g_set_timer_calls);
  int timers = PumpMessagesCountingTimers(TimeDelta::FromSeconds(10),
                                          &g_kill_timer_calls);
  EXPECT_EQ(1, timers);
  EXPECT_EQ(1, g_kill_timer_calls);
  // A timer left armed would tick every 200 ms.
  EXPECT_EQ(0, PumpMessagesCountingTimers(TimeDelta::FromSeconds(1), nullptr));
  delegate.RunPasses(2, next);
  EXPECT_EQ(2, g_set_timer_calls);
  EXPECT_EQ(1, g_kill_timer_calls);
}

}  // namespace
}  // namespace base
