#include "base/run_loop.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"

namespace base {

namespace {

// Runs |closure| on |task_runner|'s thread: now when that is this thread.
void ProxyToTaskRunner(const scoped_refptr<SingleThreadTaskRunner>& task_runner,
                       const RepeatingClosure& closure) {
  if (task_runner->BelongsToCurrentThread()) {
    closure.Run();
    return;
  }
  task_runner->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("QuitClosure"),
                        closure);
}

}  // namespace

RunLoop::RunLoop() : RunLoop(nullptr) {}

RunLoop::RunLoop(MessagePumpDispatcher* dispatcher)
    : loop_(MessageLoop::current()),
      origin_task_runner_(loop_ ? loop_->task_runner() : nullptr),
      dispatcher_(dispatcher) {
  CHECK(loop_) << "a RunLoop needs a MessageLoop on its thread";
  DCHECK(!dispatcher_ || loop_->type() == MessageLoop::TYPE_UI)
      << "only a UI loop dispatches window messages";
}

RunLoop::~RunLoop() {
  DCHECK(!running_);
}

void RunLoop::Run() {
  if (!BeforeRun())
    return;
  loop_->RunHandler();
  AfterRun();
}

void RunLoop::RunUntilIdle() {
  quit_when_idle_received_ = true;
  Run();
}

void RunLoop::Quit() {
  DCHECK(origin_task_runner_->BelongsToCurrentThread());
  quit_called_ = true;
  // Only the innermost run can stop now; an outer one stops when the runs
  // inside it have returned (AfterRun).
  if (running_ && loop_->run_loop_ == this)
    loop_->QuitNow();
}

void RunLoop::QuitWhenIdle() {
  DCHECK(origin_task_runner_->BelongsToCurrentThread());
  quit_when_idle_received_ = true;
}

RepeatingClosure RunLoop::QuitClosure() {
  return BindRepeating(
      &ProxyToTaskRunner, origin_task_runner_,
      BindRepeating(&RunLoop::Quit, weak_factory_.GetWeakPtr()));
}

RepeatingClosure RunLoop::QuitWhenIdleClosure() {
  return BindRepeating(
      &ProxyToTaskRunner, origin_task_runner_,
      BindRepeating(&RunLoop::QuitWhenIdle, weak_factory_.GetWeakPtr()));
}

bool RunLoop::BeforeRun() {
  DCHECK_EQ(loop_, MessageLoop::current()) << "Run on another thread";
  DCHECK(!run_called_) << "a RunLoop runs once";
  run_called_ = true;
  if (quit_called_)
    return false;
  previous_run_loop_ = loop_->run_loop_;
  run_depth_ = previous_run_loop_ ? previous_run_loop_->run_depth_ + 1 : 1;
  loop_->run_loop_ = this;
  running_ = true;
  return true;
}

void RunLoop::AfterRun() {
  running_ = false;
  loop_->run_loop_ = previous_run_loop_;
  // An outer run that was told to quit meanwhile stops now.
  if (previous_run_loop_ && previous_run_loop_->quit_called_)
    loop_->QuitNow();
}

}  // namespace base
