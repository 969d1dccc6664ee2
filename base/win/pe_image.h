// Bounded reading of the headers of a PE image held in memory: every read
// is checked against the end of the bytes, so a truncated or hostile file
// can never make the installer read past its mapping.

#ifndef BASE_WIN_PE_IMAGE_H_
#define BASE_WIN_PE_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace base {
namespace win {

class PeImage {
 public:
  PeImage(const uint8_t* data, size_t length);
  PeImage(const PeImage&) = delete;
  PeImage& operator=(const PeImage&) = delete;

  // Whether the bytes start with "MZ" and the DOS header points at "PE\0\0".
  bool IsValid() const { return valid_; }

  // The COFF machine field (0x14C for x86); false when it cannot be read.
  bool GetMachine(uint16_t* machine) const;

  // The security directory: the file offset and size of the certificate
  // table. False when the image declares no such directory; a size of 0
  // means the image is not signed.
  bool GetSecurityDirectory(uint32_t* offset, uint32_t* size) const;

  // The optional header's magic: IMAGE_NT_OPTIONAL_HDR32_MAGIC (PE32),
  // IMAGE_NT_OPTIONAL_HDR64_MAGIC (PE32+), or whatever else the bytes say.
  bool GetOptionalHeaderMagic(uint16_t* magic) const;
  // The file offset of the optional header's CheckSum field; false when the
  // field lies past the bytes.
  bool GetChecksumOffset(uint64_t* offset) const;
  // The file offset of data directory |index|'s entry (an address and a
  // size, 4 bytes each); false when the image declares fewer directories.
  bool GetDataDirectoryOffset(uint32_t index, uint64_t* offset) const;

  // The file header's link time stamp.
  bool GetTimeDateStamp(uint32_t* time_date_stamp) const;
  // BaseOfCode and SizeOfCode of the optional header.
  bool GetCodeRange(uint32_t* base_of_code, uint32_t* size_of_code) const;
  // Data directory |index| (IMAGE_DIRECTORY_ENTRY_*): its relative virtual
  // address and size. False when the image declares fewer directories.
  bool GetDataDirectory(uint32_t index, uint32_t* rva, uint32_t* size) const;
  // The file offset of a relative virtual address, through the section
  // whose raw data holds it. False when no section does: the address has
  // no bytes in the file.
  bool RvaToOffset(uint32_t rva, uint64_t* offset) const;

  // Bounded reads at a file offset.
  bool Contains(uint64_t offset, uint64_t size) const;
  bool Matches(uint64_t offset, const void* bytes, size_t size) const;
  bool ReadUint16(uint64_t offset, uint16_t* value) const;
  bool ReadUint32(uint64_t offset, uint32_t* value) const;
  // At most |max_length| bytes up to a NUL, never past the end; false when
  // |offset| lies outside.
  bool ReadString(uint64_t offset, size_t max_length, std::string* text) const;

 private:
  const uint8_t* const data_;
  const uint64_t length_;
  // Where the optional header's data directories start and how many the
  // image declares; found from the header's own magic, not the machine.
  bool GetDirectoryTable(uint64_t* table, uint32_t* count) const;

  uint64_t pe_offset_ = 0;
  bool valid_ = false;
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_PE_IMAGE_H_
