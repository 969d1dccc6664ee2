// The installer's JSON pref files (installer_prefs.json of an installation,
// installer_prefs_include.json of a package, a profile's Local State) are
// read at once on the caller's thread and written on the threads of one
// process-wide pool, one sequence per file.
//
//   PrefsTaskPool::GetInstance()->set_wait_on_shutdown(true);  // early
//   scoped_refptr<JsonPrefStore> prefs = OpenJsonPrefStore(
//       PrefsTaskPool::GetInstance(),
//       folder.AppendASCII(kInstallerPrefsFileName));
//   prefs->SetValue("single_profile",
//                   std::make_unique<base::FundamentalValue>(true));
//   prefs = nullptr;
//
// The pool is deleted by the at-exit manager. When asked to wait on
// shutdown it first waits (for a while) until every store opened on it is
// released, then lets the writes finish before the process goes on to end.
// Create the pool on the main thread before posting work that opens stores:
// at-exit callbacks run newest first, so a pool created inside a worker
// task would go before the worker pool's own wait for that task.

#ifndef DESKTOP_WINDOWS_INSTALLER_PREFS_TASK_POOL_H_
#define DESKTOP_WINDOWS_INSTALLER_PREFS_TASK_POOL_H_

#include <cstddef>
#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/time/time.h"

class JsonPrefStore;

namespace base {
class DictionaryValue;
class SequencedWorkerPool;
}  // namespace base

namespace installer {

// The pref files, by name.
extern const char kInstallerPrefsFileName[];
extern const char kInstallerPrefsIncludeFileName[];
extern const char kLocalStateFileName[];

class PrefsTaskPool {
 public:
  // At most this many writes run at once.
  static constexpr size_t kMaxThreads = 2;
  // How long shutdown waits for the stores to be released, looking again
  // every kStoreReleasePollInterval, and then for their writes.
  static constexpr base::TimeDelta kMaxWaitForStores =
      base::TimeDelta::FromSeconds(30);
  static constexpr base::TimeDelta kStoreReleasePollInterval =
      base::TimeDelta::FromMilliseconds(100);
  static constexpr base::TimeDelta kMaxWaitForWrites =
      base::TimeDelta::FromSeconds(30);

  // The process's pool, created on first use (also GetPrefsTaskPool).
  static PrefsTaskPool* GetInstance();

  // Tests may make pools of their own; the process uses GetInstance.
  PrefsTaskPool();
  PrefsTaskPool(const PrefsTaskPool&) = delete;
  PrefsTaskPool& operator=(const PrefsTaskPool&) = delete;
  // Shuts the pool down when Shutdown has not run.
  ~PrefsTaskPool();

  bool wait_on_shutdown() const { return wait_on_shutdown_; }
  void set_wait_on_shutdown(bool wait) { wait_on_shutdown_ = wait; }

  // Null after Shutdown.
  base::SequencedWorkerPool* pool() const { return pool_.get(); }

  // When waiting on shutdown: waits up to |max_wait_for_stores| until the
  // stores and runners of the pool are released. Then shuts the pool down,
  // which runs the writes already queued (up to kMaxWaitForWrites), and
  // lets it go. False, with an error line, when either wait gave up; the
  // stores still held then write nothing more. Not from a task of the pool.
  bool Shutdown(base::TimeDelta max_wait_for_stores = kMaxWaitForStores);

 private:
  bool WaitForStores(base::TimeDelta max_wait);

  bool wait_on_shutdown_ = false;
  scoped_refptr<base::SequencedWorkerPool> pool_;
};

PrefsTaskPool* GetPrefsTaskPool();

// A store of |path| writing on |pool|, its file already read: a missing or
// unreadable file gives an empty store (its read error is kept in it).
scoped_refptr<JsonPrefStore> OpenJsonPrefStore(PrefsTaskPool* pool,
                                               const base::FilePath& path);

// The JSON object in tracking text: |text| without trailing ASCII
// whitespace is decoded as strict Base64, and the bytes from the first "{"
// to the last "}" must parse as one JSON object. Null otherwise.
std::unique_ptr<base::DictionaryValue> ExtractJsonObjectFromText(
    const std::string& text);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PREFS_TASK_POOL_H_
