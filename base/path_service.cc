#include "base/path_service.h"

#include <map>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/synchronization/lock.h"

namespace base {

namespace {

// Providers form a list that only ever grows at its head and is never
// freed, so a reader may walk it without the lock once it has the head.
struct Provider {
  PathService::ProviderFunc func;
  const Provider* next;
  int key_start;
  int key_end;
};

struct PathData {
  Lock lock;
  std::map<int, FilePath> cache;
  std::map<int, FilePath> overrides;
  // Bumped by every override change, so that an answer computed across one
  // is not cached.
  unsigned generation = 0;
  const Provider* providers = nullptr;
};

// Never destroyed: paths may be asked for while the process shuts down.
PathData* GetPathData() {
  static PathData* const data = [] {
    auto* path_data = new PathData;
    path_data->providers =
        new Provider{&PathProvider, nullptr, PATH_START, PATH_WIN_END};
    return path_data;
  }();
  return data;
}

}  // namespace

// static
bool PathService::Get(int key, FilePath* result) {
  DCHECK(result);
  if (key <= PATH_START) {
    NOTREACHED();
    return false;
  }
  // The current folder changes under our feet: never cache it.
  if (key == DIR_CURRENT)
    return GetCurrentDirectory(result);

  PathData* path_data = GetPathData();
  const Provider* provider;
  unsigned generation;
  {
    AutoLock lock(path_data->lock);
    auto cached = path_data->cache.find(key);
    if (cached != path_data->cache.end()) {
      *result = cached->second;
      return true;
    }
    auto overridden = path_data->overrides.find(key);
    if (overridden != path_data->overrides.end()) {
      *result = overridden->second;
      return true;
    }
    provider = path_data->providers;
    generation = path_data->generation;
  }

  // Providers run without the lock: they may ask for other keys.
  FilePath path;
  for (; provider; provider = provider->next) {
    if (key < provider->key_start || key >= provider->key_end)
      continue;
    if (provider->func(key, &path))
      break;
    DCHECK(path.empty()) << "a provider that fails must leave the path empty";
    path.clear();
  }
  if (path.empty())
    return false;
  // Callers join names to these paths; a ".." would make them lie.
  if (path.ReferencesParent()) {
    path = MakeAbsoluteFilePath(path);
    if (path.empty())
      return false;
  }

  AutoLock lock(path_data->lock);
  if (generation == path_data->generation)
    path_data->cache[key] = path;
  *result = path;
  return true;
}

// static
bool PathService::Override(int key, const FilePath& path) {
  return OverrideAndCreateIfNeeded(key, path, false, true);
}

// static
bool PathService::OverrideAndCreateIfNeeded(int key,
                                            const FilePath& path,
                                            bool is_absolute,
                                            bool create) {
  if (key <= DIR_CURRENT) {
    LOG(ERROR) << "Path key " << key << " cannot be overridden";
    NOTREACHED();
    return false;
  }
  FilePath file_path = path;
  if (create && !PathExists(file_path) && !CreateDirectory(file_path)) {
    LOG(ERROR) << "Cannot create " << file_path << " to override path key "
               << key;
    return false;
  }
  if (!is_absolute) {
    file_path = MakeAbsoluteFilePath(file_path);
    if (file_path.empty())
      return false;
  }
  DCHECK(file_path.IsAbsolute()) << file_path;

  PathData* path_data = GetPathData();
  AutoLock lock(path_data->lock);
  path_data->cache.clear();
  path_data->overrides[key] = file_path;
  ++path_data->generation;
  return true;
}

// static
bool PathService::RemoveOverride(int key) {
  PathData* path_data = GetPathData();
  AutoLock lock(path_data->lock);
  if (path_data->overrides.erase(key) == 0)
    return false;
  path_data->cache.clear();
  ++path_data->generation;
  return true;
}

// static
void PathService::RegisterProvider(ProviderFunc func,
                                   int key_start,
                                   int key_end) {
  DCHECK(func);
  DCHECK_GT(key_end, key_start);
  PathData* path_data = GetPathData();
  AutoLock lock(path_data->lock);
  for (const Provider* p = path_data->providers; p; p = p->next) {
    DCHECK(key_end <= p->key_start || key_start >= p->key_end)
        << "path key range [" << key_start << ", " << key_end << ") overlaps ["
        << p->key_start << ", " << p->key_end << ")";
  }
  path_data->providers =
      new Provider{func, path_data->providers, key_start, key_end};
}

}  // namespace base
