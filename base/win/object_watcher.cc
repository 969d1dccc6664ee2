#include "base/win/object_watcher.h"

#include "base/bind.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"

namespace base {
namespace win {

ObjectWatcher::ObjectWatcher() = default;

ObjectWatcher::~ObjectWatcher() {
  StopWatching();
}

bool ObjectWatcher::StartWatchingOnce(HANDLE object, Delegate* delegate) {
  DCHECK(delegate);
  DCHECK(!wait_object_) << "already watching an object";
  CHECK(MessageLoop::current()) << "watching needs a loop on this thread";
  if (!object) {
    LOG(ERROR) << "ObjectWatcher given no handle";
    return false;
  }
  task_runner_ = ThreadTaskRunnerHandle::Get();
  // Made here: the weak pointer is bound to this thread, where the posted
  // call runs.
  callback_ = BindRepeating(&ObjectWatcher::Signal, weak_factory_.GetWeakPtr(),
                            delegate);
  object_ = object;
  // DoneWaiting may run before this returns; it reads only what is set
  // above.
  if (!::RegisterWaitForSingleObject(
          &wait_object_, object, &DoneWaiting, this, INFINITE,
          WT_EXECUTEINWAITTHREAD | WT_EXECUTEONLYONCE)) {
    LOG(ERROR) << "RegisterWaitForSingleObject failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
    wait_object_ = nullptr;
    object_ = nullptr;
    callback_.Reset();
    task_runner_ = nullptr;
    return false;
  }
  MessageLoop::current()->AddDestructionObserver(this);
  return true;
}

bool ObjectWatcher::StopWatching() {
  if (!wait_object_)
    return false;
  DCHECK(task_runner_->BelongsToCurrentThread())
      << "StopWatching on another thread than StartWatchingOnce";
  // INVALID_HANDLE_VALUE: wait for a DoneWaiting that runs right now, so
  // that it cannot touch this object afterwards.
  if (!::UnregisterWaitEx(wait_object_, INVALID_HANDLE_VALUE)) {
    LOG(ERROR) << "UnregisterWaitEx failed: "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
  // Drops a Signal that DoneWaiting posted already.
  weak_factory_.InvalidateWeakPtrs();
  object_ = nullptr;
  wait_object_ = nullptr;
  callback_.Reset();
  task_runner_ = nullptr;
  MessageLoop::current()->RemoveDestructionObserver(this);
  return true;
}

bool ObjectWatcher::IsWatching() const {
  return wait_object_ != nullptr;
}

// static
void CALLBACK ObjectWatcher::DoneWaiting(void* param, BOOLEAN timed_out) {
  DCHECK(!timed_out);
  // On a thread of the pool: only post.
  ObjectWatcher* that = static_cast<ObjectWatcher*>(param);
  that->task_runner_->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("OnObjectSignaled"), that->callback_);
}

void ObjectWatcher::Signal(Delegate* delegate) {
  // The delegate may delete this watcher or start a new watch: finish the
  // old one first.
  HANDLE object = object_;
  StopWatching();
  delegate->OnObjectSignaled(object);
}

void ObjectWatcher::WillDestroyCurrentMessageLoop() {
  StopWatching();
}

}  // namespace win
}  // namespace base
