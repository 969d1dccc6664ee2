// Helpers of the tests that download from the loopback test server.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_DOWNLOAD_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_DOWNLOAD_TEST_UTIL_H_

#include <memory>
#include <string>

#include "base/callback.h"
#include "base/time/time.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"

namespace installer {
namespace test {

// Refuses every dialog, as a front end without a window does, and counts
// the requests.
class RefusingUICallbackRunner : public UICallbackRunner {
 public:
  void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) override;

  int requests() const { return requests_; }

 private:
  int requests_ = 0;
};

// The process's branding with the update server's address ("urls" entry
// "autoupdate") replaced by |base_url|, while the result lives.
std::unique_ptr<BrandingConfig::ScopedOverrideForTesting> OverrideUpdateServer(
    const std::string& base_url);

// Runs the current thread's loop until the closure it hands to |start| has
// run, at most |limit|; then lets whatever is ready run too, so that a
// second run of the closure would show. Returns how often it ran.
int RunUntilCalled(base::OnceCallback<void(base::OnceClosure)> start,
                   base::TimeDelta limit = base::TimeDelta::FromSeconds(60));

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_DOWNLOAD_TEST_UTIL_H_
