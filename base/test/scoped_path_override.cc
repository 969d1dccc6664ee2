#include "base/test/scoped_path_override.h"

#include "base/logging.h"
#include "base/path_service.h"

namespace base {

ScopedPathOverride::ScopedPathOverride(int key) : key_(key) {
  CHECK(temp_dir_.CreateUniqueTempDir());
  CHECK(PathService::Override(key, temp_dir_.GetPath()));
}

ScopedPathOverride::ScopedPathOverride(int key, const FilePath& dir)
    : key_(key) {
  CHECK(PathService::Override(key, dir)) << dir;
}

ScopedPathOverride::ScopedPathOverride(int key,
                                       const FilePath& path,
                                       bool is_absolute,
                                       bool create)
    : key_(key) {
  CHECK(PathService::OverrideAndCreateIfNeeded(key, path, is_absolute, create))
      << path;
}

ScopedPathOverride::~ScopedPathOverride() {
  CHECK(PathService::RemoveOverride(key_));
}

}  // namespace base
