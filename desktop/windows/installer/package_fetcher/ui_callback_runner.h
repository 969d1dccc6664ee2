// Runs a piece of user interface that a worker needs (for example the
// proxy password dialog of a download) on the UI thread, and posts its
// result back to the worker.
//
//   runner->RunUICallbackAndPostReply(
//       base::BindOnce(&AskForCredentials, ...),  // int(HWND parent)
//       worker_task_runner,
//       base::BindOnce(&Downloader::OnCredentials, weak_this));

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_UI_CALLBACK_RUNNER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_UI_CALLBACK_RUNNER_H_

#include <windows.h>

#include "base/callback.h"
#include "base/memory/scoped_refptr.h"
#include "base/single_thread_task_runner.h"

namespace installer {

// Shows user interface owned by the given window; returns a Win32 result.
using UICallback = base::OnceCallback<int(HWND)>;
using UIReply = base::OnceCallback<void(int)>;

class UICallbackRunner {
 public:
  virtual ~UICallbackRunner() = default;

  // Runs |callback| (now or later), then posts |reply| with its result to
  // |reply_task_runner|. A runner that cannot show user interface posts a
  // refusal instead; every request gets exactly one reply.
  virtual void RunUICallbackAndPostReply(
      UICallback callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      UIReply reply) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_UI_CALLBACK_RUNNER_H_
