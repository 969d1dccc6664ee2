#include "base/files/important_file_writer.h"

#include <windows.h>

#include <limits>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/logging.h"

namespace base {

namespace {

void LogFailure(const FilePath& path, const char* message) {
  PLOG(WARNING) << "Failed to write " << path << ": " << message;
}

// A reader or a virus scanner holding the old file without sharing it for
// deletion makes the replace fail for a moment; try a few more times.
constexpr int kReplaceAttempts = 6;
constexpr DWORD kReplaceRetryDelayMs = 100;

bool ReplaceWithRetries(const FilePath& from, const FilePath& to) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(from.value().c_str(), to.value().c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    DWORD error = ::GetLastError();
    bool transient = error == ERROR_ACCESS_DENIED ||
                     error == ERROR_SHARING_VIOLATION ||
                     error == ERROR_LOCK_VIOLATION;
    if (!transient || attempt == kReplaceAttempts)
      return false;
    ::Sleep(kReplaceRetryDelayMs);
  }
}

void DeleteTemporaryFile(const FilePath& temp_path) {
  if (!DeleteFile(temp_path, false))
    PLOG(WARNING) << "Failed to delete the temporary file " << temp_path;
}

}  // namespace

// static
bool ImportantFileWriter::WriteFileAtomically(const FilePath& path,
                                              std::string_view data) {
  if (data.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    LOG(ERROR) << "Failed to write " << path << ": " << data.size()
               << " bytes is too much";
    return false;
  }
  // The same folder keeps the final move on one volume, where it is a
  // rename that cannot be seen half done.
  FilePath temp_path;
  if (!CreateTemporaryFileInDir(path.DirName(), &temp_path)) {
    LogFailure(path, "could not create a temporary file");
    return false;
  }

  File temp_file(temp_path, File::FLAG_OPEN | File::FLAG_WRITE);
  if (!temp_file.IsValid()) {
    LogFailure(path, "could not open the temporary file");
    DeleteTemporaryFile(temp_path);
    return false;
  }
  const int size = static_cast<int>(data.size());
  int written = temp_file.Write(0, data.data(), size);
  bool flushed = temp_file.Flush();
  temp_file.Close();
  if (written != size) {
    LogFailure(path, "could not write all of the data");
    DeleteTemporaryFile(temp_path);
    return false;
  }
  if (!flushed) {
    LogFailure(path, "could not flush the temporary file");
    DeleteTemporaryFile(temp_path);
    return false;
  }

  if (!ReplaceWithRetries(temp_path, path)) {
    LogFailure(path, "could not move the temporary file into place");
    DeleteTemporaryFile(temp_path);
    return false;
  }
  return true;
}

}  // namespace base
