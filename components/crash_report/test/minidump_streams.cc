#include "components/crash_report/test/minidump_streams.h"

#include <string.h>

namespace crash_report {

namespace {

constexpr uint32_t kMemoryListStream = 5;
constexpr uint32_t kMemory64ListStream = 9;

template <typename T>
bool ReadAt(const std::string& bytes, uint64_t offset, T* value) {
  if (offset + sizeof(T) > bytes.size())
    return false;
  memcpy(value, bytes.data() + offset, sizeof(T));
  return true;
}

bool Within(const std::string& bytes, uint64_t offset, uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

// Each range of a memory list: count, then {start u64, size u32, rva u32}.
bool MemoryListWithin(const std::string& dump, uint32_t rva) {
  uint32_t count = 0;
  if (!ReadAt(dump, rva, &count))
    return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t location[2];  // Size, offset.
    if (!ReadAt(dump, rva + 4 + 16 * uint64_t{i} + 8, &location) ||
        !Within(dump, location[1], location[0])) {
      return false;
    }
  }
  return true;
}

// A full-memory list: count u64, base rva u64, then {start, size} u64 each,
// their bytes one after the other from the base.
bool Memory64ListWithin(const std::string& dump, uint32_t rva) {
  uint64_t header[2];  // Count, base offset.
  if (!ReadAt(dump, rva, &header))
    return false;
  uint64_t end = header[1];
  for (uint64_t i = 0; i < header[0]; ++i) {
    uint64_t range[2];
    if (!ReadAt(dump, rva + 16 + 16 * i, &range))
      return false;
    end += range[1];
  }
  return Within(dump, 0, end);
}

}  // namespace

bool IsWholeMinidump(const std::string& dump) {
  uint32_t count = 0;
  uint32_t directory = 0;
  if (dump.compare(0, 4, "MDMP") || !ReadAt(dump, 8, &count) ||
      !ReadAt(dump, 12, &directory) || !Within(dump, directory, 12 * count)) {
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry[3];  // Type, size, offset.
    ReadAt(dump, directory + 12 * i, &entry);
    if (!Within(dump, entry[2], entry[1]))
      return false;
    if (entry[0] == kMemoryListStream && !MemoryListWithin(dump, entry[2]))
      return false;
    if (entry[0] == kMemory64ListStream && !Memory64ListWithin(dump, entry[2]))
      return false;
  }
  return true;
}

std::map<uint32_t, std::string> ReadMinidumpStreams(const std::string& dump) {
  std::map<uint32_t, std::string> streams;
  uint32_t count = 0;
  uint32_t directory = 0;
  if (dump.size() < 32 || dump.compare(0, 4, "MDMP"))
    return streams;
  memcpy(&count, dump.data() + 8, 4);
  memcpy(&directory, dump.data() + 12, 4);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t entry[3];  // Type, size, offset.
    if (directory + 12 * (i + uint64_t{1}) > dump.size())
      break;
    memcpy(entry, dump.data() + directory + 12 * i, sizeof(entry));
    if (entry[2] + uint64_t{entry[1]} <= dump.size())
      streams[entry[0]] = dump.substr(entry[2], entry[1]);
  }
  return streams;
}

}  // namespace crash_report
