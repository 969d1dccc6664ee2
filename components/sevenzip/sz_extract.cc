#include "components/sevenzip/sz_extract.h"

#include "components/sevenzip/folder_decoder.h"
#include "components/sevenzip/sz_crc.h"

CSzBlockCache::CSzBlockCache() = default;

CSzBlockCache::~CSzBlockCache() = default;

void CSzBlockCache::Free() {
  decoder_.reset();
  failed_ = false;
  entry_remaining_ = 0;
  check_entry_crc_ = false;
  entry_ends_block_ = false;
}

SRes CSzBlockCache::Look(const Byte** data, size_t* size) {
  *size = 0;
  if (entry_remaining_ == 0)
    return CheckCrcs();
  if (failed_)
    return SZ_ERROR_FAIL;
  SRes res = decoder_->output()->Look(data, size);
  if (res == SZ_OK && *size == 0)
    res = SZ_ERROR_DATA;
  if (res != SZ_OK) {
    failed_ = true;
    *size = 0;
    return res;
  }
  if (*size > entry_remaining_)
    *size = static_cast<size_t>(entry_remaining_);
  looked_ = *data;
  return SZ_OK;
}

void CSzBlockCache::Skip(size_t size) {
  if (check_entry_crc_)
    entry_crc_ = sevenzip::Crc32(entry_crc_, looked_, size);
  Consume(looked_, size);
  looked_ += size;
  entry_remaining_ -= size;
}

SRes CSzBlockCache::StartBlock(const CSzArEx* db,
                               UInt32 folder,
                               ILookInStream* stream,
                               ISzAlloc* alloc_main,
                               ISzAlloc* alloc_temp) {
  Free();
  const CSzFolder& info = db->Folders[folder];
  block_size_ = info.UnpackSizes[info.MainCoder];
  position_ = 0;
  block_crc_ = 0;
  // With a single entry, the block's CRC is the entry's.
  check_block_crc_ = info.UnpackCrcDefined && db->FolderNumFiles[folder] != 1;
  expected_block_crc_ = info.UnpackCrc;
  auto decoder = std::make_unique<sevenzip::FolderDecoder>(
      db, folder, stream, alloc_main, alloc_temp);
  RINOK(decoder->Init());
  decoder_ = std::move(decoder);
  return SZ_OK;
}

SRes CSzBlockCache::SkipTo(UInt64 position) {
  while (position_ < position) {
    const Byte* data;
    size_t size;
    SRes res = decoder_->output()->Look(&data, &size);
    if (res == SZ_OK && size == 0)
      res = SZ_ERROR_DATA;
    if (res != SZ_OK) {
      failed_ = true;
      return res;
    }
    if (size > position - position_)
      size = static_cast<size_t>(position - position_);
    Consume(data, size);
  }
  return SZ_OK;
}

void CSzBlockCache::Consume(const Byte* data, size_t size) {
  if (check_block_crc_)
    block_crc_ = sevenzip::Crc32(block_crc_, data, size);
  position_ += size;
  decoder_->output()->Skip(size);
}

SRes CSzBlockCache::CheckCrcs() {
  if (check_entry_crc_ && entry_crc_ != expected_entry_crc_) {
    failed_ = true;
    return SZ_ERROR_CRC;
  }
  if (entry_ends_block_ && check_block_crc_ &&
      block_crc_ != expected_block_crc_) {
    failed_ = true;
    return SZ_ERROR_CRC;
  }
  return SZ_OK;
}

SRes SzArEx_Extract(const CSzArEx* p,
                    ILookInStream* in_stream,
                    UInt32 file_index,
                    CSzBlockCache* cache,
                    ISzAlloc* alloc_main,
                    ISzAlloc* alloc_temp) {
  if (file_index >= p->NumFiles)
    return SZ_ERROR_PARAM;
  cache->entry_remaining_ = 0;
  cache->check_entry_crc_ = false;
  cache->entry_ends_block_ = false;
  const CSzFileItem& file = p->Files[file_index];
  if (!file.HasStream)
    return SZ_OK;

  const UInt32 folder = p->FileFolder[file_index];
  const UInt64 offset = p->FileOffsetInFolder[file_index];
  if (!cache->decoder_ || cache->failed_ ||
      cache->decoder_->folder_index() != folder || cache->position_ > offset) {
    RINOK(cache->StartBlock(p, folder, in_stream, alloc_main, alloc_temp));
  }
  RINOK(cache->SkipTo(offset));
  cache->entry_remaining_ = file.Size;
  cache->entry_crc_ = 0;
  cache->check_entry_crc_ = file.CrcDefined;
  cache->expected_entry_crc_ = file.Crc;
  cache->entry_ends_block_ = offset + file.Size == cache->block_size_;
  return SZ_OK;
}
