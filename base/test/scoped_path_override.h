// Overrides a path key for the lifetime of the object (tests only).

#ifndef BASE_TEST_SCOPED_PATH_OVERRIDE_H_
#define BASE_TEST_SCOPED_PATH_OVERRIDE_H_

#include "base/files/file_path.h"
#include "base/files/scoped_temp_dir.h"

namespace base {

class ScopedPathOverride {
 public:
  // Overrides |key| with a new temporary folder, deleted at the end.
  explicit ScopedPathOverride(int key);
  // Overrides |key| with |dir|, created when missing.
  ScopedPathOverride(int key, const FilePath& dir);
  // See PathService::OverrideAndCreateIfNeeded.
  ScopedPathOverride(int key,
                     const FilePath& path,
                     bool is_absolute,
                     bool create);
  ScopedPathOverride(const ScopedPathOverride&) = delete;
  ScopedPathOverride& operator=(const ScopedPathOverride&) = delete;
  // Removes the override: the key answers as it did before any override.
  ~ScopedPathOverride();

 private:
  int key_;
  ScopedTempDir temp_dir_;
};

}  // namespace base

#endif  // BASE_TEST_SCOPED_PATH_OVERRIDE_H_
