// The BCJ x86 coder: its input with branch targets turned back into
// relative ones, through a buffer of its own because the filter changes
// the bytes and needs the next four to decide on an opcode.

#ifndef COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_
#define COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_

#include "components/sevenzip/bcj_x86_filter.h"
#include "components/sevenzip/byte_source.h"

namespace sevenzip {

class BcjX86Source : public ByteSource {
 public:
  // |input| and |alloc| must outlive this source, which produces exactly
  // |out_size| bytes.
  BcjX86Source(ByteSource* input, UInt64 out_size, ISzAlloc* alloc);
  BcjX86Source(const BcjX86Source&) = delete;
  BcjX86Source& operator=(const BcjX86Source&) = delete;
  ~BcjX86Source() override;

  SRes Init();

  SRes Look(const Byte** data, size_t* size) override;
  void Skip(size_t size) override;

 private:
  SRes Refill();

  ByteSource* const input_;
  ISzAlloc* const alloc_;
  BcjX86Filter filter_;
  UInt64 out_remaining_;  // Not yet converted.
  Byte* buffer_ = nullptr;
  size_t delivered_ = 0;  // Skipped so far.
  size_t converted_ = 0;  // Final bytes.
  size_t filled_ = 0;     // Bytes in the buffer.
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_
