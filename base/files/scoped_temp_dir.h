// Owns a uniquely named folder and deletes it, with everything in it, when
// it goes away.
//
//   base::ScopedTempDir temp_dir;
//   if (!temp_dir.CreateUniqueTempDir())
//     return false;
//   base::FilePath file = temp_dir.GetPath().AppendASCII("data.json");

#ifndef BASE_FILES_SCOPED_TEMP_DIR_H_
#define BASE_FILES_SCOPED_TEMP_DIR_H_

#include "base/files/file_path.h"

namespace base {

class ScopedTempDir {
 public:
  ScopedTempDir();
  ScopedTempDir(ScopedTempDir&& other) noexcept;
  ScopedTempDir& operator=(ScopedTempDir&& other);
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // Deletes the folder; a failure is logged.
  ~ScopedTempDir();

  // Creates a new folder in the user's temporary folder. Only valid while
  // no folder is owned.
  [[nodiscard]] bool CreateUniqueTempDir();
  // Creates a new folder inside |base_path|, which is created when missing.
  [[nodiscard]] bool CreateUniqueTempDirUnderPath(const FilePath& base_path);
  // Takes over an existing folder, or creates it.
  [[nodiscard]] bool Set(const FilePath& path);

  // Deletes the folder now; true when it is gone. On failure the folder
  // stays owned.
  [[nodiscard]] bool Delete();
  // Gives up ownership without deleting.
  [[nodiscard]] FilePath Take();

  const FilePath& GetPath() const;
  bool IsValid() const { return !path_.empty(); }

 private:
  FilePath path_;
};

}  // namespace base

#endif  // BASE_FILES_SCOPED_TEMP_DIR_H_
