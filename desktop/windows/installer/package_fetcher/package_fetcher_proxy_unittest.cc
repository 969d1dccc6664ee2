#include "desktop/windows/installer/package_fetcher/package_fetcher_proxy.h"

#include <string>
#include <vector>

#include "base/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/synchronization/waitable_event.h"
#include "base/threading/thread.h"
#include "base/threading/thread_task_runner_handle.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class RecordingObserver : public PackageFetcherObserver {
 public:
  void SetTotalProgress(int total) override {
    events.push_back("total " + std::to_string(total));
  }
  void SetCurrentProgress(int current) override {
    events.push_back("current " + std::to_string(current));
  }
  void NotifyStalled(int error) override {
    events.push_back("stalled " + std::to_string(error));
  }
  void NotifyStatusChanged(int status) override {
    events.push_back("status " + std::to_string(status));
  }

  std::vector<std::string> events;
};

class PackageFetcherProxyTest : public testing::Test {
 protected:
  PackageFetcherProxyTest() {
    proxy_ = base::MakeRefCounted<PackageFetcherProxy>(&observer_, &runner_);
    EXPECT_TRUE(worker_.Start());
  }

  // Runs |calls| on the worker while this thread runs no task, then lets
  // this thread take what was posted.
  void OnWorker(base::OnceCallback<void(PackageFetcherProxy*)> calls) {
    base::WaitableEvent done(base::WaitableEvent::ResetPolicy::MANUAL,
                             base::WaitableEvent::InitialState::NOT_SIGNALED);
    worker_.task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(
            [](base::OnceCallback<void(PackageFetcherProxy*)> calls,
               PackageFetcherProxy* proxy, base::WaitableEvent* done) {
              std::move(calls).Run(proxy);
              done->Signal();
            },
            std::move(calls), base::Unretained(proxy_.get()),
            base::Unretained(&done)));
    done.Wait();
    base::RunLoop().RunUntilIdle();
  }

  base::MessageLoop loop_;
  RecordingObserver observer_;
  test::RefusingUICallbackRunner runner_;
  scoped_refptr<PackageFetcherProxy> proxy_;
  base::Thread worker_{"proxy test worker"};
};

// Progress that waits for the owner is replaced by newer progress, never
// by what comes after another call.
TEST_F(PackageFetcherProxyTest, CoalescesProgressAndKeepsTheOrder) {
  OnWorker(base::BindOnce([](PackageFetcherProxy* proxy) {
    proxy->SetTotalProgress(1000);
    for (int i = 1; i <= 1000; ++i)
      proxy->SetCurrentProgress(i);
    proxy->NotifyStatusChanged(FETCHER_STATUS_UNPACKING);
    proxy->SetTotalProgress(12);
    proxy->SetCurrentProgress(0);
    proxy->SetCurrentProgress(1);
    proxy->NotifyStalled(503);
  }));
  EXPECT_EQ((std::vector<std::string>{"total 1000", "current 1000", "status 3",
                                      "total 12", "current 1", "stalled 503"}),
            observer_.events);

  // Each batch that the owner takes in between is delivered.
  OnWorker(base::BindOnce(
      [](PackageFetcherProxy* proxy) { proxy->SetCurrentProgress(5); }));
  OnWorker(base::BindOnce(
      [](PackageFetcherProxy* proxy) { proxy->SetCurrentProgress(6); }));
  EXPECT_EQ("current 5", observer_.events[observer_.events.size() - 2]);
  EXPECT_EQ("current 6", observer_.events.back());
}

// Once the fetcher is gone nothing reaches its owner, and a dialog request
// still gets an answer.
TEST_F(PackageFetcherProxyTest, AfterDetachCallsAreDroppedAndRequestsRefused) {
  std::vector<int> replies;
  auto request = [&](PackageFetcherProxy* proxy) {
    proxy->RunUICallbackAndPostReply(
        base::BindOnce([](HWND) { return 7; }),
        base::ThreadTaskRunnerHandle::Get(),
        base::BindOnce([](std::vector<int>* replies,
                          int result) { replies->push_back(result); },
                       &replies));
  };
  request(proxy_.get());
  base::RunLoop().RunUntilIdle();
  // The owner's runner answered: it refuses every dialog.
  EXPECT_EQ(std::vector<int>{0}, replies);
  EXPECT_EQ(1, runner_.requests());

  OnWorker(base::BindOnce(
      [](PackageFetcherProxy* proxy) { proxy->SetCurrentProgress(1); }));
  proxy_->NotifyStatusChanged(FETCHER_STATUS_DOWNLOADING);
  proxy_->Detach();
  request(proxy_.get());
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ((std::vector<std::string>{"current 1"}), observer_.events);
  EXPECT_EQ((std::vector<int>{0, ERROR_CANCELLED}), replies);
  EXPECT_EQ(1, runner_.requests());
}

}  // namespace
}  // namespace installer
