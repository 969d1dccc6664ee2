#include "desktop/windows/installer/test/download_test_util.h"

#include <memory>

#include "base/bind.h"
#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/run_loop.h"
#include "base/threading/thread_task_runner_handle.h"
#include "base/values.h"

namespace installer {
namespace test {

void RefusingUICallbackRunner::RunUICallbackAndPostReply(
    base::OnceCallback<int(HWND)> ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
    base::OnceCallback<void(int)> reply) {
  ++requests_;
  reply_task_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply), 0));
}

std::unique_ptr<BrandingConfig::ScopedOverrideForTesting> OverrideUpdateServer(
    const std::string& base_url) {
  std::unique_ptr<base::DictionaryValue> branding =
      BrandingConfig::GetInstance().DeepCopy();
  branding->SetString("urls.autoupdate", base_url);
  std::string json;
  CHECK(base::JSONWriter::Write(*branding, &json));
  return std::make_unique<BrandingConfig::ScopedOverrideForTesting>(json);
}

int RunUntilCalled(base::OnceCallback<void(base::OnceClosure)> start,
                   base::TimeDelta limit) {
  // Shared: a closure that runs after the time limit finds it still there.
  auto calls = std::make_shared<int>(0);
  base::RunLoop loop;
  base::RepeatingClosure quit = loop.QuitClosure();
  std::move(start).Run(base::BindOnce(
      [](std::shared_ptr<int> calls, base::RepeatingClosure quit) {
        ++*calls;
        quit.Run();
      },
      calls, quit));
  if (!*calls) {
    base::ThreadTaskRunnerHandle::Get()->PostDelayedTask(FROM_HERE, quit,
                                                         limit);
    loop.Run();
  }
  base::RunLoop().RunUntilIdle();
  return *calls;
}

}  // namespace test
}  // namespace installer
