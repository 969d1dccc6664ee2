#include "components/sevenzip/sz_archive.h"

#include <string.h>

#include "components/sevenzip/byte_reader.h"
#include "components/sevenzip/folder_decoder.h"
#include "components/sevenzip/header_parser.h"
#include "components/sevenzip/sz_crc.h"

namespace {

constexpr Byte kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr size_t kSignatureHeaderSize = 32;
// A package's header takes some hundred kilobytes; larger ones, read or
// decoded into memory, are refused.
constexpr UInt64 kMaxHeaderSize = 64 << 20;
// An encoded header may itself be encoded, but not without end.
constexpr int kMaxHeaderLevels = 4;

UInt32 GetUi32(const Byte* p) {
  return p[0] | (static_cast<UInt32>(p[1]) << 8) |
         (static_cast<UInt32>(p[2]) << 16) | (static_cast<UInt32>(p[3]) << 24);
}

UInt64 GetUi64(const Byte* p) {
  return GetUi32(p) | (static_cast<UInt64>(GetUi32(p + 4)) << 32);
}

// Header bytes from the temporary allocator, freed with it.
class HeaderBuffer {
 public:
  explicit HeaderBuffer(ISzAlloc* alloc) : alloc_(alloc) {}
  HeaderBuffer(const HeaderBuffer&) = delete;
  HeaderBuffer& operator=(const HeaderBuffer&) = delete;
  ~HeaderBuffer() { IAlloc_Free(alloc_, data_); }

  SRes Allocate(size_t size) {
    IAlloc_Free(alloc_, data_);
    size_ = 0;
    data_ = static_cast<Byte*>(IAlloc_Alloc(alloc_, size ? size : 1));
    if (!data_)
      return SZ_ERROR_MEM;
    size_ = size;
    return SZ_OK;
  }
  void Swap(HeaderBuffer* other) {
    Byte* data = data_;
    const size_t size = size_;
    data_ = other->data_;
    size_ = other->size_;
    other->data_ = data;
    other->size_ = size;
  }

  Byte* data() { return data_; }
  size_t size() const { return size_; }

