#include "components/sevenzip/folder_decoder.h"

#include <utility>

#include "components/sevenzip/bcj2_source.h"
#include "components/sevenzip/bcj_x86_source.h"
#include "components/sevenzip/copy_source.h"
#include "components/sevenzip/lzma2_source.h"
#include "components/sevenzip/lzma_source.h"
#include "components/sevenzip/pack_stream_source.h"
#include "components/sevenzip/sz_folder.h"

namespace sevenzip {

FolderDecoder::FolderDecoder(const CSzArEx* db,
                             UInt32 folder_index,
                             ILookInStream* stream,
                             ISzAlloc* alloc_main,
                             ISzAlloc* alloc_temp)
    : db_(db),
      folder_index_(folder_index),
      folder_(db->Folders[folder_index]),
      stream_(stream),
      alloc_main_(alloc_main),
      alloc_temp_(alloc_temp) {}

FolderDecoder::~FolderDecoder() {
  while (!sources_.empty())
    sources_.pop_back();
}

SRes FolderDecoder::Init() {
  return BuildCoder(folder_.MainCoder, &output_);
}

template <typename T>
T* FolderDecoder::Keep(std::unique_ptr<T> source) {
  T* raw = source.get();
  sources_.push_back(std::move(source));
  return raw;
}

SRes FolderDecoder::BuildCoder(UInt32 coder, ByteSource** output) {
  const CSzCoderInfo& info = folder_.Coders[coder];
  const UInt64 size = folder_.UnpackSizes[coder];
  const UInt32 first_in = FirstInStream(folder_, coder);
  ByteSource* inputs[SZ_MAX_CODER_IN_STREAMS] = {};
  for (UInt32 i = 0; i < info.NumInStreams; ++i)
    RINOK(BuildInput(first_in + i, &inputs[i]));

  switch (info.MethodId) {
    case kMethodCopy:
      *output = Keep(std::make_unique<CopySource>(inputs[0], size));
      return SZ_OK;
    case kMethodLzma: {
      LzmaSource* source = Keep(std::make_unique<LzmaSource>(
          inputs[0], size, alloc_main_, alloc_temp_));
      *output = source;
      return source->Init(info.Props);
    }
    case kMethodLzma2: {
      Lzma2Source* source = Keep(std::make_unique<Lzma2Source>(
          inputs[0], size, alloc_main_, alloc_temp_));
      *output = source;
      return source->Init(info.Props[0]);
    }
    case kMethodBcjX86: {
      BcjX86Source* source =
          Keep(std::make_unique<BcjX86Source>(inputs[0], size, alloc_temp_));
      *output = source;
      return source->Init();
    }
    case kMethodBcj2: {
      Bcj2Source* source = Keep(std::make_unique<Bcj2Source>(
          inputs[0], inputs[1], inputs[2], inputs[3], size, alloc_temp_));
      *output = source;
      return source->Init();
    }
    default:
      // SzArEx_Open refuses folders with other methods.
      return SZ_ERROR_UNSUPPORTED;
  }
}

SRes FolderDecoder::BuildInput(UInt32 in_index, ByteSource** input) {
  const int coder = FindBoundCoder(folder_, in_index);
  if (coder >= 0)
    return BuildCoder(static_cast<UInt32>(coder), input);
  const int pack = FindPackStream(folder_, in_index);
  if (pack < 0)
    return SZ_ERROR_ARCHIVE;
  const UInt32 index = db_->FolderStartPackStream[folder_index_] + pack;
  const UInt64 offset = db_->PackStreamOffsets[index];
  PackStreamSource* source = Keep(std::make_unique<PackStreamSource>(
      stream_, offset, db_->PackStreamOffsets[index + 1] - offset,
      alloc_temp_));
  *input = source;
  return source->Init();
}

}  // namespace sevenzip
