#include "base/message_loop/message_loop.h"

#include <utility>

#include "base/logging.h"
#include "base/message_loop/message_pump_default.h"
#include "base/message_loop/message_pump_for_io.h"
#include "base/message_loop/message_pump_for_ui.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"

namespace base {

namespace {

thread_local MessageLoop* g_current_loop = nullptr;

std::unique_ptr<MessagePump> CreatePump(MessageLoop::Type type) {
  switch (type) {
    case MessageLoop::TYPE_UI:
      return std::make_unique<MessagePumpForUI>();
    case MessageLoop::TYPE_IO:
      return std::make_unique<MessagePumpForIO>();
    case MessageLoop::TYPE_DEFAULT:
      break;
  }
  return std::make_unique<MessagePumpDefault>();
}

}  // namespace

MessageLoop::ScopedNestableTaskAllower::ScopedNestableTaskAllower(
    MessageLoop* loop)
    : loop_(loop), old_state_(loop->NestableTasksAllowed()) {
  loop_->SetNestableTasksAllowed(true);
}

MessageLoop::ScopedNestableTaskAllower::~ScopedNestableTaskAllower() {
  loop_->SetNestableTasksAllowed(old_state_);
}

MessageLoop::MessageLoop(Type type) : MessageLoop(type, true) {}

MessageLoop::MessageLoop(Type type, bool bind_now)
    : type_(type),
      task_runner_(MakeRefCounted<internal::MessageLoopTaskRunner>()) {
  if (bind_now)
    BindToCurrentThread();
}

// static
std::unique_ptr<MessageLoop> MessageLoop::CreateUnbound(Type type) {
  return std::unique_ptr<MessageLoop>(new MessageLoop(type, false));
}

void MessageLoop::BindToCurrentThread() {
  CHECK(!g_current_loop) << "a thread can have only one message loop";
  DCHECK(!pump_) << "the loop is bound already";
  pump_ = CreatePump(type_);
  g_current_loop = this;
  task_runner_->BindToCurrentThread(pump_.get());
  thread_task_runner_handle_ =
      std::make_unique<ThreadTaskRunnerHandle>(task_runner_);
}

MessageLoop::~MessageLoop() {
  DCHECK(!pump_ || g_current_loop == this)
      << "a loop is destroyed on its own thread";
  DCHECK(!run_loop_) << "destroyed while running";

  // Deleting a task may post more (a DeleteSoon in a destructor, say), so
  // go round a few times.
  bool did_work = false;
  for (int i = 0; i < 100; ++i) {
    DeletePendingTasks();
    ReloadWorkQueue();
    did_work = DeletePendingTasks();
    if (!did_work)
      break;
  }
  DCHECK(!did_work) << "tasks keep posting tasks while the loop goes away";

  for (auto& observer : destruction_observers_)
    observer.WillDestroyCurrentMessageLoop();

  thread_task_runner_handle_.reset();
  task_runner_->WillDestroyCurrentMessageLoop();
  // Whatever was posted in the meantime is dropped now.
  ReloadWorkQueue();
  DeletePendingTasks();
  if (g_current_loop == this)
    g_current_loop = nullptr;
}

// static
MessageLoop* MessageLoop::current() {
  return g_current_loop;
}

scoped_refptr<SingleThreadTaskRunner> MessageLoop::task_runner() const {
  return task_runner_;
}

void MessageLoop::QuitWhenIdle() {
  DCHECK_EQ(this, current());
  if (run_loop_)
    run_loop_->QuitWhenIdle();
  else
    NOTREACHED() << "QuitWhenIdle on a loop that does not run";
}

void MessageLoop::QuitNow() {
  DCHECK_EQ(this, current());
  if (run_loop_)
    pump_->Quit();
  else
    NOTREACHED() << "QuitNow on a loop that does not run";
}

void MessageLoop::SetNestableTasksAllowed(bool allowed) {
  if (allowed && !nestable_tasks_allowed_ && pump_) {
    // Work may be waiting that the loop declined so far.
    pump_->ScheduleWork();
  }
  nestable_tasks_allowed_ = allowed;
}

void MessageLoop::AddDestructionObserver(DestructionObserver* observer) {
  DCHECK_EQ(this, current());
  destruction_observers_.AddObserver(observer);
}

void MessageLoop::RemoveDestructionObserver(DestructionObserver* observer) {
  DCHECK_EQ(this, current());
  destruction_observers_.RemoveObserver(observer);
}

void MessageLoop::RunHandler() {
  DCHECK_EQ(this, current());
  // A run loop inside a task runs the tasks posted meanwhile.
  bool outer_nestable_tasks_allowed = nestable_tasks_allowed_;
  nestable_tasks_allowed_ = true;
  if (run_loop_->dispatcher_) {
    DCHECK_EQ(type_, TYPE_UI) << "only a UI loop has a dispatcher";
    static_cast<MessagePumpForUI*>(pump_.get())
        ->RunWithDispatcher(this, run_loop_->dispatcher_);
  } else {
    pump_->Run(this);
  }
  nestable_tasks_allowed_ = outer_nestable_tasks_allowed;
}

void MessageLoop::ReloadWorkQueue() {
  // Tasks already taken run first; the queue is refilled only when empty.
  if (work_queue_.empty())
    task_runner_->ReloadWorkQueue(&work_queue_);
}

bool MessageLoop::DeferOrRunPendingTask(PendingTask pending_task) {
  if (pending_task.nestable || run_loop_->run_depth_ == 1) {
    RunTask(&pending_task);
    return true;
  }
  deferred_non_nestable_work_queue_.push(std::move(pending_task));
  return false;
}

void MessageLoop::RunTask(PendingTask* pending_task) {
  DCHECK(nestable_tasks_allowed_);
  nestable_tasks_allowed_ = false;
  std::move(pending_task->task).Run();
  nestable_tasks_allowed_ = true;
}

void MessageLoop::AddToDelayedWorkQueue(PendingTask pending_task) {
  delayed_work_queue_.push(std::move(pending_task));
}

bool MessageLoop::ProcessNextDelayedNonNestableTask() {
  if (run_loop_->run_depth_ != 1 || deferred_non_nestable_work_queue_.empty())
    return false;
  PendingTask pending_task =
      std::move(deferred_non_nestable_work_queue_.front());
  deferred_non_nestable_work_queue_.pop();
  RunTask(&pending_task);
  return true;
}

bool MessageLoop::DeletePendingTasks() {
  bool did_work = !work_queue_.empty() || !delayed_work_queue_.empty() ||
                  !deferred_non_nestable_work_queue_.empty();
  // Each task is destroyed after it left the queue, so that a destructor
  // that touches the loop sees consistent queues.
  while (!work_queue_.empty()) {
    PendingTask task = std::move(work_queue_.front());
    work_queue_.pop();
  }
  while (!deferred_non_nestable_work_queue_.empty()) {
    PendingTask task = std::move(deferred_non_nestable_work_queue_.front());
    deferred_non_nestable_work_queue_.pop();
  }
  while (!delayed_work_queue_.empty()) {
    PendingTask task =
        std::move(const_cast<PendingTask&>(delayed_work_queue_.top()));
    delayed_work_queue_.pop();
  }
  return did_work;
}

bool MessageLoop::DoWork() {
  if (!nestable_tasks_allowed_)
    return false;  // Inside a task: its own loop must not run others.
  for (;;) {
    ReloadWorkQueue();
    if (work_queue_.empty())
      return false;
    do {
      PendingTask pending_task = std::move(work_queue_.front());
      work_queue_.pop();
      if (!pending_task.delayed_run_time.is_null()) {
        int sequence_num = pending_task.sequence_num;
        TimeTicks run_time = pending_task.delayed_run_time;
        AddToDelayedWorkQueue(std::move(pending_task));
        // A new earliest delayed task moves the pump's wake-up time.
        if (delayed_work_queue_.top().sequence_num == sequence_num)
          pump_->ScheduleDelayedWork(run_time);
      } else if (DeferOrRunPendingTask(std::move(pending_task))) {
        return true;
      }
    } while (!work_queue_.empty());
  }
}

bool MessageLoop::DoDelayedWork(TimeTicks* next_delayed_work_time) {
  if (!nestable_tasks_allowed_ || delayed_work_queue_.empty()) {
    recent_time_ = *next_delayed_work_time = TimeTicks();
    return false;
  }
  TimeTicks next_run_time = delayed_work_queue_.top().delayed_run_time;
  if (next_run_time > recent_time_) {
    recent_time_ = TimeTicks::Now();
    if (next_run_time > recent_time_) {
      *next_delayed_work_time = next_run_time;
      return false;
    }
  }
  PendingTask pending_task =
      std::move(const_cast<PendingTask&>(delayed_work_queue_.top()));
  delayed_work_queue_.pop();
  if (delayed_work_queue_.empty())
    *next_delayed_work_time = TimeTicks();
  else
    *next_delayed_work_time = delayed_work_queue_.top().delayed_run_time;
  return DeferOrRunPendingTask(std::move(pending_task));
}

bool MessageLoop::DoIdleWork() {
  if (ProcessNextDelayedNonNestableTask())
    return true;
  if (run_loop_->quit_when_idle_received_)
    pump_->Quit();
  return false;
}

// static
MessageLoopForUI* MessageLoopForUI::current() {
  MessageLoop* loop = MessageLoop::current();
  DCHECK(loop && loop->type() == TYPE_UI) << "no UI loop on this thread";
  return static_cast<MessageLoopForUI*>(loop);
}

// static
MessageLoopForIO* MessageLoopForIO::current() {
  MessageLoop* loop = MessageLoop::current();
  DCHECK(loop && loop->type() == TYPE_IO) << "no I/O loop on this thread";
  return static_cast<MessageLoopForIO*>(loop);
}

bool MessageLoopForIO::RegisterIOHandler(HANDLE file_handle,
                                         IOHandler* handler) {
  return io_pump()->RegisterIOHandler(file_handle, handler);
}

bool MessageLoopForIO::WaitForIOCompletion(DWORD timeout_ms,
                                           IOHandler* filter) {
  return io_pump()->WaitForIOCompletion(timeout_ms, filter);
}

MessagePumpForIO* MessageLoopForIO::io_pump() const {
  DCHECK_EQ(type(), TYPE_IO);
  return static_cast<MessagePumpForIO*>(pump());
}

}  // namespace base
