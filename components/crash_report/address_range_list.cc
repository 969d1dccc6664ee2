#include "components/crash_report/address_range_list.h"

#include <algorithm>

namespace crash_report {

AddressRangeList::AddressRangeList() = default;
AddressRangeList::~AddressRangeList() = default;

void AddressRangeList::Clear() {
  ranges_.clear();
  total_ = 0;
}

void AddressRangeList::Add(uint64_t start, uint64_t end) {
  if (end <= start)
    return;
  // The first range that ends at or after |start| is the first one the new
  // range can touch; every following one that starts at or before |end|
  // is absorbed too.
  auto first = std::lower_bound(
      ranges_.begin(), ranges_.end(), start,
      [](const Range& range, uint64_t value) { return range.end < value; });
  auto last = first;
  Range merged = {start, end};
  while (last != ranges_.end() && last->start <= end) {
    merged.start = std::min(merged.start, last->start);
    merged.end = std::max(merged.end, last->end);
    total_ -= last->end - last->start;
    ++last;
  }
  total_ += merged.end - merged.start;
  if (first == last) {
    ranges_.insert(first, merged);
    return;
  }
  *first = merged;
  ranges_.erase(first + 1, last);
}

}  // namespace crash_report
