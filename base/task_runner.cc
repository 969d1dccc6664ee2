#include "base/task_runner.h"

#include <memory>
#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/single_thread_task_runner.h"
#include "base/threading/thread_task_runner_handle.h"

namespace base {

namespace {

// Carries a task to its runner and the reply back to the posting thread.
class PostTaskAndReplyRelay {
 public:
  PostTaskAndReplyRelay(const Location& from_here,
                        OnceClosure task,
                        OnceClosure reply)
      : from_here_(from_here),
        origin_(ThreadTaskRunnerHandle::Get()),
        task_(std::move(task)),
        reply_(std::move(reply)) {}
  PostTaskAndReplyRelay(const PostTaskAndReplyRelay&) = delete;
  PostTaskAndReplyRelay& operator=(const PostTaskAndReplyRelay&) = delete;

  ~PostTaskAndReplyRelay() {
    // The reply was not run: what it holds belongs to the posting thread,
    // so it is destroyed there.
    if (reply_ && !origin_->RunsTasksOnCurrentThread()) {
      origin_->PostTask(from_here_,
                        BindOnce([](OnceClosure reply) {}, std::move(reply_)));
    }
  }

  static void RunTaskAndPostReply(
      std::unique_ptr<PostTaskAndReplyRelay> relay) {
    std::move(relay->task_).Run();
    scoped_refptr<SingleThreadTaskRunner> origin = relay->origin_;
    Location from_here = relay->from_here_;
    origin->PostTask(from_here, BindOnce(&PostTaskAndReplyRelay::RunReply,
                                         std::move(relay)));
  }

 private:
  static void RunReply(std::unique_ptr<PostTaskAndReplyRelay> relay) {
    std::move(relay->reply_).Run();
  }

  const Location from_here_;
  const scoped_refptr<SingleThreadTaskRunner> origin_;
  OnceClosure task_;
  OnceClosure reply_;
};

}  // namespace

bool TaskRunner::PostTask(const Location& from_here, OnceClosure task) {
  return PostDelayedTask(from_here, std::move(task), TimeDelta());
}

bool TaskRunner::PostTaskAndReply(const Location& from_here,
                                  OnceClosure task,
                                  OnceClosure reply) {
  DCHECK(task) << from_here.ToString();
  DCHECK(reply) << from_here.ToString();
  CHECK(ThreadTaskRunnerHandle::IsSet())
      << "PostTaskAndReply from a thread without a loop: "
      << from_here.ToString();
  auto relay = std::make_unique<PostTaskAndReplyRelay>(
      from_here, std::move(task), std::move(reply));
  return PostTask(
      from_here,
      BindOnce(&PostTaskAndReplyRelay::RunTaskAndPostReply, std::move(relay)));
}

}  // namespace base
