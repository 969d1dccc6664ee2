// The archive as the seekable input stream of the 7z reader: a whole file,
// or the bytes of one that lie at an offset (the payload of a package
// executable), which the reader then sees as a file of their own.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_

#include <windows.h>

#include <Types.h>

#include <cstdint>

namespace installer {

// The reader calls through the ISeekInStream it derives from.
class ArchiveInStream : public ISeekInStream {
 public:
  // Reads up to the end of the file.
  static constexpr uint64_t kToFileEnd = UINT64_MAX;

  // |file| must stay open while the stream is used. Positions count from
  // |offset|; the stream ends |length| bytes after it.
  explicit ArchiveInStream(HANDLE file,
                           uint64_t offset = 0,
                           uint64_t length = kToFileEnd);
  ArchiveInStream(const ArchiveInStream&) = delete;
  ArchiveInStream& operator=(const ArchiveInStream&) = delete;

 private:
  // Reads all |*size| bytes: the reader asks only for bytes the archive
  // has, so an early end means the file changed, and fails like an error
  // of ReadFile does.
  static SRes ReadImpl(void* p, void* buf, size_t* size);
  static SRes SeekImpl(void* p, Int64* pos, ESzSeek origin);

  // Reads at positions of its own, so that a seek costs no system call.
  SRes ReadAt(Byte* out, size_t* size);
  // The stream's length; from the file's size with kToFileEnd.
  bool GetLength(uint64_t* length) const;

  const HANDLE file_;
  const uint64_t offset_;
  const uint64_t length_;
  // Relative to |offset_|; may lie past the end, where reads find none.
  uint64_t position_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_
