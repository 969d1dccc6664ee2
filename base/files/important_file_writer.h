// Writes files whose loss would hurt (install records, preferences) so that
// a crash or a full disk leaves either the old file or the new one, never a
// truncated mix: the data goes to a temporary file in the same folder,
// which is flushed and then moved over the target in one step.

#ifndef BASE_FILES_IMPORTANT_FILE_WRITER_H_
#define BASE_FILES_IMPORTANT_FILE_WRITER_H_

#include <string_view>

#include "base/files/file_path.h"

namespace base {

class ImportantFileWriter {
 public:
  ImportantFileWriter() = delete;

  // Replaces |path| with |data|. On failure |path| is unchanged, no
  // temporary file is left behind and the reason is logged.
  static bool WriteFileAtomically(const FilePath& path, std::string_view data);
};

}  // namespace base

#endif  // BASE_FILES_IMPORTANT_FILE_WRITER_H_
