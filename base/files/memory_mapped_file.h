// A read-only view of a file, or of a region of it, mapped into memory.
// The file stays open and mapped until the object goes away.
//
//   base::MemoryMappedFile image;
//   if (!image.Initialize(path))
//     return false;
//   ParseHeader(image.data(), image.length());
//
// An empty file, or a whole file of 2 GiB or more, is not mapped.

#ifndef BASE_FILES_MEMORY_MAPPED_FILE_H_
#define BASE_FILES_MEMORY_MAPPED_FILE_H_

#include <cstddef>
#include <cstdint>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace base {

class MemoryMappedFile {
 public:
  struct Region {
    static const Region kWholeFile;

    bool operator==(const Region& other) const {
      return offset == other.offset && size == other.size;
    }
    bool operator!=(const Region& other) const { return !(*this == other); }

    // Any offset; the mapping is aligned internally.
    int64_t offset;
    size_t size;
  };

  MemoryMappedFile();
  MemoryMappedFile(const MemoryMappedFile&) = delete;
  MemoryMappedFile& operator=(const MemoryMappedFile&) = delete;
  ~MemoryMappedFile();

  // Opens |file_name| for reading (others may still read and write it) and
  // maps all of it. May be called once.
  [[nodiscard]] bool Initialize(const FilePath& file_name);
  // Maps an open file, which must be readable; the object takes it.
  [[nodiscard]] bool Initialize(File file);
  // Maps |region| of an open file; the region must lie inside the file.
  [[nodiscard]] bool Initialize(File file, const Region& region);

  const uint8_t* data() const { return data_; }
  size_t length() const { return length_; }
  bool IsValid() const { return data_ != nullptr; }

 private:
  bool MapFileRegionToMemory(const Region& region);
  void CloseHandles();

  File file_;
  win::ScopedHandle file_mapping_;
  // The start of the view, aligned to the allocation granularity.
  void* view_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t length_ = 0;
};

}  // namespace base

#endif  // BASE_FILES_MEMORY_MAPPED_FILE_H_
