#include "base/win/pe_image.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace base {
namespace win {

namespace {

// Offsets from the start of the file, then from the "PE\0\0" signature. The
// optional header follows the 4-byte signature and the 20-byte file header;
// its data directories start at 96 (PE32) or 112 (PE32+) bytes into it, 8
// bytes each, and the section table follows the optional header.
constexpr uint64_t kPeOffsetField = 0x3C;
constexpr uint64_t kMachine = 4;
constexpr uint64_t kNumberOfSections = 6;
constexpr uint64_t kTimeDateStamp = 8;
constexpr uint64_t kSizeOfOptionalHeader = 20;
constexpr uint64_t kOptionalHeader = 24;
constexpr uint64_t kOptionalHeaderMagic = kOptionalHeader;
constexpr uint64_t kSizeOfCode = kOptionalHeader + 4;
constexpr uint64_t kBaseOfCode = kOptionalHeader + 20;
constexpr uint64_t kCheckSum = kOptionalHeader + 64;
constexpr uint64_t kPe32DirectoryCount = kOptionalHeader + 92;
constexpr uint64_t kPe32PlusDirectoryCount = kOptionalHeader + 108;
constexpr uint64_t kDirectoryEntrySize = 8;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint64_t kSectionVirtualAddress = 12;
constexpr uint64_t kSectionSizeOfRawData = 16;
constexpr uint64_t kSectionPointerToRawData = 20;
static_assert(kPe32PlusDirectoryCount + 4 + 4 * kDirectoryEntrySize == 0xA8);

}  // namespace

PeImage::PeImage(const uint8_t* data, size_t length)
    : data_(data), length_(data ? length : 0) {
  static constexpr char kMz[] = {'M', 'Z'};
  static constexpr char kPe[] = {'P', 'E', '\0', '\0'};
  uint32_t pe = 0;
  valid_ = Matches(0, kMz, sizeof(kMz)) && ReadUint32(kPeOffsetField, &pe) &&
           Matches(pe, kPe, sizeof(kPe));
  pe_offset_ = valid_ ? pe : 0;
}

bool PeImage::GetMachine(uint16_t* machine) const {
  return valid_ && ReadUint16(pe_offset_ + kMachine, machine);
}

bool PeImage::GetSecurityDirectory(uint32_t* offset, uint32_t* size) const {
  // The one directory that holds a file offset rather than an address.
  return GetDataDirectory(IMAGE_DIRECTORY_ENTRY_SECURITY, offset, size);
}

bool PeImage::GetOptionalHeaderMagic(uint16_t* magic) const {
  return valid_ && ReadUint16(pe_offset_ + kOptionalHeaderMagic, magic);
}

bool PeImage::GetChecksumOffset(uint64_t* offset) const {
  if (!valid_ || !Contains(pe_offset_ + kCheckSum, sizeof(uint32_t)))
    return false;
  *offset = pe_offset_ + kCheckSum;
  return true;
}

bool PeImage::GetDataDirectoryOffset(uint32_t index, uint64_t* offset) const {
  uint64_t table = 0;
  uint32_t count = 0;
  if (!GetDirectoryTable(&table, &count) || index >= count)
    return false;
  *offset = table + index * kDirectoryEntrySize;
  return true;
}

bool PeImage::GetTimeDateStamp(uint32_t* time_date_stamp) const {
  return valid_ && ReadUint32(pe_offset_ + kTimeDateStamp, time_date_stamp);
}

bool PeImage::GetCodeRange(uint32_t* base_of_code,
                           uint32_t* size_of_code) const {
  return valid_ && ReadUint32(pe_offset_ + kBaseOfCode, base_of_code) &&
         ReadUint32(pe_offset_ + kSizeOfCode, size_of_code);
}

bool PeImage::GetDataDirectory(uint32_t index,
                               uint32_t* rva,
                               uint32_t* size) const {
  uint64_t entry = 0;
  return GetDataDirectoryOffset(index, &entry) && ReadUint32(entry, rva) &&
         ReadUint32(entry + 4, size);
}

bool PeImage::RvaToOffset(uint32_t rva, uint64_t* offset) const {
  uint16_t sections = 0;
  uint16_t optional_header_size = 0;
  if (!valid_ || !ReadUint16(pe_offset_ + kNumberOfSections, &sections) ||
      !ReadUint16(pe_offset_ + kSizeOfOptionalHeader, &optional_header_size)) {
    return false;
  }
  const uint64_t table = pe_offset_ + kOptionalHeader + optional_header_size;
  for (uint16_t i = 0; i < sections; ++i) {
    const uint64_t header = table + i * kSectionHeaderSize;
    uint32_t address = 0;
    uint32_t raw_size = 0;
    uint32_t raw_offset = 0;
    if (!ReadUint32(header + kSectionVirtualAddress, &address) ||
        !ReadUint32(header + kSectionSizeOfRawData, &raw_size) ||
        !ReadUint32(header + kSectionPointerToRawData, &raw_offset)) {
      return false;
    }
    if (rva >= address && rva - address < raw_size) {
      *offset = uint64_t{raw_offset} + (rva - address);
      return true;
    }
  }
  return false;
}

bool PeImage::GetDirectoryTable(uint64_t* table, uint32_t* count) const {
  uint16_t magic = 0;
  if (!GetOptionalHeaderMagic(&magic))
    return false;
  const uint64_t count_field =
      pe_offset_ + (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC
                        ? kPe32DirectoryCount
                        : kPe32PlusDirectoryCount);
  *table = count_field + 4;
  return ReadUint32(count_field, count);
}

bool PeImage::Contains(uint64_t offset, uint64_t size) const {
  return offset <= length_ && size <= length_ - offset;
}

bool PeImage::Matches(uint64_t offset, const void* bytes, size_t size) const {
  return Contains(offset, size) && !std::memcmp(data_ + offset, bytes, size);
}

bool PeImage::ReadUint16(uint64_t offset, uint16_t* value) const {
  if (!Contains(offset, sizeof(*value)))
    return false;
  std::memcpy(value, data_ + offset, sizeof(*value));
  return true;
}

bool PeImage::ReadUint32(uint64_t offset, uint32_t* value) const {
  if (!Contains(offset, sizeof(*value)))
    return false;
  std::memcpy(value, data_ + offset, sizeof(*value));
  return true;
}

bool PeImage::ReadString(uint64_t offset,
                         size_t max_length,
                         std::string* text) const {
  if (offset >= length_)
    return false;
  const char* start = reinterpret_cast<const char*>(data_ + offset);
  const size_t limit =
      static_cast<size_t>(std::min<uint64_t>(max_length, length_ - offset));
  text->assign(start, strnlen(start, limit));
  return true;
}

}  // namespace win
}  // namespace base
