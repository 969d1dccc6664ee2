// Undoes the x86 branch conversion (BCJ) of 7z: the encoder turned the
// relative targets of CALL (E8) and JMP (E9) instructions into absolute
// ones, which compress better; this turns them back.

#ifndef COMPONENTS_SEVENZIP_BCJ_X86_FILTER_H_
#define COMPONENTS_SEVENZIP_BCJ_X86_FILTER_H_

#include <Types.h>

#include <stddef.h>

namespace sevenzip {

class BcjX86Filter {
 public:
  // Converts |data| in place, continuing at the stream position the last
  // call ended at. Returns how many leading bytes are final; the rest (at
  // most four) may belong to an instruction that continues in the next
  // call's data, so they must be passed again in front of it. At the end
  // of the stream, bytes it did not take stay as they are.
  size_t Convert(Byte* data, size_t size);

 private:
  UInt32 position_ = 0;  // Stream position of |data|.
  UInt32 prev_mask_ = 0;
  UInt32 prev_position_ = static_cast<UInt32>(-5);
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BCJ_X86_FILTER_H_
