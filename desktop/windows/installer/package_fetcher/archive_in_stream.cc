#include "desktop/windows/installer/package_fetcher/archive_in_stream.h"

#include <algorithm>
#include <limits>

namespace installer {

namespace {

ArchiveInStream* FromStream(void* p) {
  return static_cast<ArchiveInStream*>(static_cast<ISeekInStream*>(p));
}

}  // namespace

ArchiveInStream::ArchiveInStream(HANDLE file, uint64_t offset, uint64_t length)
    : file_(file), offset_(offset), length_(length) {
  Read = &ArchiveInStream::ReadImpl;
  Seek = &ArchiveInStream::SeekImpl;
}

// static
SRes ArchiveInStream::ReadImpl(void* p, void* buf, size_t* size) {
  return FromStream(p)->ReadAt(static_cast<Byte*>(buf), size);
}

SRes ArchiveInStream::ReadAt(Byte* out, size_t* size) {
  size_t done = 0;
  SRes res = SZ_OK;
  while (done < *size) {
    // Nothing of the file past the stream's end is handed out.
    if (length_ != kToFileEnd && position_ >= length_) {
      res = SZ_ERROR_INPUT_EOF;
      break;
    }
    uint64_t left = *size - done;
    if (length_ != kToFileEnd)
      left = std::min(left, length_ - position_);
    const DWORD piece = static_cast<DWORD>(std::min<uint64_t>(left, 1u << 30));
    const uint64_t at = offset_ + position_;
    OVERLAPPED where = {};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD read = 0;
    if (!::ReadFile(file_, out + done, piece, &read, &where)) {
      res = ::GetLastError() == ERROR_HANDLE_EOF ? SZ_ERROR_INPUT_EOF
                                                 : SZ_ERROR_READ;
      break;
    }
    if (read == 0) {
      res = SZ_ERROR_INPUT_EOF;
      break;
    }
    done += read;
    position_ += read;
  }
  *size = done;
  return res;
}

bool ArchiveInStream::GetLength(uint64_t* length) const {
  if (length_ != kToFileEnd) {
    *length = length_;
    return true;
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file_, &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) < offset_) {
    return false;
  }
  *length = static_cast<uint64_t>(size.QuadPart) - offset_;
  return true;
}

// static
SRes ArchiveInStream::SeekImpl(void* p, Int64* pos, ESzSeek origin) {
  ArchiveInStream* stream = FromStream(p);
  uint64_t base;
  switch (origin) {
    case SZ_SEEK_SET:
      base = 0;
      break;
    case SZ_SEEK_CUR:
      base = stream->position_;
      break;
    case SZ_SEEK_END:
      if (!stream->GetLength(&base))
        return SZ_ERROR_FAIL;
      break;
    default:
      return SZ_ERROR_PARAM;
  }
  constexpr uint64_t kMax = std::numeric_limits<Int64>::max();
  // No position before the start, nor one that overflows.
  if (base > kMax || (*pos < 0 && static_cast<uint64_t>(-(*pos + 1)) >= base) ||
      (*pos > 0 && static_cast<uint64_t>(*pos) > kMax - base)) {
    return SZ_ERROR_FAIL;
  }
  stream->position_ = *pos < 0 ? base - static_cast<uint64_t>(-(*pos + 1)) - 1
                               : base + static_cast<uint64_t>(*pos);
  *pos = static_cast<Int64>(stream->position_);
  return SZ_OK;
}

}  // namespace installer
