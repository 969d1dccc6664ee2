#include "desktop/windows/installer/package_fetcher/archive_in_stream.h"

namespace installer {

namespace {

ArchiveInStream* FromStream(void* p) {
  return static_cast<ArchiveInStream*>(static_cast<ISeekInStream*>(p));
}

}  // namespace

ArchiveInStream::ArchiveInStream(HANDLE file) : file_(file) {
  Read = &ArchiveInStream::ReadImpl;
  Seek = &ArchiveInStream::SeekImpl;
}

// static
SRes ArchiveInStream::ReadImpl(void* p, void* buf, size_t* size) {
  const HANDLE file = FromStream(p)->file_;
  Byte* out = static_cast<Byte*>(buf);
  size_t done = 0;
  SRes res = SZ_OK;
  while (done < *size) {
    const size_t left = *size - done;
    const DWORD piece = left < (1u << 30) ? static_cast<DWORD>(left) : 1u << 30;
    DWORD read = 0;
    if (!::ReadFile(file, out + done, piece, &read, nullptr)) {
      res = SZ_ERROR_READ;
      break;
    }
    if (read == 0) {
      res = SZ_ERROR_INPUT_EOF;
      break;
    }
    done += read;
  }
  *size = done;
  return res;
}

// static
SRes ArchiveInStream::SeekImpl(void* p, Int64* pos, ESzSeek origin) {
  DWORD method;
  switch (origin) {
    case SZ_SEEK_SET:
      method = FILE_BEGIN;
      break;
    case SZ_SEEK_CUR:
      method = FILE_CURRENT;
      break;
    case SZ_SEEK_END:
      method = FILE_END;
      break;
    default:
      return SZ_ERROR_PARAM;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = *pos;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(FromStream(p)->file_, distance, &position, method))
    return SZ_ERROR_FAIL;
  *pos = position.QuadPart;
  return SZ_OK;
}

}  // namespace installer
