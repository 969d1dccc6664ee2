// Unpacks the package's 7z archive into the package folder.
//
// Entries are decoded as a stream straight into their files: a solid block
// is decoded once, in order, and never held whole, so memory stays at the
// dictionary window however large the package is. ArchiveFileWriter
// creates, writes and closes the files on a thread of its own while the
// caller's thread decodes. LzmaFileAllocator puts a very large window in a
// temporary file mapping; a disk error while that is touched ends the
// extraction with error kind 5 through ScopedInPageErrorGuard.
//
// The archive is untrusted: SzArEx_Open checks its tables and CRCs, every
// entry name must be a plain relative path (archive_entry_path.h), and an
// entry that fails leaves no file behind.
//
// The output folder may be one that others can write: every folder below it
// and every file is made new by the extraction, never reached through a
// link, and with HeldFiles each is held once written (held_files.h).
//
//   Archive7z archive(delegate);
//   if (archive.Open(path) == 0 && archive.Extract(folder, nullptr) == 0)
//     ...

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_UTIL_H_

#include <windows.h>

#include <stddef.h>

#include <set>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"
#include "components/sevenzip/sz_archive.h"
#include "desktop/windows/installer/package_fetcher/archive_file_writer.h"

class CSzBlockCache;

namespace installer {

class DownloadProgressDelegate;
class HeldFiles;
class LzmaFileAllocator;
class ScopedInPageErrorGuard;

class Archive7z {
 public:
  enum ErrorKind {
    kNoError = 0,
    kArchiveNotFound = 1,    // Open: ERROR_FILE_NOT_FOUND.
    kArchiveOpenFailed = 2,  // Open: another error.
    kArchiveReadFailed = 3,  // The archive's tables (SzArEx_Open).
    kEntryDecodeFailed = 4,  // An entry's data (SzArEx_Extract).
    kInPageError = 5,        // A disk error on the mapped window.
    kEntryNameFailed = 6,    // A missing or unsafe entry name.
    kCreateFileFailed = 7,   // Creating a file or folder.
    kWriteFileFailed = 8,    // Writing a file.
    kSetFileTimeFailed = 9,  // Setting a file's modification time.
    kCloseFileFailed = 10,   // Closing a file.
  };

  // Results of Extract besides 0 and Windows errors.
  static constexpr DWORD kArchiveError = 6;
  static constexpr DWORD kInPageErrorResult = ERROR_IO_DEVICE;

  // |delegate| (may be null) receives the number of entries, then each
  // entry's index before it is unpacked; it must outlive this object.
  explicit Archive7z(DownloadProgressDelegate* delegate);
  Archive7z(const Archive7z&) = delete;
  Archive7z& operator=(const Archive7z&) = delete;
  ~Archive7z();

  // Opens the archive for reading, closing one opened before. Returns 0 or
  // the Windows error (kinds 1 and 2).
  DWORD Open(const base::FilePath& path);

  // Unpacks every entry below |output_folder|, giving |last_path| (may be
  // null) the path of each entry as it comes. Returns 0; kArchiveError
  // without an open archive (the kind stays) or for kinds 3, 4 and 6;
  // kInPageErrorResult for kind 5; the Windows error for kinds 7 to 10.
  // Entries unpacked before a failure stay; the failing one leaves nothing.
  DWORD Extract(const base::FilePath& output_folder, base::FilePath* last_path);

  void Close();

  // Every folder and file the extraction makes is held by |held| (may be
  // null; it must outlive the extraction). The output folder must then be
  // one that |held| made.
  void set_held_files(HeldFiles* held) { held_ = held; }

  // Creates |folder| with its parents unless this extraction did already;
  // below the output folder each must be new. While Extract runs, only its
  // file writer calls it.
  bool EnsureDirectory(const base::FilePath& folder);

  ErrorKind error_kind() const { return error_kind_; }
  // The NTSTATUS of the last in-page error.
  DWORD in_page_status() const { return in_page_status_; }

  // Runs after each piece of entry data is decoded, where a disk error on
  // the window would strike.
  void SetDecodeHookForTesting(
      base::RepeatingCallback<void(LzmaFileAllocator*)> hook);
  // Windows of this size or more are file-backed (see LzmaFileAllocator).
  void SetMinFileBackedWindowForTesting(size_t size) {
    min_file_backed_window_ = size;
  }

 private:
  // What an extraction works with.
  struct Context;

  DWORD ExtractEntries(const CSzArEx& db,
                       ILookInStream* stream,
                       const base::FilePath& output_folder,
                       base::FilePath* last_path);
  DWORD ExtractEntry(Context* context, UInt32 index);
  // Decodes the started entry's data for the open file.
  DWORD StreamEntryData(Context* context);
  // Fails with kind 6 on a missing or unsafe name.
  bool GetEntryPaths(const CSzArEx& db,
                     const base::FilePath& output_folder,
                     std::vector<base::FilePath>* paths);

  DWORD DecodeFailure(SRes res);
  DWORD InPageFailure(const ScopedInPageErrorGuard& guard);
  // Kinds 7 to 10, from what the file writer reports.
  DWORD FileFailure(ArchiveFileWriter::Failure failure, DWORD error);

  base::win::ScopedHandle archive_file_;
  HeldFiles* held_ = nullptr;
  // Of the extraction under way.
  base::FilePath output_folder_;
  std::set<std::wstring> created_folders_;
  ErrorKind error_kind_ = kNoError;
  DWORD in_page_status_ = 0;
  DownloadProgressDelegate* const delegate_;
  base::RepeatingCallback<void(LzmaFileAllocator*)> decode_hook_;
  size_t min_file_backed_window_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_UTIL_H_
