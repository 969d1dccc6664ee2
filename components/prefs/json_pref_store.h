// A preference file in JSON: one object whose members are read with dotted
// keys ("intl.app_locale"). The file is read synchronously, so that callers
// can use the values at once; every change is written back asynchronously
// on the file's sequenced task runner, atomically (a temporary file moved
// over the old one), so that setting a value never waits for the disk.
//
//   scoped_refptr<JsonPrefStore> store = new JsonPrefStore(
//       path, JsonPrefStore::GetTaskRunnerForFile(path, pool));
//   store->ReadPrefs();
//   store->SetValue("profile_path", std::make_unique<base::StringValue>(p));
//   store = nullptr;  // The write is on its way.
//
// Writes start as soon as a value changes; changes made before the file's
// sequence gets to them are written together. Only the keys this store
// changed are written, onto the file as it is on disk at that moment, so
// several stores of one file in one process may live at once: give them the
// same runner (GetTaskRunnerForFile) and none undoes another's writes.
// ReadPrefs first lets the writes already queued for the file finish, so a
// store opened after another one changed the file reads the new values.
//
// A store is used on one thread at a time; references may be taken and
// dropped on any thread.

#ifndef COMPONENTS_PREFS_JSON_PREF_STORE_H_
#define COMPONENTS_PREFS_JSON_PREF_STORE_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/sequenced_task_runner.h"
#include "base/time/time.h"

namespace base {
class DictionaryValue;
class SequencedWorkerPool;
class Value;
}  // namespace base

class PrefFileWriter;

class JsonPrefStore : public base::RefCountedThreadSafe<JsonPrefStore> {
 public:
  // What ReadPrefs found.
  enum PrefReadError {
    PREF_READ_ERROR_NONE = 0,
    // The file is not JSON. The store starts empty and its first write
    // replaces the file.
    PREF_READ_ERROR_JSON_PARSE = 1,
    // The file holds JSON that is not an object. Read-only.
    PREF_READ_ERROR_JSON_TYPE = 2,
    // The file exists but cannot be read. Read-only.
    PREF_READ_ERROR_ACCESS_DENIED = 3,
    PREF_READ_ERROR_FILE_OTHER = 4,
    PREF_READ_ERROR_FILE_LOCKED = 5,
    // No file yet: the store starts empty and writes create it.
    PREF_READ_ERROR_NO_FILE = 6,
    // The store has an empty path. Read-only.
    PREF_READ_ERROR_FILE_NOT_SPECIFIED = 9,
  };

  // How long ReadPrefs waits for the writes queued before it.
  static constexpr base::TimeDelta kMaxWaitForQueuedWrites =
      base::TimeDelta::FromSeconds(10);

  // The runner of |pool| for |pref_filename|: the same sequence for every
  // spelling of one path (case and separators do not matter), so that the
  // writes of one file stay in order.
  static scoped_refptr<base::SequencedTaskRunner> GetTaskRunnerForFile(
      const base::FilePath& pref_filename,
      base::SequencedWorkerPool* pool);

  // |file_task_runner| runs the writes; one that refuses tasks makes a
  // store whose changes never reach the disk. Nothing is read before
  // ReadPrefs.
  JsonPrefStore(const base::FilePath& pref_filename,
                scoped_refptr<base::SequencedTaskRunner> file_task_runner);
  JsonPrefStore(const JsonPrefStore&) = delete;
  JsonPrefStore& operator=(const JsonPrefStore&) = delete;

  // The value at the dotted path |key|, owned by the store; false when
  // there is none.
  bool GetValue(const std::string& key, const base::Value** result) const;

  // Stores |value| at |key|, creating the dictionaries on the way, and
  // writes it unless it equals what is there.
  void SetValue(const std::string& key, std::unique_ptr<base::Value> value);
  // Removes |key| and writes the removal when there was something.
  void RemoveValue(const std::string& key);

  // Reads the file synchronously; a missing or unreadable file leaves the
  // store empty. See PrefReadError for which errors make it read-only.
  PrefReadError ReadPrefs();
  bool IsInitializationComplete() const { return initialized_; }
  PrefReadError GetReadError() const { return read_error_; }
  // Whether changes stay in memory only, because the file could not be
  // read and writing would destroy it.
  bool ReadOnly() const { return read_only_; }

  // Posts the write of changes whose earlier post was refused. Changes are
  // otherwise on their way as soon as they are made; the destructor does
  // the same.
  void CommitPendingWrite();
  // CommitPendingWrite, then waits until every write queued for the file so
  // far is done. False when the runner refuses tasks or |max_wait| passed
  // first. Not on the file's own sequence.
  bool CommitPendingWriteAndWait(base::TimeDelta max_wait);

  const base::FilePath& path() const { return path_; }

 private:
  friend class base::RefCountedThreadSafe<JsonPrefStore>;
  ~JsonPrefStore();

  void OnValueChanged(const std::string& key, const base::Value* value);
  // Posts a write task when changes wait for one; false when the runner
  // refused it.
  bool PostWriteIfNeeded();
  enum class WaitResult { kDone, kNotPossible, kTimedOut };
  // Waits until the tasks posted to the file's sequence so far have run.
  // Not possible without a runner that takes tasks, or on the sequence
  // itself.
  WaitResult WaitForQueuedTasks(base::TimeDelta max_wait);

  const base::FilePath path_;
  const scoped_refptr<base::SequencedTaskRunner> file_task_runner_;
  const scoped_refptr<PrefFileWriter> writer_;

  std::unique_ptr<base::DictionaryValue> prefs_;
  bool initialized_ = false;
  bool read_only_ = false;
  bool read_only_reported_ = false;
  PrefReadError read_error_ = PREF_READ_ERROR_NONE;
};

#endif  // COMPONENTS_PREFS_JSON_PREF_STORE_H_
