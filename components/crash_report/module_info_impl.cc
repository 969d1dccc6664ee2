#include "components/crash_report/module_info_impl.h"

#include <psapi.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "base/win/pe_image.h"
#include "base/win/scoped_handle.h"

namespace crash_report {

namespace {

using base::win::PeImage;

constexpr uint32_t kVersionResourceType = 16;  // RT_VERSION
constexpr uint32_t kVersionResourceId = 1;
// IMAGE_RESOURCE_DIRECTORY: the counts of named and of id entries, then the
// entries, 8 bytes each, the named ones first.
constexpr uint64_t kNamedEntryCount = 12;
constexpr uint64_t kIdEntryCount = 14;
constexpr uint64_t kResourceEntries = 16;
constexpr uint64_t kResourceEntrySize = 8;
constexpr uint32_t kResourceHighBit = 0x80000000u;
// IMAGE_EXPORT_DIRECTORY: the address of the DLL's own name.
constexpr uint64_t kExportName = 12;

// Copies at most ModuleInfoImpl::kMaxTextLength characters and terminates.
template <size_t N>
void CopyText(std::string_view text, char (&out)[N]) {
  static_assert(N == ModuleInfoImpl::kMaxTextLength + 1);
  size_t length = std::min(text.size(), N - 1);
  memcpy(out, text.data(), length);
  out[length] = '\0';
}

// The subdirectory of |directory| (a file offset) with the id |id|, or,
// with |first_data|, the first entry that is data; named entries are
// skipped. The entry's target, relative to the resource section, goes to
// |target|.
bool FindResourceEntry(const PeImage& image,
                       uint64_t directory,
                       bool first_data,
                       uint32_t id,
                       uint32_t* target) {
  uint16_t named = 0;
  uint16_t ids = 0;
  if (!image.ReadUint16(directory + kNamedEntryCount, &named) ||
      !image.ReadUint16(directory + kIdEntryCount, &ids)) {
    return false;
  }
  uint64_t entry = directory + kResourceEntries + named * kResourceEntrySize;
  for (uint32_t i = 0; i < ids; ++i, entry += kResourceEntrySize) {
    uint32_t name = 0;
    uint32_t offset = 0;
    if (!image.ReadUint32(entry, &name) ||
        !image.ReadUint32(entry + 4, &offset)) {
      return false;
    }
    bool is_directory = (offset & kResourceHighBit) != 0;
    if (first_data
            ? !is_directory
            : (!(name & kResourceHighBit) && name == id && is_directory)) {
      *target = offset & ~kResourceHighBit;
      return true;
    }
  }
  return false;
}

// Searches |data| for the UTF-16 key |key| (upper case) followed by a NUL
// or a space, case folded, and returns the text after it: never beyond
// |data|, at most kMaxTextLength characters.
bool FindVersionValue(std::string_view data,
                      std::string_view key,
                      std::string* value) {
  auto at = [&data](size_t i) -> uint8_t {
    return i < data.size() ? static_cast<uint8_t>(data[i]) : 0;
  };
  for (size_t start = 0; start < data.size(); ++start) {
    size_t i = start;
    size_t matched = 0;
    while (matched < key.size() && i < data.size() &&
           (at(i) & ~0x20) == static_cast<uint8_t>(key[matched])) {
      ++i;
      if (at(i) == 0 && i < data.size())
        ++i;
      ++matched;
    }
    if (matched != key.size() || i >= data.size() ||
        (at(i) != 0 && at(i) != ' ')) {
      continue;
    }
    while (i < data.size() && at(i) == 0)
      ++i;
    value->clear();
    while (i < data.size() && at(i) != 0 &&
           value->size() < ModuleInfoImpl::kMaxTextLength) {
      value->push_back(static_cast<char>(at(i)));
      ++i;
      if (i < data.size() && at(i) == 0)
        ++i;
    }
    return true;
  }
  return false;
}

}  // namespace

ModuleInfoImpl::ModuleInfoImpl() = default;
ModuleInfoImpl::~ModuleInfoImpl() = default;

void ModuleInfoImpl::Init(std::wstring_view name,
                          HANDLE file,
                          uint64_t base,
                          uint32_t size) {
  base_address_ = base;
  size_ = size;
  // Without the file nothing is known to be code.
  code_end_ = base;
  size_t length = std::min(name.size(), kMaxTextLength);
  for (size_t i = 0; i < length; ++i)
    name_[i] = static_cast<char>(name[i] & 0xFF);
  name_[length] = '\0';
  if (file == INVALID_HANDLE_VALUE || !file)
    return;

  base::win::ScopedHandle mapping(
      ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.IsValid()) {
    PLOG(ERROR) << "CreateFileMappingFailed for " << LogName();
    return;
  }
  void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
  if (!view) {
    PLOG(ERROR) << "MapViewOfFile failed for " << LogName();
    return;
  }
  // The view holds the whole file; an unknown size reads nothing.
  LARGE_INTEGER file_size = {};
  if (!::GetFileSizeEx(file, &file_size))
    file_size.QuadPart = 0;
  ReadImage(static_cast<const uint8_t*>(view),
            static_cast<size_t>(file_size.QuadPart));
  if (!name_[0]) {
    char mapped_name[MAX_PATH];
    DWORD mapped_length = ::GetMappedFileNameA(::GetCurrentProcess(), view,
                                               mapped_name, MAX_PATH);
    if (mapped_length) {
      std::string_view path(mapped_name, mapped_length);
      size_t slash = path.rfind('\\');
      CopyText(slash == std::string_view::npos ? path : path.substr(slash + 1),
               name_);
    } else {
      PLOG(ERROR) << "GetMappedFileNameA failed";
    }
  }
  ::UnmapViewOfFile(view);
}

void ModuleInfoImpl::ReadImage(const uint8_t* view, size_t length) {
  const PeImage image(view, length);
  uint32_t base_of_code = 0;
  uint32_t size_of_code = 0;
  if (!image.IsValid() || !image.GetTimeDateStamp(&timestamp_) ||
      !image.GetCodeRange(&base_of_code, &size_of_code)) {
    LOG(ERROR) << "GetNtHeaders failed for " << LogName();
    return;
  }
  code_end_ = base_address_ + base_of_code + size_of_code;

  uint32_t rva = 0;
  uint32_t directory_size = 0;
  uint64_t offset = 0;
  if (!name_[0]) {
    std::string export_name;
    uint32_t name_rva = 0;
    uint64_t name_offset = 0;
    if (image.GetDataDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT, &rva,
                               &directory_size) &&
        directory_size && image.RvaToOffset(rva, &offset) &&
        image.ReadUint32(offset + kExportName, &name_rva) &&
        image.RvaToOffset(name_rva, &name_offset) &&
        image.ReadString(name_offset, kMaxTextLength, &export_name)) {
      CopyText(export_name, name_);
    } else {
      LOG(INFO) << "Could not find exports directory";
    }
  }

