// A small store of text entries shared by every process of the product for
// the current user: the browser's autoupdate checker and the installer read
// and write the same entries (the installation's "UUID", for instance).

#ifndef DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_H_
#define DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {

class GlobalStorage {
 public:
  // Results of Get and Set.
  static constexpr int kOk = 0;
  // Another process holds the store; nothing was done. Callers go on
  // without the entry rather than wait.
  static constexpr int kBusy = 1;
  static constexpr int kFailed = -252;
  static constexpr int kInvalidArgument = -254;

  GlobalStorage(const GlobalStorage&) = delete;
  GlobalStorage& operator=(const GlobalStorage&) = delete;

  // The order of these methods is the store's binary interface with the
  // browser: keep it.

  // Names the folder of the file that holds the entries when the registry
  // cannot be used (the browser's user-data folder).
  virtual void InitFallback(const base::FilePath& folder) = 0;
  // Stores |value| under |key|; an empty |value| deletes the entry.
  virtual int Set(const std::string& key, const std::string& value) = 0;
  // The entry under |key| into |*value|, empty when there is none.
  virtual int Get(const std::string& key, std::string* value) = 0;
  virtual ~GlobalStorage() = default;

 protected:
  GlobalStorage() = default;
};

}  // namespace installer

#endif  // DESKTOP_COMMON_AUTOUPDATE_UPDATECHECKER_GLOBALSTORAGE_H_
