// The memory a text crash log dumps: sorted, non-overlapping address
// ranges, with the number of bytes they cover. Adding a range merges it
// with every range it overlaps or touches, so no byte is dumped twice and
// the covered total counts each byte once: it is what the log's memory
// budget is measured in.

#ifndef COMPONENTS_CRASH_REPORT_ADDRESS_RANGE_LIST_H_
#define COMPONENTS_CRASH_REPORT_ADDRESS_RANGE_LIST_H_

#include <stdint.h>

#include <vector>

namespace crash_report {

class AddressRangeList {
 public:
  struct Range {
    uint64_t start;
    uint64_t end;  // Exclusive.
  };

  AddressRangeList();
  AddressRangeList(const AddressRangeList&) = delete;
  AddressRangeList& operator=(const AddressRangeList&) = delete;
  ~AddressRangeList();

  void Clear();
  // Adds [start, end); an empty range changes nothing.
  void Add(uint64_t start, uint64_t end);

  const std::vector<Range>& ranges() const { return ranges_; }
  uint64_t total() const { return total_; }

 private:
  std::vector<Range> ranges_;  // Sorted by start; gaps between them.
  uint64_t total_ = 0;
};

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_ADDRESS_RANGE_LIST_H_
