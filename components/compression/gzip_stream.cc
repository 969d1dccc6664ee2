#include "components/compression/gzip_stream.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

#include "base/logging.h"

namespace compression {

namespace {

constexpr size_t kInputBufferSize = 16384;
// 15 window bits plus 16: a gzip header and trailer instead of zlib's.
constexpr int kGzipWindowBits = MAX_WBITS + 16;
constexpr int kMemoryLevel = 8;

}  // namespace

GzipStream::GzipStream(std::unique_ptr<upload::HTTPBodyStream> source)
    : source_(std::move(source)) {
  DCHECK(source_);
}

GzipStream::~GzipStream() {
  if (initialized_)
    deflateEnd(&zlib_stream_);
}

bool GzipStream::Init() {
  DCHECK(!initialized_);
  input_.reset(new (std::nothrow) uint8_t[kInputBufferSize]);
  if (!input_) {
    LOG(ERROR) << "No memory for the gzip input buffer";
    return false;
  }
  const int result =
      deflateInit2(&zlib_stream_, Z_BEST_COMPRESSION, Z_DEFLATED,
                   kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
  if (result != Z_OK) {
    LOG(ERROR) << "deflateInit2 failed: " << result;
    return false;
  }
  initialized_ = true;
  return true;
}

intptr_t GzipStream::ReadSource() {
  const intptr_t read = source_->GetBytesBuffer(input_.get(), kInputBufferSize);
  if (read == 0)
    flush_mode_ = FlushMode::kFinish;
  if (read > 0) {
    zlib_stream_.next_in = input_.get();
    zlib_stream_.avail_in = static_cast<uInt>(read);
  }
  return read;
}

intptr_t GzipStream::GetBytesBuffer(uint8_t* buffer, size_t max_len) {
  if (!initialized_)
    return 0;
  // zlib counts free output in 32 bits.
  const uInt size = static_cast<uInt>(std::min<size_t>(max_len, UINT_MAX));
  zlib_stream_.next_out = buffer;
  zlib_stream_.avail_out = size;
  if (size == 0)
    return 0;
  while (true) {
    if (zlib_stream_.avail_in == 0 && flush_mode_ == FlushMode::kNone) {
      const intptr_t read = ReadSource();
      if (read < 0)
        return read;
    }
    const int result =
        deflate(&zlib_stream_,
                flush_mode_ == FlushMode::kFinish ? Z_FINISH : Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      deflateEnd(&zlib_stream_);
      initialized_ = false;
      return static_cast<intptr_t>(size - zlib_stream_.avail_out);
    }
    if (result != Z_OK) {
      LOG(ERROR) << "deflate failed: " << result;
      return -1;
    }
    if (zlib_stream_.avail_out == 0)
      return static_cast<intptr_t>(size);
  }
}

}  // namespace compression
