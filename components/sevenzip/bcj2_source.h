// The BCJ2 coder of 7z: x86 code split by the encoder into four streams,
// the code with branch targets cut out, the targets of CALLs, the targets
// of jumps (all absolute, big-endian), and a range-coded stream of bits
// telling which E8, E9 and conditional-jump opcodes had their target cut
// out. This joins them again.

#ifndef COMPONENTS_SEVENZIP_BCJ2_SOURCE_H_
#define COMPONENTS_SEVENZIP_BCJ2_SOURCE_H_

#include "components/sevenzip/buffered_source.h"

namespace sevenzip {

class Bcj2Source : public BufferedSource {
 public:
  // The inputs and |alloc| must outlive this source, which produces
  // exactly |out_size| bytes.
  Bcj2Source(ByteSource* main,
             ByteSource* call,
             ByteSource* jump,
             ByteSource* range_coder,
             UInt64 out_size,
             ISzAlloc* alloc);
  ~Bcj2Source() override;

 protected:
  SRes Refill() override;

 private:
  // Copies code up to and including the next opcode that may have lost its
  // target; |*opcode| is then that opcode, or -1.
  SRes CopyCode(int* opcode);
  SRes RestoreTarget(Byte opcode);
  SRes DecodeBit(UInt16* prob, bool* bit);

  ByteSource* const main_;
  ByteSource* const call_;
  ByteSource* const jump_;
  ByteSource* const range_coder_;
  UInt64 out_remaining_;
  UInt64 out_position_ = 0;  // Bytes produced, for the relative targets.
  size_t filled_ = 0;
  Byte prev_byte_ = 0;
  bool range_started_ = false;
  UInt32 range_ = 0xFFFFFFFF;
  UInt32 code_ = 0;
  // One per byte before an E8, then E9, then conditional jumps.
  UInt16 probs_[256 + 2];
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BCJ2_SOURCE_H_
