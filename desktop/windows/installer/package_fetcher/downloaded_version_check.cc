#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"

#include <string>

#include "base/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/threading/thread.h"
#include "base/version.h"
#include "desktop/windows/installer/package_fetcher/package_program.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

// Versions and stream names are short; a longer answer is no answer, and
// is not worth recording.
constexpr size_t kMaxAnswerLength = 64;

// The program's answer to |switch_name| without surrounding whitespace; a
// host may end it with a line break.
bool Ask(const base::FilePath& program,
         const char* switch_name,
         std::string* answer) {
  std::string output;
  if (!QueryPackageProgram(program, switch_name, &output))
    return false;
  *answer = std::string(base::TrimWhitespaceASCII(output, base::TRIM_ALL));
  if (answer->size() > kMaxAnswerLength) {
    LOG(ERROR) << program << " answered --" << switch_name << " with "
               << answer->size() << " characters";
    return false;
  }
  return true;
}

// The stream, asked on a thread of its own while the version is asked on
// the caller's: each start of a package executable of hundreds of
// megabytes costs Wine a good part of a second, and the two answers do not
// depend on each other. Without a thread it is asked after the version.
class StreamQuery {
 public:
  StreamQuery(const base::FilePath& program, bool wanted)
      : program_(program), thread_("stream query") {
    if (wanted && thread_.Start()) {
      thread_.task_runner()->PostTask(
          FROM_HERE, base::BindOnce(&StreamQuery::Run, base::Unretained(this)));
    }
  }
  StreamQuery(const StreamQuery&) = delete;
  StreamQuery& operator=(const StreamQuery&) = delete;
  // A program that does not answer holds this up to its time limit.
  ~StreamQuery() { thread_.Stop(); }

  bool Get(std::string* stream) {
    if (thread_.IsRunning())
      thread_.Stop();
    else
      Run();
    *stream = stream_;
    return answered_;
  }

 private:
  void Run() { answered_ = Ask(program_, switches::kStream, &stream_); }

  const base::FilePath program_;
  base::Thread thread_;
  std::string stream_;
  bool answered_ = false;
};

}  // namespace

bool CheckDownloadedVersion(const base::FilePath& program,
                            bool check_stream,
                            InstallerStatsNode stats) {
  const base::Version expected(GetInternalVersion());
  StreamQuery stream_query(program, check_stream);
  std::string version_text;
  if (!Ask(program, switches::kInternalVersion, &version_text))
    return false;
  VLOG(1) << "Downloaded item version: " << version_text;
  stats.SetString("internal_version", version_text);
  const base::Version version(version_text);
  if (!version.IsValid() || version.CompareTo(expected) < 0) {
    LOG(ERROR) << "Downloaded item is older than the installer";
    return false;
  }
  if (!check_stream)
    return true;
  std::string stream;
  if (!stream_query.Get(&stream))
    return false;
  VLOG(1) << "Downloaded item stream: " << stream;
  stats.SetString("stream", stream);
  if (stream != GetStream()) {
    LOG(ERROR) << "Downloaded item is of a different stream than the "
                  "installer";
    return false;
  }
  return true;
}

}  // namespace installer
