// The output of an LZMA-family decoder, handed out straight from the
// dictionary window that LzmaDec fills as a ring: the window is the only
// large buffer of a decoder, so memory stays at the dictionary size however
// large the data is.
//
// The window comes from the main allocator, everything else from the
// temporary one. It is never larger than the coder's output, so a small
// archive made with a large dictionary needs little memory, and
// LzmaDec's distance checks use the window's real size, so no stream can
// make it read outside the window.

#ifndef COMPONENTS_SEVENZIP_LZMA_WINDOW_SOURCE_H_
#define COMPONENTS_SEVENZIP_LZMA_WINDOW_SOURCE_H_

#include <LzmaDec.h>

#include "components/sevenzip/byte_source.h"

namespace sevenzip {

// Windows above this are refused, whatever the archive asks for.
constexpr UInt64 kMaxWindowSize = UInt64{3} << 29;

class LzmaWindowSource : public ByteSource {
 public:
  LzmaWindowSource(const LzmaWindowSource&) = delete;
  LzmaWindowSource& operator=(const LzmaWindowSource&) = delete;
  ~LzmaWindowSource() override;

  SRes Look(const Byte** data, size_t* size) override;
  void Skip(size_t size) override;

 protected:
  // |input| and the allocators must outlive this source, which produces
  // exactly |out_size| bytes.
  LzmaWindowSource(ByteSource* input,
                   UInt64 out_size,
                   ISzAlloc* alloc_main,
                   ISzAlloc* alloc_temp);

  // Allocates the window for |dict_size| and the probabilities for the
  // LZMA properties |props|, and starts the decoder.
  SRes AllocateWindow(UInt64 dict_size, const Byte* props);

  // Decodes into the window up to |limit|; returns once the window grew,
  // or with an error.
  virtual SRes DecodeTo(SizeT limit) = 0;

  ByteSource* input() { return input_; }
  CLzmaDec* decoder() { return &decoder_; }

 private:
  ByteSource* const input_;
  ISzAlloc* const alloc_main_;
  ISzAlloc* const alloc_temp_;
  CLzmaDec decoder_;
  UInt64 out_remaining_;  // Not yet decoded.
  SizeT delivered_ = 0;   // Window position up to which bytes were skipped.
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_LZMA_WINDOW_SOURCE_H_
