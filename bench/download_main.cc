// The installer's side of the download benchmark: downloads URL into FILE
// with WininetDownloader and prints the time from Start to the completion
// in milliseconds and the process's peak working set in bytes.
//
//   download_file.exe URL FILE
//
// Exits with 0 when the download completed, 1 when it failed, 2 on a bad
// command line.

#include <windows.h>

#include <psapi.h>

#include <stdio.h>

#include <memory>

#include "base/at_exit.h"
#include "base/bind.h"
#include "base/files/file_path.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/time/time.h"
#include "desktop/windows/installer/wininet/download_observer.h"
#include "desktop/windows/installer/wininet/ui_callback_runner.h"
#include "desktop/windows/installer/wininet/wininet.h"
#include "desktop/windows/installer/wininet/wininet_response_writer.h"

namespace {

class NoUI : public installer::UICallbackRunner {
 public:
  void RunUICallbackAndPostReply(
      base::OnceCallback<int(HWND)> ui_callback,
      scoped_refptr<base::SingleThreadTaskRunner> reply_task_runner,
      base::OnceCallback<void(int)> reply) override {
    reply_task_runner->PostTask(FROM_HERE, base::BindOnce(std::move(reply), 0));
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: download_file.exe URL FILE\n");
    return 2;
  }
  base::AtExitManager at_exit;
  base::MessageLoop loop;
  NoUI ui;
  installer::WininetDownloader downloader(&ui, nullptr);
  auto writer = std::make_unique<installer::FileResponseWriter>();
  if (!writer->Open(base::FilePath(argv[2])))
    return 1;
  base::RunLoop run_loop;
  const base::TimeTicks start = base::TimeTicks::Now();
  if (!downloader.Start(argv[1], std::string(), run_loop.QuitClosure(),
                        std::move(writer),
                        std::make_unique<installer::DownloadObserver>())) {
    return 1;
  }
  run_loop.Run();
  const base::TimeDelta elapsed = base::TimeTicks::Now() - start;
  PROCESS_MEMORY_COUNTERS memory = {};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  printf("%lld %llu\n", static_cast<long long>(elapsed.InMilliseconds()),
         static_cast<unsigned long long>(memory.PeakWorkingSetSize));
  return downloader.state() == installer::WininetDownloader::STATE_COMPLETED
             ? 0
             : 1;
}
