// Writes the files of a 7z extraction on a thread of its own, in the order
// the entries come, while the caller decodes the next data. Creating,
// writing and closing a file each wait on the file system (under Wine on
// its server too); overlapped with decoding, they cost no time.
//
// The decoder hands over copies of what it decoded in a few reused
// buffers, and waits while all of them are in use: memory stays bounded,
// and the writer never reads the decoder's window. Opening, data and
// closing travel together in jobs of up to one buffer, so that a small
// file is one job: every job wakes the thread, which costs a round trip to
// the Wine server. After the first failure every later job does nothing,
// so that nothing is written past it, and a file that failed or was
// discarded is deleted.
//
// Every file is created new, never through a link. Given HeldFiles, the
// writer takes each file's SHA-256 as it writes it and, once it is closed,
// holds it (held_files.h): a file that changed in between fails.
//
//   ArchiveFileWriter writer(ensure_directory, held_files);
//   writer.Start();
//   writer.OpenFile(path);
//   writer.Write(data, size);  // Any number of times.
//   writer.CloseFile(&mtime);
//   DWORD error;
//   if (writer.Finish(&error) != ArchiveFileWriter::Failure::kNone) ...

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_FILE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_FILE_WRITER_H_

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/synchronization/condition_variable.h"
#include "base/synchronization/lock.h"
#include "base/threading/thread.h"
#include "base/win/scoped_handle.h"

namespace crypto {
class SecureHash;
}

namespace installer {

class HeldFiles;

// The error of the Windows call that just failed; never 0, so that a
// failure cannot read as success.
DWORD LastErrorOrWriteFault();

class ArchiveFileWriter {
 public:
  enum class Failure {
    kNone,
    kCreate,   // A folder or file could not be created.
    kWrite,    // A write failed or ended short.
    kSetTime,  // The modification time could not be set.
    kClose,    // Closing a file failed.
  };

  // |ensure_directory| creates a folder with its parents; it runs on the
  // writer's thread. |held| (may be null) must outlive the writer.
  ArchiveFileWriter(
      base::RepeatingCallback<bool(const base::FilePath&)> ensure_directory,
      HeldFiles* held);
  ArchiveFileWriter(const ArchiveFileWriter&) = delete;
  ArchiveFileWriter& operator=(const ArchiveFileWriter&) = delete;
  ~ArchiveFileWriter();

  bool Start();

  // The operations, done in the order they are called.
  void CreateFolder(const base::FilePath& folder);
  // Creates the file, and its folder when needed.
  void OpenFile(const base::FilePath& path);
  // Copies |data| for the open file; waits while every buffer is in use.
  void Write(const uint8_t* data, size_t size);
  // Sets the file's modification time when |mtime| is not null, and closes
  // it.
  void CloseFile(const FILETIME* mtime);
  // Drops the open file: its entry failed. A file the writer made is
  // deleted.
  void DiscardFile();

  // Whether a job failed; later ones then do nothing.
  bool failed() const { return failed_; }

  // Does what is left and ends the thread. Returns the first failure and
  // gives |error| its Windows error (never 0).
  Failure Finish(DWORD* error);

 private:
  struct Buffer;
  struct Job;

  // Hands the file's opening, the buffer filled so far and |job|'s closing
  // or discarding to the thread.
  void PostJob(std::unique_ptr<Job> job);
  void RunJob(std::unique_ptr<Job> job);

  void CreateFolderOnThread(const base::FilePath& folder);
  void OpenFileOnThread(const base::FilePath& path);
  void WriteOnThread(const Buffer& buffer);
  void CloseFileOnThread(bool set_time, FILETIME mtime);
  // On |holder_|: holds the closed file |path|, made as |made|, as written.
  void HoldOnHolder(const base::FilePath& path,
                    const base::FileIdentity& made,
                    const std::string& sha256);
  void Fail(Failure failure, const char* call, DWORD error);
  void DeleteOpenFile();

  std::unique_ptr<Buffer> TakeBuffer();
  void ReturnBuffer(std::unique_ptr<Buffer> buffer);

  const base::RepeatingCallback<bool(const base::FilePath&)> ensure_directory_;
  HeldFiles* const held_;
  base::Thread thread_;
  // Holds the written files, when they are to be held.
  base::Thread holder_;
  std::atomic<bool> failed_{false};
  std::atomic<bool> hold_failed_{false};

  // On the caller's thread: the file to open with the next job, and the
  // buffer being filled.
  base::FilePath open_path_;
  std::unique_ptr<Buffer> filling_;

  // The buffers not in use; more are made up to a fixed count.
  base::Lock lock_;
  base::ConditionVariable buffer_returned_;
  std::vector<std::unique_ptr<Buffer>> free_buffers_;
  int buffers_made_ = 0;

  // Only on the writer's thread (and after Finish).
  base::win::ScopedHandle file_;
  base::FilePath file_path_;
  // Of the open file, when it is to be held: who it is, and the hash of
  // what was written.
  base::FileIdentity file_identity_;
  std::unique_ptr<crypto::SecureHash> hash_;
  Failure failure_ = Failure::kNone;
  DWORD error_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_FILE_WRITER_H_
