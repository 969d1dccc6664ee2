// Writes a zip archive holding one deflated file, the form in which a text
// crash log travels to the crash server.
//
//   if (!zip::WriteSingleEntryZip(zip_path, "crashlog.txt", log_path, 9))
//     return false;  // Nothing is left at |zip_path|.

#ifndef COMPONENTS_ZIP_ZIP_WRITER_H_
#define COMPONENTS_ZIP_ZIP_WRITER_H_

#include <cstdint>
#include <string_view>

#include "base/files/file_path.h"

namespace zip {

// Sizes and offsets of a zip without ZIP64 records are 32-bit, and the
// all-ones value announces a ZIP64 record, so a source (or its compressed
// form) must stay below it.
constexpr uint64_t kMaxEntrySize = 0xFFFFFFFEu;

// Creates |zip_path| (replacing any file there) with the single entry
// |entry_name| (ASCII), compressed at |level| (0 to 9) from the whole of
// |source_path|. The entry carries no date and no attributes. An empty or
// unreadable source, one of kMaxEntrySize bytes or more, or any failed
// write fails, and then no file is left at |zip_path|.
bool WriteSingleEntryZip(const base::FilePath& zip_path,
                         std::string_view entry_name,
                         const base::FilePath& source_path,
                         int level);

}  // namespace zip

#endif  // COMPONENTS_ZIP_ZIP_WRITER_H_
