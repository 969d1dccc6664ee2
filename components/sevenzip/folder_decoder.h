// Decodes one folder (solid block) of an archive as a stream: builds the
// coders of the folder, each reading its packed streams or the outputs of
// other coders, and hands out the main coder's output.

#ifndef COMPONENTS_SEVENZIP_FOLDER_DECODER_H_
#define COMPONENTS_SEVENZIP_FOLDER_DECODER_H_

#include <memory>
#include <vector>

#include "components/sevenzip/byte_source.h"
#include "components/sevenzip/sz_archive.h"

namespace sevenzip {

class FolderDecoder {
 public:
  // |db|, |stream| and the allocators must outlive the decoder. Dictionary
  // windows come from |alloc_main|, in the order the coders are built (the
  // main coder's inputs first), everything else from |alloc_temp|.
  FolderDecoder(const CSzArEx* db,
                UInt32 folder_index,
                ILookInStream* stream,
                ISzAlloc* alloc_main,
                ISzAlloc* alloc_temp);
  FolderDecoder(const FolderDecoder&) = delete;
  FolderDecoder& operator=(const FolderDecoder&) = delete;
  ~FolderDecoder();

  SRes Init();

  UInt32 folder_index() const { return folder_index_; }
  // The folder's data, exactly its unpack size long.
  ByteSource* output() { return output_; }

 private:
  SRes BuildCoder(UInt32 coder, ByteSource** output);
  SRes BuildInput(UInt32 in_index, ByteSource** input);
  template <typename T>
  T* Keep(std::unique_ptr<T> source);

  const CSzArEx* const db_;
  const UInt32 folder_index_;
  const CSzFolder& folder_;
  ILookInStream* const stream_;
  ISzAlloc* const alloc_main_;
  ISzAlloc* const alloc_temp_;
  // Inputs come before the coders that read them, so that destruction in
  // reverse order ends every reader before what it reads.
  std::vector<std::unique_ptr<ByteSource>> sources_;
  ByteSource* output_ = nullptr;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_FOLDER_DECODER_H_
