// The changes of one JsonPrefStore on their way to its file.
//
// The store records each change here on its own thread and posts
// WritePendingChanges to the file's sequence whenever no such task is queued
// yet; the task takes everything gathered until it runs, so a burst of
// changes becomes one write. The changes are applied to the file as it is on
// disk when the task runs, not to what the store once read: two stores of
// one file whose writes share one sequence (JsonPrefStore::
// GetTaskRunnerForFile) each keep what the other wrote, because each touches
// only the keys it changed. Two processes writing one file at the same time
// are not kept apart: the last write wins.

#ifndef COMPONENTS_PREFS_PREF_FILE_WRITER_H_
#define COMPONENTS_PREFS_PREF_FILE_WRITER_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/synchronization/lock.h"

namespace base {
class DictionaryValue;
class Value;
}  // namespace base

class PrefFileWriter : public base::RefCountedThreadSafe<PrefFileWriter> {
 public:
  // One change: |key| (a dotted path) now holds |value|, or nothing when
  // |value| is null.
  struct Change {
    Change(std::string key, std::unique_ptr<base::Value> value);
    Change(Change&&);
    Change& operator=(Change&&);
    ~Change();

    std::string key;
    std::unique_ptr<base::Value> value;
  };

  explicit PrefFileWriter(const base::FilePath& path);
  PrefFileWriter(const PrefFileWriter&) = delete;
  PrefFileWriter& operator=(const PrefFileWriter&) = delete;

  // Records a copy of |value| (null: removed) under |key|, and |prefs|, the
  // store's whole contents after the change.
  void RecordChange(const std::string& key,
                    const base::Value* value,
                    const base::DictionaryValue& prefs);

  // True when changes wait and no write task is queued for them: the
  // caller must now post WritePendingChanges, and call OnWriteNotQueued
  // when that post fails.
  bool MarkWriteQueued();
  void OnWriteNotQueued();

  // Whether recorded changes wait for a write task that is not queued.
  bool HasUnqueuedChanges();

  // On the file's sequence: writes what has been recorded so far. Changes
  // that could not be written stay recorded for the next write.
  void WritePendingChanges();

  // Applies |changes| in order to the JSON object in |path| and replaces
  // the file atomically. When the file is missing or holds no JSON object,
  // |fallback| (the store's whole contents) takes its place. A file that
  // exists but cannot be read is left alone: writing would drop what it
  // holds. False, with a log line, when nothing was written.
  static bool ApplyChangesToFile(const base::FilePath& path,
                                 const std::vector<Change>& changes,
                                 const base::DictionaryValue& fallback);

 private:
  friend class base::RefCountedThreadSafe<PrefFileWriter>;
  ~PrefFileWriter();

  const base::FilePath path_;

  base::Lock lock_;
  std::vector<Change> changes_;
  std::unique_ptr<base::DictionaryValue> latest_prefs_;
  bool write_queued_ = false;
};

#endif  // COMPONENTS_PREFS_PREF_FILE_WRITER_H_
