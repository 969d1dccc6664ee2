#include "base/files/file_enumerator.h"

#include <functional>

#include "base/logging.h"

namespace base {

namespace {

constexpr wchar_t kMatchAll[] = L"*";

bool IsDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' &&
         (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Calls |visit| for every entry that FindFirstFile finds for |spec|.
void ForEachFound(const FilePath& spec,
                  const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(spec.value().c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    // A folder without matches, or one that is gone, simply has nothing.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_NO_MORE_FILES) {
      LOG(WARNING) << "Cannot list " << spec << ": "
                   << logging::SystemErrorCodeToString(error);
    }
    return;
  }
  do {
    if (!IsDotOrDotDot(data.cFileName))
      visit(data);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
}

bool IsDescendable(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

FileEnumerator::FileInfo::FileInfo() : find_data_() {}

bool FileEnumerator::FileInfo::IsDirectory() const {
  return (find_data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FilePath FileEnumerator::FileInfo::GetName() const {
  return FilePath(find_data_.cFileName);
}

int64_t FileEnumerator::FileInfo::GetSize() const {
  ULARGE_INTEGER size;
  size.HighPart = find_data_.nFileSizeHigh;
  size.LowPart = find_data_.nFileSizeLow;
  return static_cast<int64_t>(size.QuadPart);
}

FileEnumerator::FileEnumerator(const FilePath& root_path,
                               bool recursive,
                               int file_type)
    : FileEnumerator(root_path, recursive, file_type, kMatchAll) {}

FileEnumerator::FileEnumerator(const FilePath& root_path,
                               bool recursive,
                               int file_type,
                               FilePath::StringPieceType pattern)
    : recursive_(recursive),
      file_type_(file_type),
      pattern_(pattern.empty() ? kMatchAll : pattern) {
  DCHECK(file_type & (FILES | DIRECTORIES));
  pending_folders_.push(root_path);
}

FileEnumerator::~FileEnumerator() = default;

FilePath FileEnumerator::Next() {
  while (next_entry_ >= entries_.size()) {
    if (pending_folders_.empty())
      return FilePath();
    FilePath folder = pending_folders_.top();
    pending_folders_.pop();
    ReadFolder(folder);
  }
  return entries_[next_entry_++].path;
}

FileEnumerator::FileInfo FileEnumerator::GetInfo() const {
  DCHECK(next_entry_ > 0 && next_entry_ <= entries_.size())
      << "GetInfo before Next";
  return entries_[next_entry_ - 1].info;
}

void FileEnumerator::ReadFolder(const FilePath& folder) {
  entries_.clear();
  next_entry_ = 0;
  std::vector<FilePath> subfolders;
  const bool matches_all = pattern_ == kMatchAll;

  ForEachFound(folder.Append(pattern_), [&](const WIN32_FIND_DATAW& data) {
    Entry entry;
    entry.path = folder.Append(data.cFileName);
    entry.info.find_data_ = data;
    bool wanted = entry.info.IsDirectory() ? (file_type_ & DIRECTORIES)
                                           : (file_type_ & FILES);
    if (recursive_ && matches_all && IsDescendable(data))
      subfolders.push_back(entry.path);
    if (wanted)
      entries_.push_back(std::move(entry));
  });
  // The pattern hid the sub-folders that do not match it.
  if (recursive_ && !matches_all) {
    ForEachFound(folder.Append(kMatchAll), [&](const WIN32_FIND_DATAW& data) {
      if (IsDescendable(data))
        subfolders.push_back(folder.Append(data.cFileName));
    });
  }
  // Pushed backwards so that sub-folders are read in listing order.
  for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
    pending_folders_.push(*it);
}

}  // namespace base
