// A tiny 7z writer for tests: archives 7zz will not make, with unsafe
// names or hand-made tables. Data is stored with the Copy coder in one
// folder, after a plain header.

#ifndef COMPONENTS_SEVENZIP_TEST_TEST_ARCHIVE_WRITER_H_
#define COMPONENTS_SEVENZIP_TEST_TEST_ARCHIVE_WRITER_H_

#include <Types.h>

#include <string>
#include <vector>

namespace sevenzip {
namespace test {

struct TestEntry {
  std::u16string name;
  std::string data;
  bool is_dir = false;
  bool has_mtime = false;
  UInt64 mtime = 0;  // FILETIME.
};

// Header bytes in the 7z encodings.
class HeaderWriter {
 public:
  HeaderWriter& Byte(::Byte value);
  HeaderWriter& Number(UInt64 value);
  HeaderWriter& UInt32(::UInt32 value);
  HeaderWriter& UInt64(::UInt64 value);
  HeaderWriter& Bytes(const std::string& bytes);
  // A property of the files table: id, size, then |bytes|.
  HeaderWriter& Property(::UInt64 id, const std::string& bytes);
  const std::string& data() const { return data_; }

 private:
  std::string data_;
};

// Signature header, |packed_data| and |header|, with their CRCs.
std::string MakeArchive(const std::string& packed_data,
                        const std::string& header);

// The plain header of a Copy archive of |entries|, whose data follow each
// other in one packed stream.
std::string MakeCopyHeader(const std::vector<TestEntry>& entries);
// The whole archive.
std::string MakeCopyArchive(const std::vector<TestEntry>& entries);

}  // namespace test
}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_TEST_TEST_ARCHIVE_WRITER_H_
