#include "base/threading/simple_thread.h"

#include "base/logging.h"

namespace base {

SimpleThread::SimpleThread(const std::string& name) : name_(name) {}

SimpleThread::~SimpleThread() {
  DCHECK(thread_.is_null()) << "thread " << name_ << " was not joined";
}

bool SimpleThread::Start() {
  DCHECK(!HasBeenStarted()) << "thread " << name_ << " started twice";
  if (PlatformThread::Create(0, this, &thread_))
    return true;
  LOG(ERROR) << "Could not start thread " << name_;
  return false;
}

void SimpleThread::Join() {
  DCHECK(!thread_.is_null())
      << "joining thread " << name_ << " that does not run";
  if (thread_.is_null())
    return;
  PlatformThread::Join(thread_);
  thread_ = PlatformThreadHandle();
  joined_ = true;
}

void SimpleThread::ThreadMain() {
  PlatformThread::SetName(name_);
  Run();
}

}  // namespace base