  uint64_t resources = 0;
  if (!image.GetDataDirectory(IMAGE_DIRECTORY_ENTRY_RESOURCE, &rva,
                              &directory_size) ||
      !directory_size || !image.RvaToOffset(rva, &resources)) {
    LOG(INFO) << "Could not find resources directory in " << LogName();
    return;
  }
  uint32_t by_id = 0;
  uint32_t by_language = 0;
  uint32_t data_entry = 0;
  if (!FindResourceEntry(image, resources, false, kVersionResourceType,
                         &by_id) ||
      !FindResourceEntry(image, resources + by_id, false, kVersionResourceId,
                         &by_language)) {
    LOG(INFO) << "Could not find version resource in " << LogName();
    return;
  }
  uint32_t data_rva = 0;
  uint32_t data_size = 0;
  uint64_t data_offset = 0;
  if (!FindResourceEntry(image, resources + by_language, true, 0,
                         &data_entry) ||
      !image.ReadUint32(resources + data_entry, &data_rva) ||
      !image.ReadUint32(resources + data_entry + 4, &data_size) ||
      !image.RvaToOffset(data_rva, &data_offset)) {
    LOG(INFO) << "Could not find version info in " << LogName();
    return;
  }
  // The search stays inside the resource and inside the file.
  if (!image.Contains(data_offset, 0))
    return;
  data_size = static_cast<uint32_t>(
      std::min<uint64_t>(data_size, length - data_offset));
  std::string_view data(reinterpret_cast<const char*>(view + data_offset),
                        data_size);
  std::string text;
  if (!name_[0] && FindVersionValue(data, "ORIGINALFILENAME", &text))
    CopyText(text, name_);
  if (FindVersionValue(data, "FILEVERSION", &text))
    CopyText(text, version_);
}

const char* ModuleInfoImpl::LogName() const {
  return name_[0] ? name_ : "<unknown>";
}

const char* ModuleInfoImpl::GetName() const {
  return name_;
}

uint64_t ModuleInfoImpl::GetBaseAddress() const {
  return base_address_;
}

uint32_t ModuleInfoImpl::GetSize() const {
  return size_;
}

uint64_t ModuleInfoImpl::GetCodeStart() const {
  return base_address_;
}

uint64_t ModuleInfoImpl::GetCodeSize() const {
  return code_end_ - base_address_;
}

const char* ModuleInfoImpl::GetVersion() const {
  return version_;
}

uint32_t ModuleInfoImpl::GetTimestamp() const {
  return timestamp_;
}

}  // namespace crash_report
