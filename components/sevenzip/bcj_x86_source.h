// The BCJ x86 coder: its input with branch targets turned back into
// relative ones, through a buffer of its own because the filter changes
// the bytes and needs the next four to decide on an opcode.

#ifndef COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_
#define COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_

#include "components/sevenzip/bcj_x86_filter.h"
#include "components/sevenzip/buffered_source.h"

namespace sevenzip {

class BcjX86Source : public BufferedSource {
 public:
  // |input| and |alloc| must outlive this source, which produces exactly
  // |out_size| bytes.
  BcjX86Source(ByteSource* input, UInt64 out_size, ISzAlloc* alloc);
  ~BcjX86Source() override;

 protected:
  SRes Refill() override;

 private:
  ByteSource* const input_;
  BcjX86Filter filter_;
  UInt64 out_remaining_;  // Not yet converted.
  size_t filled_ = 0;     // Bytes in the buffer, converted or not.
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BCJ_X86_SOURCE_H_
