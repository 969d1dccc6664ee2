// Entry data of an opened archive, decoded as a stream: the counterpart of
// the LZMA SDK's SzArEx_Extract that never holds a whole solid block. The
// caller keeps a CSzBlockCache between calls, as it kept the block index
// and output buffer: while entries are extracted in order, each block is
// decoded once, and memory stays at its coders' dictionary windows.
//
//   CSzBlockCache cache;
//   for (UInt32 i = 0; i < db.NumFiles; ++i) {
//     RINOK(SzArEx_Extract(&db, &look_stream.s, i, &cache, &alloc, &temp));
//     const Byte* data;
//     size_t size;
//     while ((res = cache.Look(&data, &size)) == SZ_OK && size > 0) {
//       Write(data, size);
//       cache.Skip(size);
//     }
//   }

#ifndef COMPONENTS_SEVENZIP_SZ_EXTRACT_H_
#define COMPONENTS_SEVENZIP_SZ_EXTRACT_H_

#include <memory>

#include "components/sevenzip/sz_archive.h"

namespace sevenzip {
class FolderDecoder;
}  // namespace sevenzip

class CSzBlockCache {
 public:
  CSzBlockCache();
  CSzBlockCache(const CSzBlockCache&) = delete;
  CSzBlockCache& operator=(const CSzBlockCache&) = delete;
  ~CSzBlockCache();

  // The data of the entry SzArEx_Extract started, in pieces. |*size| is 0
  // once all of it was skipped and its CRC (and at the end of a block with
  // a CRC of its own, the block's) matched; SZ_ERROR_CRC otherwise.
  SRes Look(const Byte** data, size_t* size);
  // Consumes |size| of the bytes the last Look gave.
  void Skip(size_t size);

  // Frees the decoder of the block, before the allocators it used go away.
  void Free();

 private:
  friend SRes SzArEx_Extract(const CSzArEx*,
                             ILookInStream*,
                             UInt32,
                             CSzBlockCache*,
                             ISzAlloc*,
                             ISzAlloc*);

  SRes StartBlock(const CSzArEx* db,
                  UInt32 folder,
                  ILookInStream* stream,
                  ISzAlloc* alloc_main,
                  ISzAlloc* alloc_temp);
  SRes SkipTo(UInt64 position);
  void Consume(const Byte* data, size_t size);
  SRes CheckCrcs();

  std::unique_ptr<sevenzip::FolderDecoder> decoder_;
  // A decoder that failed is not used again.
  bool failed_ = false;
  UInt64 block_size_ = 0;
  UInt64 position_ = 0;  // In the block's output.
  UInt32 block_crc_ = 0;
  bool check_block_crc_ = false;
  UInt32 expected_block_crc_ = 0;

  UInt64 entry_remaining_ = 0;
  const Byte* looked_ = nullptr;  // The bytes of the last Look.
  UInt32 entry_crc_ = 0;
  bool check_entry_crc_ = false;
  bool entry_ends_block_ = false;
  UInt32 expected_entry_crc_ = 0;
};

// Starts entry |file_index|: keeps the cached block's decoder when the
// entry comes later in the same block, otherwise decodes its block from the
// start; then skips to the entry's data. An entry without data is empty.
SRes SzArEx_Extract(const CSzArEx* p,
                    ILookInStream* in_stream,
                    UInt32 file_index,
                    CSzBlockCache* cache,
                    ISzAlloc* alloc_main,
                    ISzAlloc* alloc_temp);

#endif  // COMPONENTS_SEVENZIP_SZ_EXTRACT_H_
