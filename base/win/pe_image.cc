#include "base/win/pe_image.h"

#include <windows.h>

#include <cstring>

namespace base {
namespace win {

namespace {

// Offsets from the start of the file, then from the "PE\0\0" signature. The
// optional header follows the 4-byte signature and the 20-byte file header;
// its data directories start at 96 (PE32) or 112 (PE32+) bytes into it, and
// the security directory is the fifth, 8 bytes each.
constexpr uint64_t kPeOffsetField = 0x3C;
constexpr uint64_t kMachine = 4;
constexpr uint64_t kOptionalHeaderMagic = 24;
constexpr uint64_t kPe32DirectoryCount = 24 + 92;
constexpr uint64_t kPe32PlusDirectoryCount = 24 + 108;
constexpr uint64_t kPe32SecurityDirectory = 24 + 96 + 4 * 8;
constexpr uint64_t kPe32PlusSecurityDirectory = 24 + 112 + 4 * 8;
constexpr uint32_t kSecurityDirectoryIndex = 4;
static_assert(kPe32PlusSecurityDirectory + 4 == 0xAC);

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
  if (!valid_)
    return false;
  // The layout follows the optional header's own magic, not the machine.
  uint16_t magic = 0;
  if (!ReadUint16(pe_offset_ + kOptionalHeaderMagic, &magic))
    return false;
  const bool pe32 = magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC;
  uint32_t directory_count = 0;
  if (!ReadUint32(
          pe_offset_ + (pe32 ? kPe32DirectoryCount : kPe32PlusDirectoryCount),
          &directory_count) ||
      directory_count <= kSecurityDirectoryIndex) {
    return false;
  }
  const uint64_t entry =
      pe_offset_ + (pe32 ? kPe32SecurityDirectory : kPe32PlusSecurityDirectory);
  return ReadUint32(entry, offset) && ReadUint32(entry + 4, size);
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

}  // namespace win
}  // namespace base
