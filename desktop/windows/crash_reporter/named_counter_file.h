// Counts by name kept in a JSON dictionary file that several processes
// share (reporters and the browser): {"crash_reporter":2,"installer":1}.
// Additions are taken in memory at once, from any thread, and merged into
// the file by a thread of the object's own, which opens the file
// exclusively, adds what it finds there and writes the sum back.
//
//   NamedCounterFile counters(path);
//   counters.Add("installer", 1, true);
//   // Destruction writes what is still pending.
//
// The file stays a valid JSON text after every single write, so a writer
// that dies half-way or a full disk never leaves a file that blocks every
// later merge. Names are flat keys: "a.b" is one member, not a nested one.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_NAMED_COUNTER_FILE_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_NAMED_COUNTER_FILE_H_

#include <stdint.h>

#include <map>
#include <string>

#include "base/files/file_path.h"
#include "base/synchronization/lock.h"
#include "base/threading/platform_thread.h"
#include "base/win/scoped_handle.h"

namespace base {
class File;
}  // namespace base

namespace crash_reporter {

class NamedCounterFile : public base::PlatformThread::Delegate {
 public:
  using Counts = std::map<std::string, int32_t>;

  explicit NamedCounterFile(const base::FilePath& path);
  NamedCounterFile(const NamedCounterFile&) = delete;
  NamedCounterFile& operator=(const NamedCounterFile&) = delete;
  // Stops the thread after it has tried a few more times to write what is
  // pending; counts it could not write are lost.
  ~NamedCounterFile() override;

  // Adds |delta| to the count of |name| (UTF-8); with |wake| the thread
  // writes soon. Safe from any thread.
  void Add(const std::string& name, int32_t delta, bool wake);

  // The file's own limit: a larger file is not a counter file.
  static constexpr int64_t kMaxFileSize = 1024 * 1024;

 private:
  // base::PlatformThread::Delegate:
  void ThreadMain() override;

  // Takes the pending counts and writes them; on failure puts them back.
  bool Flush();
  // Merges |counts| into the file.
  bool WriteToFile(const Counts& counts);
  // Reads the file's integer members into |counts|.
  bool ReadFileCounts(base::File* file, int64_t length, Counts* counts);

  const base::FilePath path_;
  base::PlatformThreadHandle thread_;
  base::win::ScopedHandle wake_event_;
  base::Lock lock_;
  Counts pending_;
  bool stop_ = false;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_NAMED_COUNTER_FILE_H_
