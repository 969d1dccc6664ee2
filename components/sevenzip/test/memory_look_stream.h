// Archive bytes in memory behind the look-to-read stream, as the reader
// sees a file.

#ifndef COMPONENTS_SEVENZIP_TEST_MEMORY_LOOK_STREAM_H_
#define COMPONENTS_SEVENZIP_TEST_MEMORY_LOOK_STREAM_H_

#include <Types.h>

#include <string>

namespace sevenzip {
namespace test {

class MemoryLookStream {
 public:
  explicit MemoryLookStream(std::string data, bool lookahead = false);
  MemoryLookStream(const MemoryLookStream&) = delete;
  MemoryLookStream& operator=(const MemoryLookStream&) = delete;
  ~MemoryLookStream();

  ILookInStream* stream() { return &look_.s; }

 private:
  struct SeekStream {
    ISeekInStream vtable;
    MemoryLookStream* owner;
  };

  static SRes Read(void* p, void* buf, size_t* size);
  static SRes Seek(void* p, Int64* pos, ESzSeek origin);

  const std::string data_;
  size_t position_ = 0;
  SeekStream seek_stream_;
  CLookToRead look_;
};

// The heap, counting what is still allocated, and failing every request
// once |fail_after| succeeded (never when negative) or when larger than
// |max_size|.
class CountingAlloc {
 public:
  explicit CountingAlloc(long fail_after = -1, size_t max_size = ~size_t{0});
  CountingAlloc(const CountingAlloc&) = delete;
  CountingAlloc& operator=(const CountingAlloc&) = delete;

  ISzAlloc* get() { return &alloc_.vtable; }
  long outstanding() const { return outstanding_; }
  long allocations() const { return allocations_; }

 private:
  struct Alloc {
    ISzAlloc vtable;
    CountingAlloc* owner;
  };

  static void* Allocate(void* p, size_t size);
  static void Free(void* p, void* address);

  Alloc alloc_;
  const long fail_after_;
  const size_t max_size_;
  long allocations_ = 0;
  long outstanding_ = 0;
};

}  // namespace test
}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_TEST_MEMORY_LOOK_STREAM_H_
