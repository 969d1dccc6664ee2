// Short-lived access to the global storage's fallback file: a JSON pref
// file whose member "GS" is an object of string entries. Each accessor
// writes on a thread of its own, "GsTaskThread", and Close waits for the
// writes it committed, so the file is complete once the accessor is gone.

#ifndef DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GS_FILE_STORE_H_
#define DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GS_FILE_STORE_H_

#include <memory>
#include <string>

#include "base/files/file_path.h"
#include "base/memory/ref_counted.h"
#include "base/threading/thread.h"

class JsonPrefStore;

namespace base {
class DictionaryValue;
}

namespace installer {

class GsFileStore {
 public:
  // The member of the file that holds the entries.
  static constexpr char kEntriesKey[] = "GS";

  GsFileStore();
  GsFileStore(const GsFileStore&) = delete;
  GsFileStore& operator=(const GsFileStore&) = delete;
  // Closes when still open.
  ~GsFileStore();

  // Starts the thread and reads the file at |path| (missing or empty path:
  // no entries). False, with an error line, when the thread cannot start.
  bool Open(const base::FilePath& path);
  // Lets the store go and joins the thread after the committed writes.
  void Close();

  // A copy of the entries into |*entries| (empty when the file has none).
  // False when "GS" holds something other than an object.
  bool ReadAll(std::unique_ptr<base::DictionaryValue>* entries) const;
  // Sets the entry |key|, taken literally (no dotted path), or removes it
  // when |value| is empty, and commits the write. False when the file
  // exists but could not be read (writing would destroy it), or "GS" holds
  // something other than an object.
  bool Write(const std::string& key, const std::string& value);

 private:
  base::Thread thread_;
  scoped_refptr<JsonPrefStore> store_;
};

}  // namespace installer

#endif  // DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GS_FILE_STORE_H_
