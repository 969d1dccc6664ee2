#include "desktop/windows/installer/service/transactions/journal_replay.h"

#include <stdint.h>

#include <string_view>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"

namespace installer {

namespace {

using Fields = std::vector<std::wstring>;

// A journal is the record of one run; a longer file is no journal of ours.
constexpr int64_t kMaxJournalSize = 256 * 1024 * 1024;

bool Is(const Fields& fields, const char* kind, size_t min_size) {
  return fields.size() >= min_size && fields[0] == base::ASCIIToWide(kind);
}

bool IsProcessAlive(uint32_t pid, uint64_t creation_time) {
  if (pid == ::GetCurrentProcessId())
    return true;
  base::win::ScopedHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process.IsValid())
    return false;
  FILETIME creation = {}, exit = {}, kernel = {}, user = {};
  DWORD exit_code = 0;
  if (!::GetProcessTimes(process.Get(), &creation, &exit, &kernel, &user) ||
      !::GetExitCodeProcess(process.Get(), &exit_code)) {
    return false;
  }
  const uint64_t value =
      (static_cast<uint64_t>(creation.dwHighDateTime) << 32) |
      creation.dwLowDateTime;
  // Another process that got the id later is not the journal's.
  return value == creation_time && exit_code == STILL_ACTIVE;
}

class Replay {
 public:
  Replay(const base::FilePath& install_folder, const JournalScope& scope)
      : install_folder_(install_folder), scope_(scope) {}

  // False when |path| is no journal that may be replayed now.
  bool Read(const base::FilePath& path) {
    int64_t size = 0;
    std::string text;
    if (!base::GetFileSize(path, &size) || size > kMaxJournalSize ||
        !base::ReadFileToString(path, &text)) {
      LOG(WARNING) << "Cannot read the transaction journal " << path;
      return false;
    }
    // A line cut short by the kill was never acted on.
    const size_t end = text.rfind('\n');
    text.resize(end == std::string::npos ? 0 : end);
    for (std::string_view line : base::SplitStringPiece(
             text, "\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL)) {
      Fields fields;
      if (!journal::DecodeLine(line, &fields)) {
        LOG(WARNING) << "Skipping a broken line of " << path;
        continue;
      }
      lines_.push_back(std::move(fields));
    }
    return CheckHeader(path);
  }

  // False when some change could not be completed or undone (a run without
  // the rights it needs): the journal then stays for a later run.
  bool Run() {
    bool committing = false;
    for (const Fields& fields : lines_)
      committing = committing || Is(fields, journal::kCommit, 1);
    if (committing) {
      LOG(INFO) << "Completing the commit of an ended run";
      for (const Fields& fields : lines_)
        FinishCommit(fields);
      return !failed_;
    }
    LOG(INFO) << "Undoing the changes of an ended run";
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
      Undo(*it);
    return !failed_;
  }

 private:
  bool CheckHeader(const base::FilePath& path) {
    uint32_t pid = 0;
    uint64_t creation_time = 0;
    if (lines_.empty() || !Is(lines_[0], journal::kHeader, 5) ||
        lines_[0][1] != L"1" || !base::StringToUint(lines_[0][2], &pid) ||
        !base::StringToUint64(lines_[0][3], &creation_time)) {
      LOG(WARNING) << "Not a transaction journal: " << path;
      return false;
    }
    if (!base::FilePath::CompareEqualIgnoreCase(
            base::FilePath(lines_[0][4]).StripTrailingSeparators().value(),
            install_folder_.StripTrailingSeparators().value())) {
      LOG(WARNING) << "The journal " << path << " is of another folder";
      return false;
    }
    if (IsProcessAlive(pid, creation_time)) {
      LOG(INFO) << "Process " << pid << " still runs the journal " << path;
      return false;
    }
    lines_.erase(lines_.begin());
    return true;
  }

  bool AllowsFiles(std::initializer_list<const std::wstring*> paths) const {
    for (const std::wstring* path : paths) {
      if (!path->empty() && !scope_.AllowsFile(base::FilePath(*path))) {
        LOG(ERROR) << "Journal: not touching " << *path
                   << ", which is not the installation's";
        return false;
      }
    }
    return true;
  }

  // The root of a registry line, when the scope allows its key.
  HKEY AllowedRoot(const Fields& fields,
                   JournalScope::KeyUse use,
                   REGSAM* view) const {
    const HKEY root = journal::RootFromName(fields[1]);
    unsigned view_flags = 0;
    if (!root || !base::StringToUint(fields[2], &view_flags) ||
        (view_flags & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY)) ||
        !scope_.AllowsKey(root, fields[3], use)) {
      LOG(ERROR) << "Journal: not touching the registry key " << fields[3]
                 << ", which is not the installation's";
      return nullptr;
    }
    *view = view_flags;
    return root;
  }

