#include "base/files/memory_mapped_file.h"

#include <limits>
#include <utility>

#include "base/logging.h"

namespace base {

const MemoryMappedFile::Region MemoryMappedFile::Region::kWholeFile = {0, 0};

MemoryMappedFile::MemoryMappedFile() = default;

MemoryMappedFile::~MemoryMappedFile() {
  CloseHandles();
}

bool MemoryMappedFile::Initialize(const FilePath& file_name) {
  if (IsValid()) {
    NOTREACHED();
    return false;
  }
  file_.Initialize(file_name, File::FLAG_OPEN | File::FLAG_READ);
  if (!file_.IsValid()) {
    LOG(ERROR) << "Cannot open " << file_name << " for mapping: "
               << File::ErrorToString(file_.error_details());
    return false;
  }
  if (!MapFileRegionToMemory(Region::kWholeFile)) {
    CloseHandles();
    return false;
  }
  return true;
}

bool MemoryMappedFile::Initialize(File file) {
  return Initialize(std::move(file), Region::kWholeFile);
}

bool MemoryMappedFile::Initialize(File file, const Region& region) {
  if (IsValid()) {
    NOTREACHED();
    return false;
  }
  file_ = std::move(file);
  if (!file_.IsValid() || !MapFileRegionToMemory(region)) {
    CloseHandles();
    return false;
  }
  return true;
}

bool MemoryMappedFile::MapFileRegionToMemory(const Region& region) {
  int64_t file_length = file_.GetLength();
  int64_t map_start = 0;
  size_t map_size = 0;
  size_t data_offset = 0;
  if (region == Region::kWholeFile) {
    if (file_length <= 0 || file_length > std::numeric_limits<int32_t>::max()) {
      LOG(ERROR) << "Not mapping a file of " << file_length << " bytes";
      return false;
    }
    length_ = static_cast<size_t>(file_length);
  } else {
    if (region.offset < 0 || region.size == 0 || file_length < 0 ||
        region.offset > file_length ||
        region.size > static_cast<uint64_t>(file_length - region.offset)) {
      LOG(ERROR) << "Region at " << region.offset << " of " << region.size
                 << " bytes is outside a file of " << file_length << " bytes";
      return false;
    }
    // A view must start at a multiple of the allocation granularity; map
    // from the one below and point past the difference.
    SYSTEM_INFO system_info;
    ::GetSystemInfo(&system_info);
    int64_t granularity = system_info.dwAllocationGranularity;
    map_start = region.offset - region.offset % granularity;
    data_offset = static_cast<size_t>(region.offset - map_start);
    map_size = data_offset + region.size;
    length_ = region.size;
  }

  file_mapping_.Set(::CreateFileMappingW(file_.GetPlatformFile(), nullptr,
                                         PAGE_READONLY, 0, 0, nullptr));
  if (!file_mapping_.IsValid()) {
    PLOG(ERROR) << "CreateFileMapping failed";
    return false;
  }
  LARGE_INTEGER start;
  start.QuadPart = map_start;
  view_ = ::MapViewOfFile(file_mapping_.Get(), FILE_MAP_READ,
                          static_cast<DWORD>(start.HighPart), start.LowPart,
                          map_size);
  if (!view_) {
    PLOG(ERROR) << "MapViewOfFile failed";
    return false;
  }
  data_ = static_cast<const uint8_t*>(view_) + data_offset;
  return true;
}

void MemoryMappedFile::CloseHandles() {
  if (view_)
    ::UnmapViewOfFile(view_);
  view_ = nullptr;
  data_ = nullptr;
  length_ = 0;
  file_mapping_.Close();
  file_.Close();
}

}  // namespace base
