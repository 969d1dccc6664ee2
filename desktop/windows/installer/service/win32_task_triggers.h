// The triggers of a Task Scheduler 2.0 task definition in TaskTrigger's
// terms: made in the definition's trigger collection, and read back from
// it. Win32TaskService builds and reads definitions with these.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_TRIGGERS_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_TRIGGERS_H_

#include <windows.h>

#include <taskschd.h>

#include <vector>

#include "desktop/windows/installer/service/task_service.h"

namespace installer {

// The logon and boot triggers, which mingw-w64's taskschd.h leaves out; the
// methods follow ITrigger's in the order of Windows' own declaration. They
// are declared here, not inside a source file's anonymous namespace: a type
// that no other file can see is one that, as the compiler may conclude, no
// object implements, and it then turns every call through it into a pure
// virtual call.
struct ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
struct IBootTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};

// Creates a trigger of |data|'s type in |triggers|, sets its id and the
// boundaries |data| gives, then the members of its kind (ApplyTriggerKind).
// The first step that fails is logged and its result returned.
HRESULT AddTrigger(ITriggerCollection* triggers, const TaskTrigger& data);

// Sets on |trigger| the members that the kind |data.type| adds to
// ITrigger's: the interval of a daily trigger, the delay of a boot or logon
// trigger and the user of a logon trigger. Other kinds have none.
HRESULT ApplyTriggerKind(ITrigger* trigger, const TaskTrigger& data);

// The triggers of |triggers| in order, with their type, id and, for daily
// triggers, the interval. |*result| is left alone on failure.
HRESULT ReadTriggers(ITriggerCollection* triggers,
                     std::vector<TaskTrigger>* result);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_TASK_TRIGGERS_H_
