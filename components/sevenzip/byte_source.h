// A stream of decoded bytes that hands out its own buffer, so that data
// flows from the packed streams through the coders to the caller without a
// copy where a coder does not change it.

#ifndef COMPONENTS_SEVENZIP_BYTE_SOURCE_H_
#define COMPONENTS_SEVENZIP_BYTE_SOURCE_H_

#include <Types.h>

#include <stddef.h>

namespace sevenzip {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Makes the next bytes available at |*data| without consuming them;
  // |*size| is 0 only at the end. Until the next Skip, looking again gives
  // the same bytes.
  virtual SRes Look(const Byte** data, size_t* size) = 0;
  // Consumes |size| of the bytes the last Look gave.
  virtual void Skip(size_t size) = 0;
};

// Reads one byte; the end of |source| is a data error.
SRes ReadSourceByte(ByteSource* source, Byte* value);

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_BYTE_SOURCE_H_
