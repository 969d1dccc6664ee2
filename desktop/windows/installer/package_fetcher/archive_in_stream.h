// The archive file as the seekable input stream of the 7z reader.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_

#include <windows.h>

#include <Types.h>

namespace installer {

// The reader calls through the ISeekInStream it derives from.
class ArchiveInStream : public ISeekInStream {
 public:
  // |file| must stay open while the stream is used.
  explicit ArchiveInStream(HANDLE file);
  ArchiveInStream(const ArchiveInStream&) = delete;
  ArchiveInStream& operator=(const ArchiveInStream&) = delete;

 private:
  // Reads all |*size| bytes: the reader asks only for bytes the archive
  // has, so an early end means the file changed, and fails like an error
  // of ReadFile does.
  static SRes ReadImpl(void* p, void* buf, size_t* size);
  static SRes SeekImpl(void* p, Int64* pos, ESzSeek origin);

  const HANDLE file_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ARCHIVE_IN_STREAM_H_
