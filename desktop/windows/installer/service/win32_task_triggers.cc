#include "desktop/windows/installer/service/win32_task_triggers.h"

#include <wrl/client.h>

#include <utility>

#include "base/win/scoped_bstr.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/task_scheduler.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

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

}  // namespace

HRESULT AddTrigger(ITriggerCollection* triggers, const TaskTrigger& data) {
  HRESULT hr;
  ComPtr<ITrigger> trigger;
  if (!TaskStep(triggers->Create(data.type, &trigger), "creating a trigger",
                &hr) ||
      !TaskStep(trigger->put_Id(base::win::ScopedBstr(data.id)), "put_Id",
                &hr)) {
    return hr;
  }
  if (!data.start_boundary.empty() &&
      !TaskStep(trigger->put_StartBoundary(
                    base::win::ScopedBstr(data.start_boundary)),
                "put_StartBoundary", &hr)) {
    return hr;
  }
  if (!data.end_boundary.empty() &&
      !TaskStep(
          trigger->put_EndBoundary(base::win::ScopedBstr(data.end_boundary)),
          "put_EndBoundary", &hr)) {
    return hr;
  }
  return ApplyTriggerKind(trigger.Get(), data);
}

HRESULT ApplyTriggerKind(ITrigger* trigger, const TaskTrigger& data) {
  HRESULT hr = S_OK;
  switch (data.type) {
    case TASK_TRIGGER_DAILY: {
      ComPtr<IDailyTrigger> daily;
      if (!TaskStep(QueryFor(trigger, kIidIDailyTrigger, daily),
                    "IDailyTrigger", &hr) ||
          !TaskStep(daily->put_DaysInterval(data.days_interval),
                    "put_DaysInterval", &hr)) {
        return hr;
      }
      return S_OK;
    }
    case TASK_TRIGGER_LOGON: {
      ComPtr<ILogonTrigger> logon;
      if (!TaskStep(QueryFor(trigger, kIidILogonTrigger, logon),
                    "ILogonTrigger", &hr) ||
          !TaskStep(logon->put_Delay(base::win::ScopedBstr(data.delay)),
                    "put_Delay", &hr) ||
          !TaskStep(logon->put_UserId(base::win::ScopedBstr(data.user_id)),
                    "put_UserId", &hr)) {
        return hr;
      }
      return S_OK;
    }
    case TASK_TRIGGER_BOOT: {
      ComPtr<IBootTrigger> boot;
      if (!TaskStep(QueryFor(trigger, kIidIBootTrigger, boot), "IBootTrigger",
                    &hr) ||
          !TaskStep(boot->put_Delay(base::win::ScopedBstr(data.delay)),
                    "put_Delay", &hr)) {
        return hr;
      }
      return S_OK;
    }
    default:
      return S_OK;
  }
}

HRESULT ReadTriggers(ITriggerCollection* triggers,
                     std::vector<TaskTrigger>* result) {
  LONG count = 0;
  HRESULT hr = triggers->get_Count(&count);
  if (FAILED(hr))
    return hr;
  std::vector<TaskTrigger> read;
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<ITrigger> trigger;
    TaskTrigger data;
    hr = triggers->get_Item(i, &trigger);
    if (SUCCEEDED(hr))
      hr = trigger->get_Type(&data.type);
    if (FAILED(hr))
      return hr;
    base::win::ScopedBstr id;
    if (SUCCEEDED(trigger->get_Id(id.Receive())))
      data.id = base::win::BstrToString(id);
    ComPtr<IDailyTrigger> daily;
    if (data.type == TASK_TRIGGER_DAILY &&
        SUCCEEDED(QueryFor(trigger.Get(), kIidIDailyTrigger, daily))) {
      daily->get_DaysInterval(&data.days_interval);
    }
    read.push_back(std::move(data));
  }
  *result = std::move(read);
  return S_OK;
}

}  // namespace installer