  void FinishCommit(const Fields& fields) {
    if (!Is(fields, journal::kMovedAside, 4) ||
        !AllowsFiles({&fields[1], &fields[2], &fields[3]})) {
      return;
    }
    const base::FilePath aside(fields[2]);
    if (base::PathExists(aside) && !base::DeleteFile(aside, true)) {
      PLOG(ERROR) << "Cannot delete " << aside;
      failed_ = true;
    }
    if (fields[3].empty())
      return;
    const base::FilePath stop(fields[3]);
    base::FilePath folder = base::FilePath(fields[1]).DirName();
    while (stop.IsParentIgnoringCase(folder) &&
           ::RemoveDirectoryW(folder.value().c_str())) {
      folder = folder.DirName();
    }
  }

  void Undo(const Fields& fields) {
    if (Is(fields, journal::kCopied, 2)) {
      if (AllowsFiles({&fields[1]}))
        UndoCopy(base::FilePath(fields[1]));
    } else if (Is(fields, journal::kMoved, 3)) {
      if (AllowsFiles({&fields[1], &fields[2]}))
        MoveBack(base::FilePath(fields[2]), base::FilePath(fields[1]));
    } else if (Is(fields, journal::kMovedAside, 4)) {
      if (AllowsFiles({&fields[1], &fields[2], &fields[3]}))
        MoveBack(base::FilePath(fields[2]), base::FilePath(fields[1]));
    } else if (Is(fields, journal::kFolder, 3)) {
      // Only empty folders go: nothing of anybody's can be lost here.
      RemoveCreatedFolders(base::FilePath(fields[1]),
                           base::FilePath(fields[2]));
    } else if (Is(fields, journal::kValue, 7)) {
      UndoValue(fields);
    } else if (Is(fields, journal::kKey, 5)) {
      UndoKeyCreation(fields);
    } else if (Is(fields, journal::kDeletedKey, 4)) {
      RestoreKey(fields);
    } else {
      LOG(WARNING) << "Journal: skipping an unknown line";
    }
  }

  void UndoCopy(const base::FilePath& file) {
    if (base::PathExists(file) && !base::DeleteFile(file, false)) {
      PLOG(ERROR) << "Cannot remove " << file;
      failed_ = true;
    }
  }

  // Puts |from| back at |to| when it is there and |to| is free.
  void MoveBack(const base::FilePath& from, const base::FilePath& to) {
    if (!base::PathExists(from) || base::PathExists(to))
      return;
    if (!base::Move(from, to)) {
      PLOG(ERROR) << "Cannot move " << from << " back to " << to;
      failed_ = true;
    }
  }

