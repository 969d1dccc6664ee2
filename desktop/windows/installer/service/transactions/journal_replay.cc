#include "desktop/windows/installer/service/transactions/journal_replay.h"

#include <stdint.h>

#include <string_view>
#include <variant>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/transactions/journal_effect.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"
#include "desktop/windows/installer/service/transactions/link_free_registry.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/pinned_folders.h"

namespace installer {

namespace {

// A journal is the record of one run: a line or two for each file of the
// largest package; a longer file is no journal of ours.
constexpr int64_t kMaxJournalSize = 64 * 1024 * 1024;

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

using Result = PinnedFolders::Result;

class Replay {
 public:
  // |files| holds the folders the replay works in, across the journals of
  // one folder.
  Replay(const base::FilePath& install_folder,
         const JournalBounds& bounds,
         PinnedFolders* files)
      : install_folder_(install_folder), bounds_(bounds), files_(*files) {}

  // False when |path|, read through |journals|, is no journal that may be
  // replayed now.
  bool Read(const base::FilePath& path, PinnedFolders* journals) {
    std::string text;
    if (journals->ReadFile(path, kMaxJournalSize, &text) != Result::kDone) {
      LOG(WARNING) << "Cannot read the transaction journal " << path;
      return false;
    }
    // A line cut short by the kill was never acted on.
    const size_t end = text.rfind('\n');
    text.resize(end == std::string::npos ? 0 : end);
    std::vector<std::string_view> lines = base::SplitStringPiece(
        text, "\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL);
    journal::Header header;
    if (lines.empty() || !journal::ParseHeader(lines[0], &header)) {
      LOG(WARNING) << "Not a transaction journal: " << path;
      return false;
    }
    if (!IsOfInstallFolder(header, path))
      return false;
    for (size_t i = 1; i < lines.size(); ++i) {
      journal::Entry entry;
      if (!journal::ParseEntry(lines[i], &entry)) {
        LOG(WARNING) << "Skipping a broken line of " << path;
        continue;
      }
      committing_ =
          committing_ || std::holds_alternative<journal::CommitMarker>(entry);
      entries_.push_back(std::move(entry));
    }
    return true;
  }

  // False when some change could not be completed or undone (a run without
  // the rights it needs): the journal then stays for a later run.
  bool Run() {
    if (committing_) {
      LOG(INFO) << "Completing the commit of an ended run";
      for (const journal::Entry& entry : entries_)
        PerformAll(CommitEffects(entry));
    } else {
      LOG(INFO) << "Undoing the changes of an ended run";
      for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        PerformAll(UndoEffects(*it));
    }
    return !failed_;
  }

 private:
  bool IsOfInstallFolder(const journal::Header& header,
                         const base::FilePath& path) const {
    if (!base::FilePath::CompareEqualIgnoreCase(
            header.install_folder.StripTrailingSeparators().value(),
            install_folder_.StripTrailingSeparators().value())) {
      LOG(WARNING) << "The journal " << path << " is of another folder";
      return false;
    }
    if (IsProcessAlive(header.pid, header.creation_time)) {
      LOG(INFO) << "Process " << header.pid << " still runs the journal "
                << path;
      return false;
    }
    return true;
  }

  void PerformAll(const std::vector<JournalEffect>& effects) {
    for (const JournalEffect& effect : effects) {
      if (MayPerform(effect, bounds_)) {
        Perform(effect);
        continue;
      }
      LOG(ERROR) << "Journal: refusing to " << JournalEffectName(effect.kind)
                 << " " << Describe(effect)
                 << ", which is nothing the installation can have made";
    }
  }

  static std::wstring Describe(const JournalEffect& effect) {
    if (!effect.path.empty())
      return effect.path.value() + L" (" + effect.other.value() + L")";
    const wchar_t* root =
        effect.key.root == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\";
    return root + effect.key.path + L" (" + effect.name + L")";
  }

  void Perform(const JournalEffect& effect) {
    switch (effect.kind) {
      case JournalEffectKind::kRemoveCopy:
        return RemoveFile(effect.path);
      case JournalEffectKind::kMoveBack:
      case JournalEffectKind::kPutBack:
        return MoveBack(effect.path, effect.other);
      case JournalEffectKind::kDeleteAside:
        return DeleteAside(effect.path);
      case JournalEffectKind::kRemoveEmptyParents:
        return RemoveEmptyParents(effect.path, effect.other);
      case JournalEffectKind::kRemoveCreatedFolders:
        // Only empty folders go: nothing of anybody's can be lost here.
        return RemoveCreatedFolders(effect.path, effect.other);
      case JournalEffectKind::kSetValueBack:
        if (MayRestore(effect))
          SetValueBack(effect);
        return;
      case JournalEffectKind::kRemoveCreatedKeys:
        return RemoveCreatedKeys(effect.key, effect.name);
      case JournalEffectKind::kRestoreDeletedKey:
        if (MayRestore(effect))
          RestoreKey(effect);
        return;
    }
  }

  // Counts what |effect| writes into the registry against the bounds'
  // allowance; false once that is spent, and the rest is refused.
  bool MayRestore(const JournalEffect& effect) {
    size_t bytes = effect.key.path.size() * sizeof(wchar_t);
    if (effect.value)
      bytes += effect.value->name.size() * sizeof(wchar_t) +
               effect.value->data.size();
    for (const journal::RegistryValue& value : effect.values)
      bytes += value.name.size() * sizeof(wchar_t) + value.data.size();
    const size_t limit = bounds_.MaxRestoredRegistryBytes();
    if (restored_bytes_ <= limit && bytes <= limit - restored_bytes_) {
      restored_bytes_ += bytes;
      return true;
    }
    LOG_IF(ERROR, !restore_limit_logged_)
        << "Journal: refusing to write back more than " << limit
        << " bytes into the registry, more than the installation can have "
           "held";
    restore_limit_logged_ = true;
    return false;
  }

  // Every file change goes through |files_|, which checks the object it
  // acts on through the handle it acts with. What it refuses is logged
  // there and stays refused; only a change that failed is tried again by
  // a later run.
  void Count(Result result) {
    if (result == Result::kFailed)
      failed_ = true;
  }

  void RemoveFile(const base::FilePath& file) {
    Count(files_.DeleteFile(file));
  }

  // Puts |from| back at |to| when it is there and |to| is free.
  void MoveBack(const base::FilePath& from, const base::FilePath& to) {
    Count(files_.Move(from, to));
  }

  void DeleteAside(const base::FilePath& aside) {
    Count(files_.DeleteTree(aside));
  }

  void RemoveEmptyParents(const base::FilePath& file,
                          const base::FilePath& stop) {
    base::FilePath folder = file.DirName();
    while (stop.IsParentIgnoringCase(folder) &&
           files_.RemoveEmptyFolder(folder) == Result::kDone) {
      folder = folder.DirName();
    }
  }

  // Removes the folders from |folder| up to, not including, |ancestor|,
  // deepest first, each only while it is empty; levels that are not there
  // are passed over.
  void RemoveCreatedFolders(const base::FilePath& folder,
                            const base::FilePath& ancestor) {
    for (base::FilePath current = folder;
         ancestor.IsParentIgnoringCase(current); current = current.DirName()) {
      const Result result = files_.RemoveEmptyFolder(current);
      if (result != Result::kDone && result != Result::kAbsent)
        return;
    }
  }

  void SetValueBack(const JournalEffect& effect) {
    base::win::RegKey key;
    if (OpenKeyWithoutLinks(effect.key.root, effect.key.path,
                            effect.key.view | KEY_SET_VALUE,
                            &key) != ERROR_SUCCESS) {
      return;
    }
    if (!effect.value) {
      ::RegDeleteValueW(key.Handle(), effect.name.c_str());
      return;
    }
    if (!WriteValue(key.Handle(), effect.name, *effect.value)) {
      LOG(ERROR) << "Cannot restore the value " << effect.name << " of "
                 << effect.key.path;
      failed_ = true;
    }
  }

  static bool WriteValue(HKEY key,
                         const std::wstring& name,
                         const journal::RegistryValue& value) {
    static const BYTE kNoData = 0;
    return ::RegSetValueExW(key, name.c_str(), 0, value.type,
                            value.data.empty() ? &kNoData : value.data.data(),
                            static_cast<DWORD>(value.data.size())) ==
           ERROR_SUCCESS;
  }

  // Removes the keys created from the top down to the key, deepest first,
  // each only when it holds no value and no subkey any more.
  static void RemoveCreatedKeys(const journal::RegistryKey& key,
                                const std::wstring& top) {
    std::wstring path = key.path;
    while (RemoveEmptyKey(key.root, key.view, path) && path != top) {
      if (!GetParentKeyPath(path, &path))
        return;
    }
  }

  // False when the key is there and cannot go, or is reached through a
  // registry link.
  static bool RemoveEmptyKey(HKEY root, REGSAM view, const std::wstring& path) {
    base::win::RegKey key;
    const LONG result =
        OpenKeyWithoutLinks(root, path, view | KEY_QUERY_VALUE | DELETE, &key);
    if (result != ERROR_SUCCESS)
      return result != kErrorRegistryLink;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.Handle(), nullptr, nullptr, nullptr, &subkeys,
                           nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                           nullptr) != ERROR_SUCCESS ||
        subkeys || values) {
      return false;
    }
    return DeleteOpenKey(key.Handle()) == ERROR_SUCCESS;
  }

