// Extracts every entry of an archive in memory, for tests.

#ifndef COMPONENTS_SEVENZIP_TEST_EXTRACT_ALL_H_
#define COMPONENTS_SEVENZIP_TEST_EXTRACT_ALL_H_

#include <Types.h>

#include <string>
#include <vector>

namespace sevenzip {
namespace test {

struct ExtractedEntry {
  std::u16string name;
  bool is_dir = false;
  bool mtime_defined = false;
  std::string data;
};

// Opens |archive| and extracts its entries in the order of |order| (every
// entry in archive order when empty), with |alloc| for everything (the
// heap when null). Returns the first error; |entries| has what was
// extracted before it.
SRes ExtractAll(const std::string& archive,
                std::vector<ExtractedEntry>* entries,
                ISzAlloc* alloc = nullptr,
                bool lookahead = false,
                const std::vector<UInt32>& order = {});

// Reads a whole file; empty when it cannot.
std::string ReadTestFile(const std::string& path);

}  // namespace test
}  // namespace sevenzip

#endif  // COMPONENTS_SEVENZIP_TEST_EXTRACT_ALL_H_
