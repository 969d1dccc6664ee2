#include "desktop/windows/installer/package_fetcher/lzma_util.h"

#include <stdlib.h>

#include <algorithm>
#include <limits>
#include <map>
#include <utility>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "components/sevenzip/sz_extract.h"
#include "desktop/windows/installer/package_fetcher/archive_entry_path.h"
#include "desktop/windows/installer/package_fetcher/archive_in_stream.h"
#include "desktop/windows/installer/package_fetcher/held_files.h"
#include "desktop/windows/installer/package_fetcher/in_page_error_guard.h"
#include "desktop/windows/installer/package_fetcher/lzma_file_allocator.h"
#include "desktop/windows/installer/wininet/download_progress_delegate.h"

namespace installer {

namespace {

static_assert(sizeof(wchar_t) == sizeof(UInt16), "names are UTF-16");

void* HeapAllocate(void*, size_t size) {
  return size ? malloc(size) : nullptr;
}

void HeapFree(void*, void* address) {
  free(address);
}

ISzAlloc g_heap_alloc = {HeapAllocate, HeapFree};

// The form under which Windows finds |relative|: names are compared without
// regard to case.
std::wstring FoldedName(const base::FilePath& relative) {
  std::wstring folded = relative.value();
  if (!folded.empty())
    ::CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
  return folded;
}

}  // namespace

struct Archive7z::Context {
  const CSzArEx& db;
  ILookInStream* stream;
  const std::vector<base::FilePath>& paths;
  base::FilePath* last_path;
  LzmaFileAllocator* allocator;
  CSzBlockCache* cache;
  ScopedInPageErrorGuard* guard;
  ArchiveFileWriter* writer;
};

Archive7z::Archive7z(DownloadProgressDelegate* delegate)
    : delegate_(delegate),
      min_file_backed_window_(LzmaFileAllocator::kDefaultMinFileBackedSize) {}

Archive7z::~Archive7z() {
  Close();
  created_folders_.clear();
}

DWORD Archive7z::Open(const base::FilePath& path) {
  Close();
  const HANDLE file =
      ::CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = ::GetLastError();
  archive_file_.Set(file);
  if (!archive_file_.IsValid()) {
    LOG(ERROR) << "Cannot open the archive " << path << ": "
               << logging::SystemErrorCodeToString(error);
    error_kind_ =
        error == ERROR_FILE_NOT_FOUND ? kArchiveNotFound : kArchiveOpenFailed;
    return error ? error : ERROR_OPEN_FAILED;
  }
  error_kind_ = kNoError;
  return ERROR_SUCCESS;
}

void Archive7z::Close() {
  archive_file_.Close();
}

bool Archive7z::EnsureDirectory(const base::FilePath& folder) {
  const std::wstring key = FoldedName(folder);
  if (created_folders_.count(key))
    return true;
  if (folder == output_folder_ || !output_folder_.IsParent(folder)) {
    if (held_ || !base::CreateDirectory(folder))
      return false;
  } else {
    if (!EnsureDirectory(folder.DirName()))
      return false;
    // A folder that exists already, or a junction, is not this
    // extraction's: nothing goes into it.
    const bool created =
        held_ ? held_->CreateFolder(folder)
              : ::CreateDirectoryW(folder.value().c_str(), nullptr) != FALSE;
    if (!created)
      return false;
  }
  created_folders_.insert(key);
  return true;
}

void Archive7z::SetDecodeHookForTesting(
    base::RepeatingCallback<void(LzmaFileAllocator*)> hook) {
  decode_hook_ = std::move(hook);
}

DWORD Archive7z::Extract(const base::FilePath& output_folder,
                         base::FilePath* last_path) {
  if (!archive_file_.IsValid())
    return kArchiveError;
  created_folders_.clear();
  output_folder_ = output_folder;
  // The caller made it, new.
  if (held_)
    created_folders_.insert(FoldedName(output_folder));
  // Exact mode: the reader asks the file for no byte it does not need.
  ArchiveInStream in_stream(archive_file_.Get());
  CLookToRead look_stream;
  LookToRead_CreateVTable(&look_stream, False);
  look_stream.realStream = &in_stream;
  LookToRead_Init(&look_stream);

  CSzArEx db;
  SzArEx_Init(&db);
  const SRes res =
      SzArEx_Open(&db, &look_stream.s, &g_heap_alloc, &g_heap_alloc);
  DWORD result = kArchiveError;
  if (res != SZ_OK) {
    LOG(ERROR) << "Error returned by SzArchiveOpen: " << res;
    error_kind_ = kArchiveReadFailed;
  } else {
    result = ExtractEntries(db, &look_stream.s, output_folder, last_path);
  }
  SzArEx_Free(&db, &g_heap_alloc);
  return error_kind_ == kNoError ? ERROR_SUCCESS : result;
}

DWORD Archive7z::ExtractEntries(const CSzArEx& db,
                                ILookInStream* stream,
                                const base::FilePath& output_folder,
                                base::FilePath* last_path) {
  std::vector<base::FilePath> paths;
  if (!GetEntryPaths(db, output_folder, &paths))
    return kArchiveError;
  // A file-backed window's temporary file goes into the folder.
  if (!EnsureDirectory(output_folder)) {
    const DWORD error = LastErrorOrWriteFault();
    LOG(ERROR) << "Error returned by CreateDirectory: "
               << logging::SystemErrorCodeToString(error);
    return FileFailure(ArchiveFileWriter::Failure::kCreate, error);
  }
  LzmaFileAllocator allocator(output_folder, min_file_backed_window_);
  ArchiveFileWriter writer(
      base::BindRepeating(&Archive7z::EnsureDirectory, base::Unretained(this)),
      held_);
  if (!writer.Start()) {
    LOG(ERROR) << "Cannot start the thread that writes the files";
    return FileFailure(ArchiveFileWriter::Failure::kCreate, ERROR_OUTOFMEMORY);
  }
  error_kind_ = kNoError;
  if (delegate_) {
    delegate_->SetTotalProgress(static_cast<int>(
        std::min<UInt32>(db.NumFiles, std::numeric_limits<int>::max())));
  }

  CSzBlockCache cache;
  ScopedInPageErrorGuard guard(&allocator);
  Context context{db,         stream, paths,  last_path,
                  &allocator, &cache, &guard, &writer};
  DWORD result = ERROR_SUCCESS;
  for (UInt32 i = 0;
       i < db.NumFiles && error_kind_ == kNoError && !writer.failed(); ++i) {
    if (delegate_)
      delegate_->SetCurrentProgress(static_cast<int>(i));
    result = ExtractEntry(&context, i);
  }
  // The decoders give the window back while the guard still watches it.
  cache.Free();
  // A failure of the writer came at this entry or an earlier one.
  DWORD file_error;
  const ArchiveFileWriter::Failure failure = writer.Finish(&file_error);
  if (failure != ArchiveFileWriter::Failure::kNone)
    return FileFailure(failure, file_error);
  return result;
}

bool Archive7z::GetEntryPaths(const CSzArEx& db,
                              const base::FilePath& output_folder,
                              std::vector<base::FilePath>* paths) {
  // All names are checked before anything is written: an archive with one
  // unsafe name is refused as a whole. So is one where two entries land on
  // the same path of a Windows folder, such as "files_list" and
  // "FILES_LIST": the later would silently replace the earlier. Only two
  // folders may share a path.
  std::map<std::wstring, bool> is_dir_by_name;
  for (UInt32 i = 0; i < db.NumFiles; ++i) {
    const size_t length = SzArEx_GetFileNameUtf16(&db, i, nullptr);
    if (length == 0) {
      LOG(ERROR) << "Couldn't get file name";
      error_kind_ = kEntryNameFailed;
      return false;
    }
    std::wstring name(length, L'\0');
    SzArEx_GetFileNameUtf16(&db, i, reinterpret_cast<UInt16*>(name.data()));
    name.resize(length - 1);
    base::FilePath relative;
    if (!ArchiveEntryNameToRelativePath(name, &relative)) {
      LOG(ERROR) << "Refusing the archive: entry " << i
                 << " has a name that is not a plain relative path";
      error_kind_ = kEntryNameFailed;
      return false;
    }
    const bool is_dir = db.Files[i].IsDir != 0;
    const auto inserted = is_dir_by_name.emplace(FoldedName(relative), is_dir);
    if (!inserted.second && !(is_dir && inserted.first->second)) {
      LOG(ERROR) << "Refusing the archive: entry " << i << " (" << relative
                 << ") has the path of an earlier entry";
      error_kind_ = kEntryNameFailed;
      return false;
    }
    paths->push_back(output_folder.Append(relative));
  }
  return true;
}

DWORD Archive7z::ExtractEntry(Context* context, UInt32 index) {
  const SRes res =
      SzArEx_Extract(&context->db, context->stream, index, context->cache,
                     context->allocator, &g_heap_alloc);
  if (context->guard->has_error())
    return InPageFailure(*context->guard);
  if (res != SZ_OK)
    return DecodeFailure(res);

  const base::FilePath& path = context->paths[index];
  if (context->last_path)
    *context->last_path = path;
  const CSzFileItem& entry = context->db.Files[index];
  if (entry.IsDir) {
    context->writer->CreateFolder(path);
    return ERROR_SUCCESS;
  }
  context->writer->OpenFile(path);
  const DWORD result = StreamEntryData(context);
  if (error_kind_ != kNoError) {
    // What was written of the entry is worthless.
    context->writer->DiscardFile();
    return result;
  }
  const FILETIME mtime = {entry.MTime.Low, entry.MTime.High};
  context->writer->CloseFile(entry.MTimeDefined ? &mtime : nullptr);
  return ERROR_SUCCESS;
}

DWORD Archive7z::StreamEntryData(Context* context) {
  // A failure of the writer ends the loop; Finish reports it.
  while (!context->writer->failed()) {
    const Byte* data;
    size_t size;
    const SRes res = context->cache->Look(&data, &size);
    if (decode_hook_)
      decode_hook_.Run(context->allocator);
    if (context->guard->has_error())
      return InPageFailure(*context->guard);
    if (res != SZ_OK)
      return DecodeFailure(res);
    if (size == 0)
      break;
    context->writer->Write(data, size);
    // Reads the bytes once more, for their CRC.
    context->cache->Skip(size);
    if (context->guard->has_error())
      return InPageFailure(*context->guard);
  }
  return ERROR_SUCCESS;
}

DWORD Archive7z::DecodeFailure(SRes res) {
  LOG(ERROR) << "Error returned by SzExtract: " << res;
  error_kind_ = kEntryDecodeFailed;
  return kArchiveError;
}

DWORD Archive7z::InPageFailure(const ScopedInPageErrorGuard& guard) {
  in_page_status_ = guard.status();
  LOG(ERROR) << "EXCEPTION_IN_PAGE_ERROR while accessing mapped memory; "
                "NTSTATUS = "
             << base::StringPrintf("0x%08lX", in_page_status_);
  error_kind_ = kInPageError;
  return kInPageErrorResult;
}

DWORD Archive7z::FileFailure(ArchiveFileWriter::Failure failure, DWORD error) {
  switch (failure) {
    case ArchiveFileWriter::Failure::kCreate:
      error_kind_ = kCreateFileFailed;
      break;
    case ArchiveFileWriter::Failure::kWrite:
      error_kind_ = kWriteFileFailed;
      break;
    case ArchiveFileWriter::Failure::kSetTime:
      error_kind_ = kSetFileTimeFailed;
      break;
    case ArchiveFileWriter::Failure::kClose:
      error_kind_ = kCloseFileFailed;
      break;
    case ArchiveFileWriter::Failure::kNone:
      NOTREACHED();
      break;
  }
  return error;
}

}  // namespace installer
