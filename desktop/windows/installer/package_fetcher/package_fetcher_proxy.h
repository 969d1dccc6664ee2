// What the package fetcher's worker thread tells its owner, and asks of it,
// carried over to the owner's thread: every observer and UI call is posted
// there and forwarded while the owner still listens. Once the fetcher goes
// (Detach), calls still on their way are dropped and UI requests are
// answered as cancelled, so nothing reaches an owner that no longer exists.
//
// The current progress is coalesced: while one report waits for the owner,
// newer values replace its value instead of queueing behind it, so a fast
// download or an archive of many entries does not flood the owner's loop.
// Every other call closes the waiting report first, so the owner sees the
// calls in the order they were made.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_PROXY_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_PROXY_H_

#include "base/location.h"
#include "base/memory/ref_counted.h"
#include "base/memory/scoped_refptr.h"
#include "base/single_thread_task_runner.h"
#include "base/synchronization/lock.h"
#include "desktop/windows/installer/package_fetcher/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"

namespace installer {

class PackageFetcherProxy
    : public base::RefCountedThreadSafe<PackageFetcherProxy>,
      public PackageFetcherObserver,
      public UICallbackRunner {
 public:
  // On the owner's thread, whose task runner it keeps. |observer| and
  // |ui_callback_runner| (required) are used on that thread until Detach.
  PackageFetcherProxy(PackageFetcherObserver* observer,
                      UICallbackRunner* ui_callback_runner);
  PackageFetcherProxy(const PackageFetcherProxy&) = delete;
  PackageFetcherProxy& operator=(const PackageFetcherProxy&) = delete;

  // On the owner's thread: nothing is forwarded from now on.
  void Detach();

  // PackageFetcherObserver, from any thread:
  void SetTotalProgress(int total) override;
  void SetCurrentProgress(int current) override;
  void NotifyStalled(int error) override;
  void NotifyStatusChanged(int status) override;

  // UICallbackRunner, from any thread:
  void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) override;

 private:
  friend class base::RefCountedThreadSafe<PackageFetcherProxy>;
  // A current-progress report on its way to the owner.
  struct ProgressReport : public base::RefCountedThreadSafe<ProgressReport> {
    int value = 0;
    // Taken by the owner, or closed by a later call: no longer updated.
    bool closed = false;

   private:
    friend class base::RefCountedThreadSafe<ProgressReport>;
    ~ProgressReport() = default;
  };

  ~PackageFetcherProxy() override;

  // Posts |task| to the owner after closing the waiting progress report.
  void PostInOrder(const base::Location& from_here, base::OnceClosure task);

  void ForwardTotalProgress(int total);
  void ForwardCurrentProgress(scoped_refptr<ProgressReport> report);
  void ForwardStalled(int error);
  void ForwardStatus(int status);
  void ForwardUICallback(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply);

  const scoped_refptr<base::SingleThreadTaskRunner> owner_;
  // Owner thread only.
  PackageFetcherObserver* observer_;
  UICallbackRunner* ui_callback_runner_;

  base::Lock lock_;
  // The report the owner has not taken yet, or null.
  scoped_refptr<ProgressReport> waiting_report_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_PROXY_H_
