// The Copy coder: its input, exactly as long as the coder's output size.

#ifndef COMPONENTS_SEVENZIP_COPY_SOURCE_H_
#define COMPONENTS_SEVENZIP_COPY_SOURCE_H_

#include "components/sevenzip/byte_source.h"

namespace sevenzip {

class CopySource : public ByteSource {
 public:
  // |input| must outlive this source.
  CopySource(ByteSource* input, UInt64 size);
  CopySource(const CopySource&) = delete;
  CopySource& operator=(const CopySource&) = delete;
  ~CopySource() override;

  SRes Look(const Byte** data, size_t* size) override;
  void Skip(size_t size) override;

 private:
  ByteSource* const input_;
  UInt64 remaining_;
};

}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_COPY_SOURCE_H_
