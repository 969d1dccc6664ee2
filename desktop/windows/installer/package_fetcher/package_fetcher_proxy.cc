#include "desktop/windows/installer/package_fetcher/package_fetcher_proxy.h"

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/threading/thread_task_runner_handle.h"

namespace installer {

PackageFetcherProxy::PackageFetcherProxy(PackageFetcherObserver* observer,
                                         UICallbackRunner* ui_callback_runner)
    : owner_(base::ThreadTaskRunnerHandle::Get()),
      observer_(observer),
      ui_callback_runner_(ui_callback_runner) {
  CHECK(ui_callback_runner_);
}

PackageFetcherProxy::~PackageFetcherProxy() = default;

void PackageFetcherProxy::Detach() {
  DCHECK(owner_->BelongsToCurrentThread());
  observer_ = nullptr;
  ui_callback_runner_ = nullptr;
}

void PackageFetcherProxy::SetTotalProgress(int total) {
  PostInOrder(
      FROM_HERE,
      base::BindOnce(&PackageFetcherProxy::ForwardTotalProgress, this, total));
}

void PackageFetcherProxy::SetCurrentProgress(int current) {
  scoped_refptr<ProgressReport> report;
  {
    base::AutoLock hold(lock_);
    if (waiting_report_ && !waiting_report_->closed) {
      waiting_report_->value = current;
      return;
    }
    report = base::MakeRefCounted<ProgressReport>();
    report->value = current;
    waiting_report_ = report;
  }
  owner_->PostTask(FROM_HERE,
                   base::BindOnce(&PackageFetcherProxy::ForwardCurrentProgress,
                                  this, std::move(report)));
}

void PackageFetcherProxy::NotifyStalled(int error) {
  PostInOrder(FROM_HERE, base::BindOnce(&PackageFetcherProxy::ForwardStalled,
                                        this, error));
}

void PackageFetcherProxy::NotifyStatusChanged(int status) {
  PostInOrder(FROM_HERE, base::BindOnce(&PackageFetcherProxy::ForwardStatus,
                                        this, status));
}

void PackageFetcherProxy::RunUICallbackAndPostReply(
    base::OnceCallback<int(HWND)> ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
    base::OnceCallback<void(int)> reply) {
  PostInOrder(FROM_HERE,
              base::BindOnce(&PackageFetcherProxy::ForwardUICallback, this,
                             std::move(ui_callback),
                             std::move(reply_task_runner), std::move(reply)));
}

void PackageFetcherProxy::PostInOrder(const base::Location& from_here,
                                      base::OnceClosure task) {
  {
    base::AutoLock hold(lock_);
    if (waiting_report_) {
      waiting_report_->closed = true;
      waiting_report_ = nullptr;
    }
  }
  owner_->PostTask(from_here, std::move(task));
}

void PackageFetcherProxy::ForwardTotalProgress(int total) {
  if (observer_)
    observer_->SetTotalProgress(total);
}

void PackageFetcherProxy::ForwardCurrentProgress(
    scoped_refptr<ProgressReport> report) {
  int value = 0;
  {
    base::AutoLock hold(lock_);
    report->closed = true;
    value = report->value;
  }
  if (observer_)
    observer_->SetCurrentProgress(value);
}

void PackageFetcherProxy::ForwardStalled(int error) {
  if (observer_)
    observer_->NotifyStalled(error);
}

void PackageFetcherProxy::ForwardStatus(int status) {
  if (observer_)
    observer_->NotifyStatusChanged(status);
}

void PackageFetcherProxy::ForwardUICallback(
    base::OnceCallback<int(HWND)> ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
    base::OnceCallback<void(int)> reply) {
  if (ui_callback_runner_) {
    ui_callback_runner_->RunUICallbackAndPostReply(
        std::move(ui_callback), std::move(reply_task_runner), std::move(reply));
    return;
  }
  // The downloader that asked waits for an answer, whoever is left to give
  // it.
  VLOG(1) << "UI request of the package fetcher after its owner went";
  reply_task_runner->PostTask(
      FROM_HERE, base::BindOnce(std::move(reply), ERROR_CANCELLED));
}

}  // namespace installer
