// The look-to-read stream and the look-stream helpers that the LZMA SDK's
// Types.h declares. In exact mode (no lookahead) a look reads only the
// bytes asked for, so the reader never reads past what it needs: nothing
// beyond the end of the archive, and nothing of an appended payload's
// surroundings.

#include <Types.h>

#include <string.h>

namespace {

// Fills the empty buffer with the |*size| bytes asked for or, with
// |lookahead|, with all it holds.
SRes Look(CLookToRead* p, const void** buf, size_t* size, bool lookahead) {
  SRes res = SZ_OK;
  size_t available = p->size - p->pos;
  if (available == 0 && *size > 0) {
    p->pos = 0;
    size_t wanted =
        lookahead || *size > LookToRead_BUF_SIZE ? LookToRead_BUF_SIZE : *size;
    res = p->realStream->Read(p->realStream, p->buf, &wanted);
    available = p->size = wanted;
  }
  if (available < *size)
    *size = available;
  *buf = p->buf + p->pos;
  return res;
}

SRes LookExact(void* p, const void** buf, size_t* size) {
  return Look(static_cast<CLookToRead*>(p), buf, size, false);
}

SRes LookAhead(void* p, const void** buf, size_t* size) {
  return Look(static_cast<CLookToRead*>(p), buf, size, true);
}

SRes LookSkip(void* pp, size_t offset) {
  CLookToRead* p = static_cast<CLookToRead*>(pp);
  p->pos += offset;
  return SZ_OK;
}

SRes LookRead(void* pp, void* buf, size_t* size) {
  CLookToRead* p = static_cast<CLookToRead*>(pp);
  const size_t available = p->size - p->pos;
  if (available == 0)
    return p->realStream->Read(p->realStream, buf, size);
  if (available < *size)
    *size = available;
  memcpy(buf, p->buf + p->pos, *size);
  p->pos += *size;
  return SZ_OK;
}

SRes LookSeek(void* pp, Int64* pos, ESzSeek origin) {
  CLookToRead* p = static_cast<CLookToRead*>(pp);
  p->pos = p->size = 0;
  return p->realStream->Seek(p->realStream, pos, origin);
}

}  // namespace

extern "C" {

void LookToRead_CreateVTable(CLookToRead* p, int lookahead) {
  p->s.Look = lookahead ? LookAhead : LookExact;
  p->s.Skip = LookSkip;
  p->s.Read = LookRead;
  p->s.Seek = LookSeek;
}

void LookToRead_Init(CLookToRead* p) {
  p->pos = p->size = 0;
}

SRes LookInStream_SeekTo(ILookInStream* stream, UInt64 offset) {
  Int64 pos = static_cast<Int64>(offset);
  return stream->Seek(stream, &pos, SZ_SEEK_SET);
}

SRes LookInStream_LookRead(ILookInStream* stream, void* buf, size_t* size) {
  const void* look_buf;
  if (*size == 0)
    return SZ_OK;
  RINOK(stream->Look(stream, &look_buf, size));
  memcpy(buf, look_buf, *size);
  return stream->Skip(stream, *size);
}

SRes LookInStream_Read2(ILookInStream* stream,
                        void* buf,
                        size_t size,
                        SRes error_type) {
  Byte* out = static_cast<Byte*>(buf);
  while (size != 0) {
    size_t processed = size;
    RINOK(stream->Read(stream, out, &processed));
    if (processed == 0)
      return error_type;
    out += processed;
    size -= processed;
  }
  return SZ_OK;
}

SRes LookInStream_Read(ILookInStream* stream, void* buf, size_t size) {
  return LookInStream_Read2(stream, buf, size, SZ_ERROR_INPUT_EOF);
}

}  // extern "C"
