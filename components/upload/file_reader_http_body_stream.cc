#include "components/upload/file_reader_http_body_stream.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "base/logging.h"

namespace upload {

FileReaderHTTPBodyStream::FileReaderHTTPBodyStream(base::File file)
    : file_(std::move(file)) {
  DCHECK(file_.IsValid());
}

FileReaderHTTPBodyStream::~FileReaderHTTPBodyStream() = default;

intptr_t FileReaderHTTPBodyStream::GetBytesBuffer(uint8_t* buffer,
                                                  size_t max_len) {
  if (failed_)
    return -1;
  if (max_len == 0)
    return 0;
  const int wanted = static_cast<int>(std::min<size_t>(max_len, INT_MAX));
  const int read =
      file_.ReadAtCurrentPos(reinterpret_cast<char*>(buffer), wanted);
  if (read < 0) {
    PLOG(ERROR) << "Cannot read the file of the request body";
    failed_ = true;
    return -1;
  }
  return read;
}

}  // namespace upload
