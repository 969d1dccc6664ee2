// The LZMA2 coder: a sequence of chunks, each either stored or LZMA with
// its own packed and unpacked sizes, that may reset the dictionary, the
// decoder state or the literal properties; a zero control byte ends it.

#ifndef COMPONENTS_SEVENZIP_LZMA2_SOURCE_H_
#define COMPONENTS_SEVENZIP_LZMA2_SOURCE_H_

#include "components/sevenzip/lzma_window_source.h"

namespace sevenzip {

class Lzma2Source : public LzmaWindowSource {
 public:
  Lzma2Source(ByteSource* input,
              UInt64 out_size,
              ISzAlloc* alloc_main,
              ISzAlloc* alloc_temp);
  ~Lzma2Source() override;

  // |dict_prop|: the coder's property byte, 40 or less.
  SRes Init(Byte dict_prop);

 protected:
  SRes DecodeTo(SizeT limit) override;

 private:
  enum class State {
    kControl,
    kUnpacked1,
    kUnpacked2,
    kPacked1,
    kPacked2,
    kProps,
    kData,
    kEnd,
  };

  SRes ReadHeaderByte(Byte b);
  SRes ReadControl(Byte control);
  SRes SetLiteralProps(Byte props);
  void StartChunk();
  SRes CopyStored(SizeT limit);
  SRes DecodeLzma(SizeT limit);

  State state_ = State::kControl;
  // The least control byte the next LZMA chunk may have: at first it must
  // reset the dictionary, and after a stored chunk that did so it must set
  // properties.
  Byte next_lzma_minimum_ = 0xE0;
  bool lzma_chunk_ = false;
  Byte control_ = 0;
  UInt32 chunk_unpacked_ = 0;  // Bytes of the chunk still to produce.
  UInt32 chunk_packed_ = 0;    // Packed bytes of an LZMA chunk still unread.
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_LZMA2_SOURCE_H_
