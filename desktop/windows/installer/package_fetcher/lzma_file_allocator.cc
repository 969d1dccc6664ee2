#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"

#include <malloc.h>
#include <stdlib.h>

#include <atomic>
#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"

namespace installer {

namespace {

// Smaller blocks are not worth keeping.
constexpr size_t kMinSpareSize = 1 << 20;

// Names tried for the temporary file.
constexpr int kTempFileNames = 100;

// The unpacking's window lives in this file, in a folder that other
// programs may write: one that could write the file would change what is
// unpacked, and a link planted at its name would have the window written
// and the file deleted elsewhere. So it is made new, shared with nobody,
// and goes when it is closed, also when the process is killed.
base::File CreateTempFile(const base::FilePath& folder, base::FilePath* path) {
  static std::atomic<unsigned> counter{0};
  for (int i = 0; i < kTempFileNames; ++i) {
    const base::FilePath candidate = folder.AppendASCII(base::StringPrintf(
        "lzma_%lu_%u.tmp", ::GetCurrentProcessId(), counter.fetch_add(1)));
    HANDLE file = ::CreateFileW(
        candidate.value().c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
        nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE |
            FILE_FLAG_OPEN_REPARSE_POINT,
        nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *path = candidate;
      return base::File(file);
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  PLOG(WARNING) << "Cannot create a temporary file in " << folder;
  return base::File();
}

LzmaFileAllocator* FromAlloc(void* p) {
  return static_cast<LzmaFileAllocator*>(static_cast<ISzAlloc*>(p));
}

}  // namespace

LzmaFileAllocator::LzmaFileAllocator(const base::FilePath& folder,
                                     size_t min_file_backed_size)
    : min_file_backed_size_(min_file_backed_size) {
  Alloc = &LzmaFileAllocator::AllocateImpl;
  ISzAlloc::Free = &LzmaFileAllocator::FreeImpl;
  temp_file_ = CreateTempFile(folder, &temp_file_path_);
}

LzmaFileAllocator::~LzmaFileAllocator() {
  ReleaseView();
  free(spare_);
}

void* LzmaFileAllocator::Allocate(size_t size) {
  if (size == 0)
    return nullptr;
  if (!view_ && size >= min_file_backed_size_ && temp_file_.IsValid() &&
      MapView(size)) {
    return view_;
  }
  void* spare = TakeSpare(size);
  return spare ? spare : malloc(size);
}

void LzmaFileAllocator::Free(void* address) {
  if (!address)
    return;
  if (address == view_)
    ReleaseView();
  else
    KeepSpare(address);
}

void* LzmaFileAllocator::TakeSpare(size_t size) {
  // Not for a request far smaller: the next window would miss it.
  const size_t capacity = spare_ ? _msize(spare_) : 0;
  if (capacity < size || size < capacity / 2)
    return nullptr;
  void* spare = spare_;
  spare_ = nullptr;
  return spare;
}

void LzmaFileAllocator::KeepSpare(void* address) {
  if (_msize(address) < kMinSpareSize ||
      (spare_ && _msize(spare_) >= _msize(address))) {
    free(address);
    return;
  }
  free(spare_);
  spare_ = address;
}

bool LzmaFileAllocator::IsInView(const void* address) const {
  const char* byte = static_cast<const char*>(address);
  const char* begin = static_cast<const char*>(view_);
  return view_ && byte >= begin && byte < begin + view_size_;
}

bool LzmaFileAllocator::ReplaceViewWithZeroedMemory() {
  if (!view_ || view_replaced_ || !::UnmapViewOfFile(view_))
    return false;
  void* memory = ::VirtualAlloc(view_, view_size_, MEM_RESERVE | MEM_COMMIT,
                                PAGE_READWRITE);
  if (memory != view_) {
    if (memory)
      ::VirtualFree(memory, 0, MEM_RELEASE);
    // Nothing is mapped there now: forget the view rather than unmap it
    // again later.
    view_ = nullptr;
    view_size_ = 0;
    mapping_.Close();
    return false;
  }
  view_replaced_ = true;
  return true;
}

bool LzmaFileAllocator::MapView(size_t size) {
  LARGE_INTEGER length;
  length.QuadPart = static_cast<LONGLONG>(size);
  const HANDLE file = temp_file_.GetPlatformFile();
  if (!::SetFilePointerEx(file, length, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file)) {
    PLOG(WARNING) << "Cannot size " << temp_file_path_;
    return false;
  }
  base::win::ScopedHandle mapping(
      ::CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr));
  if (!mapping.IsValid()) {
    PLOG(WARNING) << "Cannot map " << temp_file_path_;
    return false;
  }
  void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, size);
  if (!view) {
    PLOG(WARNING) << "Cannot map a view of " << temp_file_path_;
    return false;
  }
  mapping_ = std::move(mapping);
  view_ = view;
  view_size_ = size;
  return true;
}

void LzmaFileAllocator::ReleaseView() {
  if (!view_)
    return;
  if (view_replaced_)
    ::VirtualFree(view_, 0, MEM_RELEASE);
  else
    ::UnmapViewOfFile(view_);
  view_ = nullptr;
  view_size_ = 0;
  view_replaced_ = false;
  mapping_.Close();
}

// static
void* LzmaFileAllocator::AllocateImpl(void* p, size_t size) {
  return FromAlloc(p)->Allocate(size);
}

// static
void LzmaFileAllocator::FreeImpl(void* p, void* address) {
  FromAlloc(p)->Free(address);
}

}  // namespace installer
