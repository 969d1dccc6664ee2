#include "base/threading/thread.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/run_loop.h"

namespace base {

Thread::Thread(const std::string& name) : name_(name) {}

Thread::~Thread() {
  Stop();
}

bool Thread::Start() {
  return StartWithOptions(Options());
}

bool Thread::StartWithOptions(const Options& options) {
  DCHECK(thread_.is_null()) << "thread " << name_ << " started twice";
  std::unique_ptr<MessageLoop> loop =
      MessageLoop::CreateUnbound(options.message_loop_type);
  scoped_refptr<SingleThreadTaskRunner> task_runner = loop->task_runner();
  {
    AutoLock lock(lock_);
    message_loop_ = std::move(loop);
    stopping_ = false;
    if (!PlatformThread::Create(options.stack_size, this, &thread_)) {
      LOG(ERROR) << "Could not start thread " << name_;
      message_loop_.reset();
      return false;
    }
  }
  // Tasks may be posted now; they wait until the thread runs its loop.
  task_runner_ = std::move(task_runner);
  return true;
}

void Thread::Stop() {
  if (thread_.is_null())
    return;
  StopSoon();
  PlatformThread::Join(thread_);
  thread_ = PlatformThreadHandle();
  stopping_ = false;
}

void Thread::StopSoon() {
  if (stopping_ || !task_runner_)
    return;
  stopping_ = true;
  task_runner_->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("Stop"),
                         BindOnce(&Thread::ThreadQuitHelper));
  // Posting from now on fails.
  task_runner_ = nullptr;
}

MessageLoop* Thread::message_loop() const {
  AutoLock lock(lock_);
  return message_loop_.get();
}

PlatformThreadId Thread::GetThreadId() const {
  AutoLock lock(lock_);
  return id_;
}

bool Thread::IsRunning() const {
  if (!thread_.is_null() && !stopping_)
    return true;
  AutoLock lock(lock_);
  return running_;
}

// static
void Thread::ThreadQuitHelper() {
  MessageLoop::current()->QuitWhenIdle();
}

void Thread::ThreadMain() {
  PlatformThread::SetName(name_);
  MessageLoop* loop;
  {
    AutoLock lock(lock_);
    id_ = PlatformThread::CurrentId();
    loop = message_loop_.get();
  }
  loop->BindToCurrentThread();
  Init();
  {
    AutoLock lock(lock_);
    running_ = true;
  }

  RunLoop().Run();

  {
    AutoLock lock(lock_);
    running_ = false;
  }
  CleanUp();
  // The loop goes on this thread: its pump and tasks belong here.
  std::unique_ptr<MessageLoop> owned_loop;
  {
    AutoLock lock(lock_);
    owned_loop = std::move(message_loop_);
  }
  owned_loop.reset();
}

}  // namespace base
