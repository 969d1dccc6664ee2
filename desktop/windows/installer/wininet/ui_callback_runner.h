// Whoever owns the user interface runs dialogs for code on other threads:
// the downloader asks for proxy credentials through it. A runner without a
// user interface (the silent front end) refuses every request.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_UI_CALLBACK_RUNNER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_UI_CALLBACK_RUNNER_H_

#include <windows.h>

#include "base/callback.h"
#include "base/memory/scoped_refptr.h"
#include "base/single_thread_task_runner.h"

namespace installer {

class UICallbackRunner {
 public:
  virtual ~UICallbackRunner() = default;

  // Runs |ui_callback| on the UI thread with the window that dialogs belong
  // to, then posts |reply| with its result to |reply_task_runner|. A runner
  // that cannot show anything posts |reply| with 0 without running
  // |ui_callback|.
  virtual void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_UI_CALLBACK_RUNNER_H_
