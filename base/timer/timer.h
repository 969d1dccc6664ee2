// Timers that run a task on the current thread's loop after a delay.
//
//   base::OneShotTimer timer_;
//   timer_.Start(FROM_HERE, base::TimeDelta::FromSeconds(6),
//                base::BindOnce(&Downloader::Retry, base::Unretained(this)));
//
// A timer is started, stopped, reset and destroyed on one thread, the one
// its task runs on. Destroying or stopping it cancels the pending run, so
// binding the owner with Unretained is safe when the owner owns the timer.

#ifndef BASE_TIMER_TIMER_H_
#define BASE_TIMER_TIMER_H_

#include "base/bind.h"
#include "base/callback.h"
#include "base/location.h"
#include "base/memory/weak_ptr.h"
#include "base/single_thread_task_runner.h"
#include "base/time/time.h"

namespace base {

class TimerBase {
 public:
  TimerBase(const TimerBase&) = delete;
  TimerBase& operator=(const TimerBase&) = delete;
  virtual ~TimerBase();

  bool IsRunning() const { return is_running_; }
  TimeDelta GetCurrentDelay() const { return delay_; }

  // Cancels the pending run. A one-shot timer also drops its task.
  void Stop();
  // Starts the wait over with the same delay and task.
  void Reset();

 protected:
  TimerBase() = default;

  void StartInternal(const Location& posted_from, TimeDelta delay);

  virtual void OnStop() = 0;
  virtual bool HasUserTask() const = 0;
  // Called when the delay has passed; the timer is no longer running for
  // a one-shot timer.
  virtual void RunUserTask() = 0;

  // Whether the fired timer should wait again.
  virtual bool IsRepeating() const = 0;

 private:
  void PostScheduledTask();
  void OnScheduledTaskInvoked();

  Location posted_from_;
  TimeDelta delay_;
  bool is_running_ = false;
  scoped_refptr<SingleThreadTaskRunner> task_runner_;
  // Invalidated to cancel the posted run.
  WeakPtrFactory<TimerBase> weak_factory_{this};
};

// Runs its task once, |delay| after Start (or the last Reset).
class OneShotTimer : public TimerBase {
 public:
  OneShotTimer();
  ~OneShotTimer() override;

  // Starting a running timer replaces its task and delay.
  void Start(const Location& posted_from, TimeDelta delay, OnceClosure task);

 private:
  void OnStop() override;
  bool HasUserTask() const override;
  void RunUserTask() override;
  bool IsRepeating() const override { return false; }

  OnceClosure user_task_;
};

// Runs its task every |delay| until stopped.
class RepeatingTimer : public TimerBase {
 public:
  RepeatingTimer();
  ~RepeatingTimer() override;

  void Start(const Location& posted_from,
             TimeDelta delay,
             RepeatingClosure task);
  template <class Receiver>
  void Start(const Location& posted_from,
             TimeDelta delay,
             Receiver* receiver,
             void (Receiver::*method)());

  const RepeatingClosure& user_task() const { return user_task_; }

 private:
  void OnStop() override;
  bool HasUserTask() const override;
  void RunUserTask() override;
  bool IsRepeating() const override { return true; }

  RepeatingClosure user_task_;
};

template <class Receiver>
void RepeatingTimer::Start(const Location& posted_from,
                           TimeDelta delay,
                           Receiver* receiver,
                           void (Receiver::*method)()) {
  Start(posted_from, delay, BindRepeating(method, Unretained(receiver)));
}

}  // namespace base

#endif  // BASE_TIMER_TIMER_H_
