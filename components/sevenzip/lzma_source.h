// The LZMA coder of 7z: one LZMA stream without end marker whose length is
// the coder's output size.

#ifndef COMPONENTS_SEVENZIP_LZMA_SOURCE_H_
#define COMPONENTS_SEVENZIP_LZMA_SOURCE_H_

#include "components/sevenzip/lzma_window_source.h"

namespace sevenzip {

class LzmaSource : public LzmaWindowSource {
 public:
  LzmaSource(ByteSource* input,
             UInt64 out_size,
             ISzAlloc* alloc_main,
             ISzAlloc* alloc_temp);
  ~LzmaSource() override;

  // |props|: the coder's LZMA_PROPS_SIZE property bytes.
  SRes Init(const Byte* props);

 protected:
  SRes DecodeTo(SizeT limit) override;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_LZMA_SOURCE_H_