 private:
  ISzAlloc* const alloc_;
  Byte* data_ = nullptr;
  size_t size_ = 0;
};

// Decodes the first folder of |header_db| into |out|, checking its CRC.
SRes DecodeHeaderFolder(const CSzArEx& header_db,
                        ILookInStream* stream,
                        ISzAlloc* alloc_temp,
                        HeaderBuffer* out) {
  if (header_db.NumFolders == 0)
    return SZ_ERROR_ARCHIVE;
  const CSzFolder& folder = header_db.Folders[0];
  const UInt64 size = folder.UnpackSizes[folder.MainCoder];
  if (size > kMaxHeaderSize)
    return SZ_ERROR_UNSUPPORTED;
  RINOK(out->Allocate(static_cast<size_t>(size)));
  sevenzip::FolderDecoder decoder(&header_db, 0, stream, alloc_temp,
                                  alloc_temp);
  RINOK(decoder.Init());
  size_t filled = 0;
  while (filled < size) {
    const Byte* data;
    size_t available;
    RINOK(decoder.output()->Look(&data, &available));
    if (available == 0)
      return SZ_ERROR_DATA;
    memcpy(out->data() + filled, data, available);
    filled += available;
    decoder.output()->Skip(available);
  }
  if (folder.UnpackCrcDefined &&
      sevenzip::Crc32(0, out->data(), out->size()) != folder.UnpackCrc) {
    return SZ_ERROR_CRC;
  }
  return SZ_OK;
}

SRes ReadHeaders(CSzArEx* p,
                 ILookInStream* stream,
                 ISzAlloc* alloc_main,
                 ISzAlloc* alloc_temp) {
  Int64 file_size = 0;
  RINOK(stream->Seek(stream, &file_size, SZ_SEEK_END));
  RINOK(LookInStream_SeekTo(stream, 0));
  Byte start[kSignatureHeaderSize];
  RINOK(LookInStream_Read2(stream, start, sizeof(start), SZ_ERROR_NO_ARCHIVE));
  if (memcmp(start, kSignature, sizeof(kSignature)) != 0)
    return SZ_ERROR_NO_ARCHIVE;
  // Major version 0 is the only one there is.
  if (start[6] != 0)
    return SZ_ERROR_UNSUPPORTED;
  if (sevenzip::Crc32(0, start + 12, 20) != GetUi32(start + 8))
    return SZ_ERROR_CRC;
  const UInt64 header_offset = GetUi64(start + 12);
  const UInt64 header_size = GetUi64(start + 20);
  const UInt32 header_crc = GetUi32(start + 28);
  if (header_size == 0)
    return SZ_OK;  // An archive without entries.

  // The header lies after the packed data, inside the file: anything else
  // is a truncated archive (or the first part of a split one).
  const UInt64 data_size =
      static_cast<UInt64>(file_size) - kSignatureHeaderSize;
  if (static_cast<UInt64>(file_size) < kSignatureHeaderSize ||
      header_offset > data_size || header_size > data_size - header_offset) {
    return SZ_ERROR_INPUT_EOF;
  }
  if (header_size > kMaxHeaderSize)
    return SZ_ERROR_UNSUPPORTED;
  const UInt64 data_end = kSignatureHeaderSize + header_offset;

  HeaderBuffer header(alloc_temp);
  RINOK(header.Allocate(static_cast<size_t>(header_size)));
  RINOK(LookInStream_SeekTo(stream, data_end));
  RINOK(LookInStream_Read(stream, header.data(), header.size()));
  if (sevenzip::Crc32(0, header.data(), header.size()) != header_crc)
    return SZ_ERROR_CRC;

  for (int level = 0; level < kMaxHeaderLevels; ++level) {
    sevenzip::ByteReader reader(header.data(), header.size());
    UInt64 id;
    RINOK(reader.ReadNumber(&id));
    if (id == sevenzip::kIdHeader) {
      sevenzip::HeaderParser parser(alloc_main, kSignatureHeaderSize, data_end);
      return parser.ReadHeader(&reader, p);
    }
    if (id != sevenzip::kIdEncodedHeader)
      return SZ_ERROR_ARCHIVE;
    CSzArEx header_db;
    SzArEx_Init(&header_db);
    sevenzip::HeaderParser parser(alloc_temp, kSignatureHeaderSize, data_end);
    HeaderBuffer decoded(alloc_temp);
    SRes res = parser.ReadEncodedHeader(&reader, &header_db);
    if (res == SZ_OK)
      res = DecodeHeaderFolder(header_db, stream, alloc_temp, &decoded);
    SzArEx_Free(&header_db, alloc_temp);
    RINOK(res);
    header.Swap(&decoded);
  }
  return SZ_ERROR_UNSUPPORTED;
}

}  // namespace

void SzArEx_Init(CSzArEx* p) {
  memset(p, 0, sizeof(*p));
}

SRes SzArEx_Open(CSzArEx* p,
                 ILookInStream* in_stream,
                 ISzAlloc* alloc_main,
                 ISzAlloc* alloc_temp) {
  const SRes res = ReadHeaders(p, in_stream, alloc_main, alloc_temp);
  if (res != SZ_OK)
    SzArEx_Free(p, alloc_main);
  return res;
}

void SzArEx_Free(CSzArEx* p, ISzAlloc* alloc) {
  IAlloc_Free(alloc, p->PackStreamOffsets);
  IAlloc_Free(alloc, p->Folders);
  IAlloc_Free(alloc, p->FolderStartPackStream);
  IAlloc_Free(alloc, p->FolderStartFile);
  IAlloc_Free(alloc, p->FolderNumFiles);
  IAlloc_Free(alloc, p->Files);
  IAlloc_Free(alloc, p->FileFolder);
  IAlloc_Free(alloc, p->FileOffsetInFolder);
  IAlloc_Free(alloc, p->FileNameOffsets);
  IAlloc_Free(alloc, p->FileNames);
  SzArEx_Init(p);
}

size_t SzArEx_GetFileNameUtf16(const CSzArEx* p,
                               size_t file_index,
                               UInt16* dest) {
  if (!p->FileNameOffsets || file_index >= p->NumFiles)
    return 0;
  const size_t begin = p->FileNameOffsets[file_index];
  const size_t length = p->FileNameOffsets[file_index + 1] - begin;
  if (dest) {
    const Byte* name = p->FileNames + 2 * begin;
    for (size_t i = 0; i < length; ++i)
      dest[i] = static_cast<UInt16>(name[2 * i] | (name[2 * i + 1] << 8));
  }
  return length;
}
