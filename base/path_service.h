// Answers "where is X?" for numbered path keys (base_paths.h and the keys
// of registered providers), caching each answer. Tests and callers may
// override a key. Safe to use from any thread.
//
//   base::FilePath exe_dir;
//   if (!base::PathService::Get(base::DIR_EXE, &exe_dir))
//     LOG(ERROR) << "Cannot find own dir";

#ifndef BASE_PATH_SERVICE_H_
#define BASE_PATH_SERVICE_H_

#include "base/base_paths.h"
#include "base/files/file_path.h"

namespace base {

class PathService {
 public:
  // Fills |result| for |key| and returns true, or returns false when no
  // override and no provider knows the key. The answer is absolute.
  static bool Get(int key, FilePath* result);

  // Makes |key| answer |path| (for folders: creating it when missing, and
  // made absolute against the current folder). Every cached answer is
  // dropped, since some may derive from |key|.
  static bool Override(int key, const FilePath& path);
  // The same with control: |is_absolute| skips making the path absolute,
  // |create| creates the folder when it is missing.
  static bool OverrideAndCreateIfNeeded(int key,
                                        const FilePath& path,
                                        bool is_absolute,
                                        bool create);
  // Forgets an override; false when |key| had none.
  static bool RemoveOverride(int key);

  // A provider fills |result| and returns true for the keys it knows. It
  // may call Get for other keys, never Override.
  using ProviderFunc = bool (*)(int key, FilePath* result);
  // Adds a provider for keys in [key_start, key_end), asked before the
  // providers registered earlier. Key ranges must not overlap.
  static void RegisterProvider(ProviderFunc provider,
                               int key_start,
                               int key_end);

  PathService() = delete;
};

}  // namespace base

#endif  // BASE_PATH_SERVICE_H_
