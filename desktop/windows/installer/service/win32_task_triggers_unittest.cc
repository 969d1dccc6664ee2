// The triggers of Task Scheduler 2.0 definitions. On the real service Wine
// makes daily triggers only, refuses their ids and cannot count a
// collection: those refusals are asserted, and a daily trigger's interval
// is set on Wine's own object and read back from it. The rest goes through
// recording stand-ins for the trigger collection and its triggers, whose
// logon and boot interfaces are declared here after Windows' own, apart
// from the product's declarations, so that a method out of place there
// lands in the wrong slot here.

#include "desktop/windows/installer/service/win32_task_triggers.h"

#include <windows.h>

#include <oleauto.h>
#include <taskschd.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/test/fake_com_object.h"
#include "gtest/gtest.h"

using Microsoft::WRL::ComPtr;

namespace installer {
namespace {

using base::win::BstrToString;
using test::FakeComObject;
using test::FakeDispatch;

// Windows' class and interface ids, written out independently of the
// product's: a wrong id there finds no stand-in here.
constexpr CLSID kClsidTaskScheduler = {
    0x0f87369f,
    0xa4e5,
    0x4cfc,
    {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
constexpr IID kIidITaskService = {
    0x2faba4c7,
    0x4da9,
    0x4013,
    {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};
constexpr IID kIidIDailyTrigger = {
    0x126c5cd8,
    0xb288,
    0x41d5,
    {0x8d, 0xbf, 0xe4, 0x91, 0x44, 0x6a, 0xdc, 0x5c}};
constexpr IID kIidILogonTrigger = {
    0x72dade38,
    0xfae4,
    0x4b3e,
    {0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c}};
constexpr IID kIidIBootTrigger = {
    0x2a9c35da,
    0xd357,
    0x41f4,
    {0xbb, 0xc1, 0x20, 0x7a, 0xc1, 0xb1, 0xf3, 0xcb}};

// Windows' ILogonTrigger and IBootTrigger: ITrigger's methods, then these.
struct WindowsLogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
struct WindowsBootTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};

using Calls = std::vector<std::wstring>;

// ITrigger's methods for a trigger of |type| that records what is set on
// it ("Id=...") into |calls| and refuses the member named |refused|.
template <typename Interface>
class FakeTrigger : public FakeDispatch<Interface> {
 public:
  FakeTrigger(TASK_TRIGGER_TYPE2 type, Calls* calls, std::wstring refused)
      : type_(type), calls_(calls), refused_(std::move(refused)) {}

  void set_id(const std::wstring& id) { id_ = id; }

  HRESULT STDMETHODCALLTYPE get_Type(TASK_TRIGGER_TYPE2* type) override {
    *type = type_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) override {
    *id = ::SysAllocString(id_.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override {
    return Record(L"Id", BstrToString(id));
  }
  HRESULT STDMETHODCALLTYPE get_Repetition(IRepetitionPattern**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_Repetition(IRepetitionPattern*) override {
    return Record(L"Repetition", L"");
  }
  HRESULT STDMETHODCALLTYPE get_ExecutionTimeLimit(BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR limit) override {
    return Record(L"ExecutionTimeLimit", BstrToString(limit));
  }
  HRESULT STDMETHODCALLTYPE get_StartBoundary(BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_StartBoundary(BSTR start) override {
    return Record(L"StartBoundary", BstrToString(start));
  }
  HRESULT STDMETHODCALLTYPE get_EndBoundary(BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_EndBoundary(BSTR end) override {
    return Record(L"EndBoundary", BstrToString(end));
  }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL) override {
    return Record(L"Enabled", L"");
  }

 protected:
  HRESULT Record(const std::wstring& member, const std::wstring& value) {
    calls_->push_back(member + L"=" + value);
    return member == refused_ ? E_INVALIDARG : S_OK;
  }

  const TASK_TRIGGER_TYPE2 type_;
  Calls* const calls_;
  const std::wstring refused_;
  std::wstring id_;
};

// A trigger of a kind without members of its own.
class FakePlainTrigger : public FakeTrigger<ITrigger> {
 public:
  using FakeTrigger::FakeTrigger;

 protected:
  bool Answers(REFIID iid) override { return FakeDispatch::Answers(iid); }
};

class FakeDailyTrigger : public FakeTrigger<IDailyTrigger> {
 public:
  using FakeTrigger::FakeTrigger;

  void set_days(short days) { days_ = days; }

  HRESULT STDMETHODCALLTYPE get_DaysInterval(short* days) override {
    *days = days_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_DaysInterval(short days) override {
    return Record(L"DaysInterval", base::NumberToString16(days));
  }
  HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR delay) override {
    return Record(L"RandomDelay", BstrToString(delay));
  }

 protected:
  bool Answers(REFIID iid) override {
    return iid == kIidIDailyTrigger || FakeDispatch::Answers(iid);
  }

 private:
  short days_ = 0;
};

class FakeLogonTrigger : public FakeTrigger<WindowsLogonTrigger> {
 public:
  using FakeTrigger::FakeTrigger;

  HRESULT STDMETHODCALLTYPE get_Delay(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) override {
    return Record(L"Delay", BstrToString(delay));
  }
  HRESULT STDMETHODCALLTYPE get_UserId(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) override {
    return Record(L"UserId", BstrToString(user));
  }

 protected:
  bool Answers(REFIID iid) override {
    return iid == kIidILogonTrigger || FakeDispatch::Answers(iid);
  }
};

class FakeBootTrigger : public FakeTrigger<WindowsBootTrigger> {
 public:
  using FakeTrigger::FakeTrigger;

  HRESULT STDMETHODCALLTYPE get_Delay(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) override {
    return Record(L"Delay", BstrToString(delay));
  }

 protected:
  bool Answers(REFIID iid) override {
    return iid == kIidIBootTrigger || FakeDispatch::Answers(iid);
  }
};

// A trigger collection that makes recording triggers of their kind
// ("Create TYPE" first), or of no kind with |plain|, and lists the
// triggers the test gives it.
class FakeTriggerCollection : public FakeDispatch<ITriggerCollection> {
 public:
  Calls& calls() { return calls_; }
  // The members that new triggers refuse; Create itself with "Create".
  void Refuse(const std::wstring& member) { refused_ = member; }
  // New triggers answer no interface of their kind.
  void set_plain(bool plain) { plain_ = plain; }
  void AddTrigger(ComPtr<ITrigger> trigger) {
    triggers_.push_back(std::move(trigger));
  }

  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = static_cast<LONG>(triggers_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, ITrigger** trigger) override {
    if (index < 1 || index > static_cast<LONG>(triggers_.size()))
      return E_INVALIDARG;
    *trigger = ComPtr<ITrigger>(triggers_[index - 1]).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type,
                                   ITrigger** trigger) override {
    calls_.push_back(L"Create " +
                     base::NumberToString16(static_cast<int>(type)));
    if (refused_ == L"Create")
      return E_NOTIMPL;
    ComPtr<ITrigger> made;
    if (plain_)
      made = new FakePlainTrigger(type, &calls_, refused_);
    else if (type == TASK_TRIGGER_DAILY)
      made = new FakeDailyTrigger(type, &calls_, refused_);
    else if (type == TASK_TRIGGER_LOGON)
      made = new FakeLogonTrigger(type, &calls_, refused_);
    else if (type == TASK_TRIGGER_BOOT)
      made = new FakeBootTrigger(type, &calls_, refused_);
    else
      made = new FakePlainTrigger(type, &calls_, refused_);
    *trigger = made.Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }

 protected:
  bool Answers(REFIID iid) override { return FakeDispatch::Answers(iid); }

 private:
  Calls calls_;
  std::wstring refused_;
  bool plain_ = false;
  std::vector<ComPtr<ITrigger>> triggers_;
};

TaskTrigger DailyRun() {
  TaskTrigger trigger;
  trigger.type = TASK_TRIGGER_DAILY;
  trigger.id = L"Daily run";
  trigger.start_boundary = L"2024-05-06T07:08:09";
  trigger.days_interval = 1;
  return trigger;
}

TaskTrigger LogonRun() {
  TaskTrigger trigger;
  trigger.type = TASK_TRIGGER_LOGON;
  trigger.id = L"Logon run";
  trigger.start_boundary = L"2024-05-06T07:08:09";
  trigger.delay = L"PT5M";
  trigger.user_id = L"WORKGROUP\\user";
  return trigger;
}

TaskTrigger BootRun() {
  TaskTrigger trigger;
  trigger.type = TASK_TRIGGER_BOOT;
  trigger.id = L"Boot run";
  trigger.start_boundary = L"2024-05-06T07:08:09";
  trigger.delay = L"PT5M";
  return trigger;
}

TaskTrigger RunOnce() {
  TaskTrigger trigger;
  trigger.type = TASK_TRIGGER_REGISTRATION;
  trigger.id = L"Run once";
  trigger.end_boundary = L"2024-05-06T07:08:39";
  return trigger;
}

// Each kind gets its id, its boundaries and its own members, in the slots
// of Windows' interfaces.
TEST(Win32TaskTriggersTest, AddsEachKindWithItsMembers) {
  const struct {
    TaskTrigger trigger;
    Calls calls;
  } kCases[] = {
      {DailyRun(),
       {L"Create 2", L"Id=Daily run", L"StartBoundary=2024-05-06T07:08:09",
        L"DaysInterval=1"}},
      {LogonRun(),
       {L"Create 9", L"Id=Logon run", L"StartBoundary=2024-05-06T07:08:09",
        L"Delay=PT5M", L"UserId=WORKGROUP\\user"}},
      {BootRun(),
       {L"Create 8", L"Id=Boot run", L"StartBoundary=2024-05-06T07:08:09",
        L"Delay=PT5M"}},
      {RunOnce(),
       {L"Create 7", L"Id=Run once", L"EndBoundary=2024-05-06T07:08:39"}},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.trigger.type);
    ComPtr<FakeTriggerCollection> triggers(new FakeTriggerCollection());
    EXPECT_HRESULT_SUCCEEDED(AddTrigger(triggers.Get(), test.trigger));
    EXPECT_EQ(test.calls, triggers->calls());
  }
}

// The first step that fails ends the trigger, logged, with its result; a
// trigger that answers no interface of its kind fails too.
TEST(Win32TaskTriggersTest, FailingStepsEndTheTrigger) {
  const struct {
    TaskTrigger trigger;
    const wchar_t* refused;
    HRESULT result;
    size_t calls;
    const char* log;
  } kCases[] = {
      {DailyRun(), L"Create", E_NOTIMPL, 1, "creating a trigger failed"},
      {DailyRun(), L"Id", E_INVALIDARG, 2, "put_Id failed"},
      {DailyRun(), L"StartBoundary", E_INVALIDARG, 3,
       "put_StartBoundary failed"},
      {RunOnce(), L"EndBoundary", E_INVALIDARG, 3, "put_EndBoundary failed"},
      {DailyRun(), L"DaysInterval", E_INVALIDARG, 4, "put_DaysInterval failed"},
      {LogonRun(), L"Delay", E_INVALIDARG, 4, "put_Delay failed"},
      {LogonRun(), L"UserId", E_INVALIDARG, 5, "put_UserId failed"},
      {BootRun(), L"Delay", E_INVALIDARG, 4, "put_Delay failed"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.refused);
    ComPtr<FakeTriggerCollection> triggers(new FakeTriggerCollection());
    triggers->Refuse(test.refused);
    base::ScopedLogCapture log;
    EXPECT_EQ(test.result, AddTrigger(triggers.Get(), test.trigger));
    EXPECT_EQ(test.calls, triggers->calls().size());
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR, test.log));
  }
  for (const TaskTrigger& trigger : {DailyRun(), LogonRun(), BootRun()}) {
    SCOPED_TRACE(trigger.type);
    ComPtr<FakeTriggerCollection> triggers(new FakeTriggerCollection());
    triggers->set_plain(true);
    EXPECT_EQ(E_NOINTERFACE, AddTrigger(triggers.Get(), trigger));
  }
}

// Reading gives every trigger's type and id in order, and the interval of
// daily ones.
TEST(Win32TaskTriggersTest, ReadsTheTriggersBack) {
  ComPtr<FakeTriggerCollection> triggers(new FakeTriggerCollection());
  Calls ignored;
  ComPtr<FakeDailyTrigger> daily(
      new FakeDailyTrigger(TASK_TRIGGER_DAILY, &ignored, L""));
  daily->set_id(L"Daily run");
  daily->set_days(7);
  ComPtr<FakeLogonTrigger> logon(
      new FakeLogonTrigger(TASK_TRIGGER_LOGON, &ignored, L""));
  logon->set_id(L"Logon run");
  triggers->AddTrigger(static_cast<ITrigger*>(daily.Get()));
  triggers->AddTrigger(static_cast<ITrigger*>(logon.Get()));

  std::vector<TaskTrigger> read;
  ASSERT_HRESULT_SUCCEEDED(ReadTriggers(triggers.Get(), &read));

  ASSERT_EQ(2u, read.size());
  EXPECT_EQ(TASK_TRIGGER_DAILY, read[0].type);
  EXPECT_EQ(L"Daily run", read[0].id);
  EXPECT_EQ(7, read[0].days_interval);
  EXPECT_EQ(TASK_TRIGGER_LOGON, read[1].type);
  EXPECT_EQ(L"Logon run", read[1].id);
  EXPECT_EQ(0, read[1].days_interval);
}

// Wine's own trigger collection: a daily trigger takes its interval, which
// Wine's object then reports; its id, every other kind and counting the
// collection are refused.
TEST(Win32TaskTriggersTest, WinesTriggersAsFarAsTheyGo) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  ComPtr<ITaskService> service;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(
      kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidITaskService,
      reinterpret_cast<void**>(service.GetAddressOf())));
  base::win::ScopedVariant empty;
  ASSERT_HRESULT_SUCCEEDED(service->Connect(
      *empty.AsInput(), *empty.AsInput(), *empty.AsInput(), *empty.AsInput()));
  ComPtr<ITaskDefinition> definition;
  ASSERT_HRESULT_SUCCEEDED(service->NewTask(0, &definition));
  ComPtr<ITriggerCollection> triggers;
  ASSERT_HRESULT_SUCCEEDED(definition->get_Triggers(&triggers));

  ComPtr<ITrigger> trigger;
  ASSERT_HRESULT_SUCCEEDED(triggers->Create(TASK_TRIGGER_DAILY, &trigger));
  TaskTrigger every_third_day = DailyRun();
  every_third_day.days_interval = 3;
  ASSERT_HRESULT_SUCCEEDED(ApplyTriggerKind(trigger.Get(), every_third_day));
  ComPtr<IDailyTrigger> daily;
  ASSERT_HRESULT_SUCCEEDED(trigger->QueryInterface(
      kIidIDailyTrigger, reinterpret_cast<void**>(daily.GetAddressOf())));
  short days = 0;
  ASSERT_HRESULT_SUCCEEDED(daily->get_DaysInterval(&days));
  EXPECT_EQ(3, days);

  const struct {
    TaskTrigger trigger;
    const char* log;
  } kRefused[] = {
      {DailyRun(), "put_Id failed"},
      {LogonRun(), "creating a trigger failed"},
      {BootRun(), "creating a trigger failed"},
      {RunOnce(), "creating a trigger failed"},
  };
  for (const auto& test : kRefused) {
    SCOPED_TRACE(test.trigger.type);
    base::ScopedLogCapture log;
    EXPECT_EQ(E_NOTIMPL, AddTrigger(triggers.Get(), test.trigger));
    EXPECT_TRUE(log.Contains(logging::LOG_ERROR, test.log));
  }
  std::vector<TaskTrigger> read = {DailyRun()};
  EXPECT_EQ(E_NOTIMPL, ReadTriggers(triggers.Get(), &read));
  EXPECT_EQ(1u, read.size());
}

}  // namespace
}  // namespace installer
