// A coder that changes the bytes of its input: it converts them into a
// buffer of its own and hands out what is converted.

#ifndef COMPONENTS_SEVENZIP_BUFFERED_SOURCE_H_
#define COMPONENTS_SEVENZIP_BUFFERED_SOURCE_H_

#include "components/sevenzip/byte_source.h"

namespace sevenzip {

class BufferedSource : public ByteSource {
 public:
  BufferedSource(const BufferedSource&) = delete;
  BufferedSource& operator=(const BufferedSource&) = delete;
  ~BufferedSource() override;

  SRes Init();

  SRes Look(const Byte** data, size_t* size) override;
  void Skip(size_t size) override;

 protected:
  static constexpr size_t kBufferSize = 1 << 16;

  // |alloc| must outlive this source.
  explicit BufferedSource(ISzAlloc* alloc);

  // Called once every converted byte was handed out: converts more, unless
  // the output is complete, and passes their count to Restart.
  virtual SRes Refill() = 0;

  Byte* buffer() { return buffer_; }
  // How many bytes the last Restart made ready.
  size_t ready() const { return ready_; }
  // The first |ready| bytes of the buffer are converted.
  void Restart(size_t ready);

 private:
  ISzAlloc* const alloc_;
  Byte* buffer_ = nullptr;
  size_t delivered_ = 0;
  size_t ready_ = 0;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BUFFERED_SOURCE_H_