  void UndoValue(const Fields& fields) {
    REGSAM view = 0;
    const HKEY root =
        AllowedRoot(fields, JournalScope::KeyUse::kValuesAndTrees, &view);
    if (!root)
      return;
    base::win::RegKey key;
    if (key.Open(root, fields[3].c_str(), view | KEY_SET_VALUE) !=
        ERROR_SUCCESS) {
      return;
    }
    if (fields[5] == base::ASCIIToWide(journal::kAbsent)) {
      ::RegDeleteValueW(key.Handle(), fields[4].c_str());
      return;
    }
    unsigned type = 0;
    std::vector<BYTE> data;
    if (!base::StringToUint(fields[5], &type) ||
        !journal::HexDecode(fields[6], &data)) {
      return;
    }
    if (::RegSetValueExW(key.Handle(), fields[4].c_str(), 0, type, data.data(),
                         static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
      LOG(ERROR) << "Cannot restore the value " << fields[4] << " of "
                 << fields[3];
      failed_ = true;
    }
  }

  // Removes the keys created from the top down to the key, deepest first,
  // each only when it holds no value and no subkey any more.
  void UndoKeyCreation(const Fields& fields) {
    REGSAM view = 0;
    const HKEY root =
        AllowedRoot(fields, JournalScope::KeyUse::kCreatedKeys, &view);
    const std::wstring& top = fields[3];
    std::wstring path = fields[4];
    if (!root || CountKeyPathComponents(top) < 2 ||
        !(path == top || StartsWithKey(path, top))) {
      return;
    }
    while (RemoveEmptyKey(root, view, path) && path != top) {
      if (!GetParentKeyPath(path, &path))
        return;
    }
  }

  static bool StartsWithKey(const std::wstring& path,
                            const std::wstring& ancestor) {
    return path.size() > ancestor.size() && path[ancestor.size()] == L'\\' &&
           base::FilePath::CompareEqualIgnoreCase(
               path.substr(0, ancestor.size()), ancestor);
  }

  // False when the key is there and cannot go.
  static bool RemoveEmptyKey(HKEY root, REGSAM view, const std::wstring& path) {
    base::win::RegKey key;
    if (key.Open(root, path.c_str(), view | KEY_QUERY_VALUE) != ERROR_SUCCESS) {
      return true;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.Handle(), nullptr, nullptr, nullptr, &subkeys,
                           nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                           nullptr) != ERROR_SUCCESS ||
        subkeys || values) {
      return false;
    }
    key.Close();
    return ::RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
  }

  void RestoreKey(const Fields& fields) {
    REGSAM view = 0;
    const HKEY root =
        AllowedRoot(fields, JournalScope::KeyUse::kValuesAndTrees, &view);
    if (!root || (fields.size() - 4) % 3)
      return;
    base::win::RegKey key;
    if (key.Create(root, fields[3].c_str(), view | KEY_SET_VALUE) !=
        ERROR_SUCCESS) {
      LOG(ERROR) << "Cannot restore the registry key " << fields[3];
      failed_ = true;
      return;
    }
    for (size_t i = 4; i + 2 < fields.size(); i += 3) {
      unsigned type = 0;
      std::vector<BYTE> data;
      if (base::StringToUint(fields[i + 1], &type) &&
          journal::HexDecode(fields[i + 2], &data)) {
        ::RegSetValueExW(key.Handle(), fields[i].c_str(), 0, type, data.data(),
                         static_cast<DWORD>(data.size()));
      }
    }
  }

  const base::FilePath install_folder_;
  const JournalScope& scope_;
  std::vector<Fields> lines_;
  bool failed_ = false;
};

}  // namespace

int ReplayAbandonedJournals(const base::FilePath& journal_folder,
                            const base::FilePath& install_folder,
                            const JournalScope& scope) {
  if (!base::DirectoryExists(journal_folder))
    return 0;
  std::vector<base::FilePath> journals;
  base::FileEnumerator files(
      journal_folder, false, base::FileEnumerator::FILES,
      journal::FileNamePrefix(install_folder) + L"*.journal");
  for (base::FilePath path = files.Next(); !path.empty(); path = files.Next())
    journals.push_back(path);
  int replayed = 0;
  for (const base::FilePath& path : journals) {
    Replay replay(install_folder, scope);
    if (!replay.Read(path))
      continue;
    LOG(INFO) << "Repairing what an ended installer run left: " << path;
    if (!replay.Run()) {
      LOG(ERROR) << "Keeping " << path << " for a run that can finish it";
      continue;
    }
    ++replayed;
    if (!base::DeleteFile(path, false))
      PLOG(ERROR) << "Cannot remove the replayed journal " << path;
  }
  return replayed;
}

}  // namespace installer
