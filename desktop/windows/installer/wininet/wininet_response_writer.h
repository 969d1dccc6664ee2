// Where the body of a download goes: nowhere (ResponseWriter itself), a file
// (FileResponseWriter) or a string of bounded size (StringResponseWriter).
// The downloader owns its writer and calls it on the thread that started
// the download.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_WININET_RESPONSE_WRITER_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_WININET_RESPONSE_WRITER_H_

#include <stddef.h>
#include <windows.h>

#include <string>

#include "base/files/file_path.h"

namespace installer {

class ResponseWriter {
 public:
  ResponseWriter() = default;
  ResponseWriter(const ResponseWriter&) = delete;
  ResponseWriter& operator=(const ResponseWriter&) = delete;
  virtual ~ResponseWriter() = default;

  // Takes the next piece of the body; false fails the download.
  virtual bool Write(const char* data, size_t size);
  // The body starts over (the server answered a resumed request with the
  // whole body): what was written goes. False fails the download.
  virtual bool Restart();
  // The body is complete or the connection closes.
  virtual void Finish() {}
};

class FileResponseWriter : public ResponseWriter {
 public:
  FileResponseWriter() = default;
  ~FileResponseWriter() override;

  // Creates |path| afresh for writing; false (logged) when it cannot. A
  // writer that failed to open fails the download on its first piece.
  bool Open(const base::FilePath& path);

  bool Write(const char* data, size_t size) override;
  bool Restart() override;
  void Finish() override;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

class StringResponseWriter : public ResponseWriter {
 public:
  // Replies of the update server that are read into memory stay far below
  // this.
  static constexpr size_t kDefaultMaxSize = 1024 * 1024;

  // Empties |target|, which must outlive the writer, and appends the body
  // to it; a body longer than |max_size| fails the download.
  explicit StringResponseWriter(std::string* target,
                                size_t max_size = kDefaultMaxSize);

  bool Write(const char* data, size_t size) override;
  bool Restart() override;

 private:
  std::string* const target_;
  const size_t max_size_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_WININET_RESPONSE_WRITER_H_
