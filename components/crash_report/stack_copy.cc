#include "components/crash_report/stack_copy.h"

#include <string.h>

#include <algorithm>
#include <limits>

#include "components/crash_report/register_record.h"
#include "components/crash_report/remote_memory_reader.h"
#include "components/crash_report/thread_info.h"

namespace crash_report {

namespace {

constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kWordSize = 8;
// Kept beyond what looks used, so that the caller's frame shows.
constexpr uint64_t kTrimSlack = 128;
// Of a thread whose stack region is unknown, at least this much is kept.
constexpr uint64_t kMinFrameExtent = 512;

uint64_t WordAt(const uint8_t* bytes, uint64_t offset) {
  uint64_t word;
  memcpy(&word, bytes + offset, sizeof(word));
  return word;
}

// Up to the last non-zero byte, in whole words.
uint64_t UsedLength(const uint8_t* bytes, uint64_t size) {
  uint64_t used = size;
  while (used && !bytes[used - 1])
    --used;
  return (used + kWordSize - 1) / kWordSize * kWordSize;
}

// How deep the frames of a thread seem to reach into its stack copy: the
// saved frame-pointer chain from RBP, then any word that points deeper
// into the copy than what was found so far.
uint64_t FrameExtent(const uint8_t* bytes,
                     uint64_t size,
                     uint64_t start,
                     uint64_t rbp) {
  // |start| lies above the first page, so |end| cannot be below a word.
  const uint64_t end = start + size;
  uint64_t depth = 0;
  for (uint64_t fp = rbp;
       fp % kWordSize == 0 && fp >= start && fp <= end - kWordSize;) {
    depth = fp - start;
    uint64_t saved = WordAt(bytes, depth);
    if (saved <= fp)
      break;
    fp = saved;
  }
  uint64_t extent = std::max(depth, kMinFrameExtent);
  for (uint64_t offset = 0;
       offset + kWordSize <= extent && offset + kWordSize < size;
       offset += kWordSize) {
    uint64_t value = WordAt(bytes, offset);
    if (value % kWordSize == 0 && value >= start && value < end - kWordSize)
      extent = std::max(extent, value - start);
  }
  return extent;
}

}  // namespace

StackCopy::StackCopy() = default;
StackCopy::StackCopy(StackCopy&&) = default;
StackCopy& StackCopy::operator=(StackCopy&&) = default;
StackCopy::~StackCopy() = default;

StackCopy ReadStackCopy(RemoteMemoryReader* reader, const ThreadInfo& thread) {
  StackCopy copy;
  const RegisterRecord& registers = *thread.GetRegisters();
  const uint64_t sp = registers.rsp & ~uint64_t{3};
  const uint64_t stack_size = thread.GetStackSize();
  uint64_t length = (stack_size >= 1 && stack_size <= kMaxStackCopySize)
                        ? stack_size
                        : kMaxStackCopySize;
  if (thread.IsCrashed())
    length = std::max(length, kMinCrashedStackCopySize);
  if (sp < kPageSize)
    return copy;
  length = std::min(length, std::numeric_limits<uint64_t>::max() - sp);

  // Shrink from the end a page at a time until the rest can be read. When
  // not even the stack pointer's own page can, the copy stays empty.
  uint64_t end = sp + length;
  uint64_t count = 0;
  const uint8_t* data = nullptr;
  while (!(data = reader->Read(sp, end - sp, &count))) {
    end = end % kPageSize ? end - end % kPageSize : end - kPageSize;
    if (end <= sp)
      return copy;
  }

  uint64_t keep = count;
  if (stack_size) {
    uint64_t used = UsedLength(data, count);
    keep = used ? used + kTrimSlack : kTrimSlack;
  } else if (!thread.IsCrashed()) {
    keep = FrameExtent(data, count, sp, registers.rbp) + kTrimSlack;
  }
  keep = std::min(keep, count);
  copy.start = sp;
  copy.bytes.assign(data, data + keep);
  return copy;
}

}  // namespace crash_report
