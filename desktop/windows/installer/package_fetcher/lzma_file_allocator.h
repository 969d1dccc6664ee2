// The main allocator of 7z extraction, in the ISzAlloc form the reader
// calls (the allocate and free functions come first). It gives the
// decoders their dictionary windows: from the heap, but a window so large
// that memory would limit what unpacks comes from a mapping of a temporary
// file in the output folder (deleted when the allocator goes), so that it
// needs disk instead. Below that size the heap wins: under Wine a file
// mapping costs a third more unpacking time in page faults.
//
// At most one block is file-backed at a time: while the view is held,
// requests go to the heap, and freeing an address other than the view's
// is a heap free. The decoders allocate other windows and buffers through
// the same allocator while the view is in use.
//
// The largest heap block freed is kept for the next request it fits: the
// window of one solid block serves the next, as its pages are already
// there.
//
// A disk error while the mapped view is touched raises
// EXCEPTION_IN_PAGE_ERROR; ScopedInPageErrorGuard turns it into an
// ordinary failure.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_FILE_ALLOCATOR_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_FILE_ALLOCATOR_H_

#include <windows.h>

#include <Types.h>

#include <stddef.h>

#include "base/files/file.h"
#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class LzmaFileAllocator : public ISzAlloc {
 public:
  // Above the dictionaries of all of 7zz's presets (256 MiB at -mx9).
  static constexpr size_t kDefaultMinFileBackedSize = size_t{512} << 20;

  // Blocks of |min_file_backed_size| or more are file-backed. Without a
  // temporary file in |folder|, every block comes from the heap.
  explicit LzmaFileAllocator(
      const base::FilePath& folder,
      size_t min_file_backed_size = kDefaultMinFileBackedSize);
  LzmaFileAllocator(const LzmaFileAllocator&) = delete;
  LzmaFileAllocator& operator=(const LzmaFileAllocator&) = delete;
  ~LzmaFileAllocator();

  void* Allocate(size_t size);
  void Free(void* address);

  // Whether |address| lies in the mapped view.
  bool IsInView(const void* address) const;

  // After an in-page error in the view: puts zeroed memory of its own in
  // place of the view, at the same address, so that code touching the view
  // can finish; the data is lost. False when that fails (the address range
  // was taken meanwhile) or there is no view.
  bool ReplaceViewWithZeroedMemory();

  bool is_file_backed() const { return temp_file_.IsValid(); }
  const base::FilePath& temp_file_path() const { return temp_file_path_; }
  void* view() const { return view_; }
  size_t view_size() const { return view_size_; }

 private:
  static void* AllocateImpl(void* p, size_t size);
  static void FreeImpl(void* p, void* address);

  bool MapView(size_t size);
  void ReleaseView();
  void* TakeSpare(size_t size);
  void KeepSpare(void* address);

  const size_t min_file_backed_size_;
  base::FilePath temp_file_path_;
  base::File temp_file_;
  base::win::ScopedHandle mapping_;
  void* view_ = nullptr;
  size_t view_size_ = 0;
  bool view_replaced_ = false;
  void* spare_ = nullptr;  // A freed heap block kept for reuse.
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_LZMA_FILE_ALLOCATOR_H_
