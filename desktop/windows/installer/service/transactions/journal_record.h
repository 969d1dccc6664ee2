// The lines of a transaction journal: what a run has begun to change, so
// that a later run can undo it when the process was killed before its
// transaction ended (see TransactionJournal and ReplayAbandonedJournals).
//
// A journal is a UTF-8 text file of lines ended by "\n", each a list of
// fields separated by tabs, in which "%", tab, CR and LF are written as
// "%25", "%09", "%0D" and "%0A". The first line is the header
//   kelvo-transaction-journal 1 <pid> <process creation time> <folder>
// (the process that writes it, its creation time as a FILETIME count, and
// the install folder of its run); every further line is one change, written
// before the change is made:
//   copied <file>                         a new file
//   moved <from> <to>                     a file moved
//   moved-aside <file> <aside> <stop>     a file moved aside to be deleted
//                                         at commit, with its empty parents
//                                         up to <stop> when not empty
//   folder <folder> <existing ancestor>   folders created below the ancestor
//   value <root> <view> <key> <name> <old type|absent> <old data, hex>
//   key <root> <view> <top> <key>         keys created from <top> down to
//                                         <key>
//   deleted-key <root> <view> <key> (<name> <type> <data, hex>)...
//                                         one key of a deleted tree, saved
//                                         before the tree goes, parents
//                                         first
//   commit                                the transaction is being made
//                                         final: what remains is to delete
//                                         what was moved aside
// <root> is HKLM or HKCU, <view> the registry view flags in decimal.
//
// Operations write and the replay reads these lines only as the typed
// entries below, so that the format lives here alone.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_

#include <stdint.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

namespace journal {

extern const char kHeader[];
extern const char kCommit[];

// The first line: who writes the journal, for which install folder.
struct Header {
  uint32_t pid = 0;
  // The writer's creation time as a FILETIME count: a later process that
  // reuses the id is not the writer.
  uint64_t creation_time = 0;
  base::FilePath install_folder;
};

// A key of a registry view.
struct RegistryKey {
  HKEY root = nullptr;
  REGSAM view = 0;
  std::wstring path;
};

struct RegistryValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// "copied": a new file; gone again when undone.
struct CopiedFile {
  base::FilePath file;
};

// "moved": |from| moved to |to|; moved back when undone.
struct MovedFile {
  base::FilePath from;
  base::FilePath to;
};

// "moved-aside": |file| moved to |aside| to be deleted at the commit, with
// its empty parents below |stop| when that is not empty.
struct MovedAside {
  base::FilePath file;
  base::FilePath aside;
  base::FilePath stop;
};

// "folder": the folders from |folder| up to, not including,
// |existing_ancestor| created.
struct CreatedFolders {
  base::FilePath folder;
  base::FilePath existing_ancestor;
};

// "value": a value set or removed; |old_value| is what it held before, or
// nothing when it did not exist.
struct ChangedValue {
  RegistryKey key;
  std::wstring name;
  std::optional<RegistryValue> old_value;
};

// "key": the keys from |top| down to |key| created.
struct CreatedKeys {
  RegistryKey key;
  std::wstring top;
};

// "deleted-key": one key of a deleted tree with its values.
struct DeletedKey {
  RegistryKey key;
  std::vector<RegistryValue> values;
};

// "commit": what remains is to delete what was moved aside.
struct CommitMarker {};

using Entry = std::variant<CopiedFile,
                           MovedFile,
                           MovedAside,
                           CreatedFolders,
                           ChangedValue,
                           CreatedKeys,
                           DeletedKey,
                           CommitMarker>;

// One line each, with its "\n".
std::string EncodeHeader(const Header& header);
std::string EncodeEntry(const Entry& entry);

// A line without its "\n". False for another format or a broken line; an
// entry line also fails for an unknown kind or a missing or malformed
// field, and for a root other than HKLM and HKCU or a view that is none.
bool ParseHeader(std::string_view line, Header* header);
bool ParseEntry(std::string_view line, Entry* entry);

// The fields of lines, with the escapes of the format.
std::string EncodeLine(const std::vector<std::wstring>& fields);
bool DecodeLine(std::string_view line, std::vector<std::wstring>* fields);

// The file name prefix of the journals of runs on |install_folder|; a
// journal's name is the prefix, its process id, "." and a name of its own
// when it is not the run's main journal, and ".journal".
std::wstring FileNamePrefix(const base::FilePath& install_folder);

}  // namespace journal

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_
