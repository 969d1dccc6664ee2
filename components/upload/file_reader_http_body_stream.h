// A body read from an open file as it is sent, such as a minidump.

#ifndef COMPONENTS_UPLOAD_FILE_READER_HTTP_BODY_STREAM_H_
#define COMPONENTS_UPLOAD_FILE_READER_HTTP_BODY_STREAM_H_

#include "base/files/file.h"
#include "components/upload/http_body_stream.h"

namespace upload {

class FileReaderHTTPBodyStream : public HTTPBodyStream {
 public:
  // |file| must be open for reading; the body is the rest of it from its
  // current position.
  explicit FileReaderHTTPBodyStream(base::File file);
  FileReaderHTTPBodyStream(const FileReaderHTTPBodyStream&) = delete;
  FileReaderHTTPBodyStream& operator=(const FileReaderHTTPBodyStream&) = delete;
  ~FileReaderHTTPBodyStream() override;

  // A read error gives -1, and so does every later call.
  intptr_t GetBytesBuffer(uint8_t* buffer, size_t max_len) override;

 private:
  base::File file_;
  bool failed_ = false;
};

}  // namespace upload

#endif  // COMPONENTS_UPLOAD_FILE_READER_HTTP_BODY_STREAM_H_