  void RestoreKey(const JournalEffect& effect) {
    base::win::RegKey key;
    const LONG result = CreateKeyWithoutLinks(effect.key.root, effect.key.path,
                                              effect.key.view | KEY_SET_VALUE,
                                              nullptr, &key, nullptr);
    // A link is refused for good, and said so; no later run does better.
    if (result == kErrorRegistryLink)
      return;
    if (result != ERROR_SUCCESS) {
      LOG(ERROR) << "Cannot restore the registry key " << effect.key.path;
      failed_ = true;
      return;
    }
    for (const journal::RegistryValue& value : effect.values)
      WriteValue(key.Handle(), value.name, value);
  }

  const base::FilePath install_folder_;
  const JournalBounds& bounds_;
  PinnedFolders& files_;
  std::vector<journal::Entry> entries_;
  bool committing_ = false;
  bool failed_ = false;
  size_t restored_bytes_ = 0;
  bool restore_limit_logged_ = false;
};

}  // namespace

int ReplayAbandonedJournals(const base::FilePath& journal_folder,
                            const base::FilePath& install_folder,
                            const JournalBounds& bounds) {
  if (!base::DirectoryExists(journal_folder))
    return 0;
  // The folder is held and checked from its drive's root: through a link,
  // it would hold what other programs wrote.
  PinnedFolders held_journals;
  if (!held_journals.Pin(journal_folder)) {
    LOG(ERROR) << "The transaction journals in " << journal_folder
               << " are not replayed: the folder is not reached as named";
    return 0;
  }
  std::vector<base::FilePath> journals;
  base::FileEnumerator found(
      journal_folder, false, base::FileEnumerator::FILES,
      journal::FileNamePrefix(install_folder) + L"*.journal");
  for (base::FilePath path = found.Next(); !path.empty(); path = found.Next())
    journals.push_back(path);
  int replayed = 0;
  PinnedFolders files(bounds.GetKnownFolders());
  for (const base::FilePath& path : journals) {
    Replay replay(install_folder, bounds, &files);
    if (!replay.Read(path, &held_journals))
      continue;
    LOG(INFO) << "Repairing what an ended installer run left: " << path;
    if (!replay.Run()) {
      LOG(ERROR) << "Keeping " << path << " for a run that can finish it";
      continue;
    }
    ++replayed;
    if (held_journals.DeleteFile(path) != Result::kDone)
      LOG(ERROR) << "Cannot remove the replayed journal " << path;
  }
  return replayed;
}

}  // namespace installer
