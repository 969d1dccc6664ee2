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

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"

namespace installer {

namespace journal {

extern const char kHeader[];
extern const char kCopied[];
extern const char kMoved[];
extern const char kMovedAside[];
extern const char kFolder[];
extern const char kValue[];
extern const char kKey[];
extern const char kDeletedKey[];
extern const char kCommit[];
extern const char kAbsent[];

// One line, with its "\n".
std::string EncodeLine(const std::vector<std::wstring>& fields);
// The fields of a line without its "\n"; false when an escape is broken.
bool DecodeLine(std::string_view line, std::vector<std::wstring>* fields);

// "HKLM", "HKCU" or empty for other roots; and back, null when unknown.
std::wstring RootName(HKEY root);
HKEY RootFromName(const std::wstring& name);

std::wstring HexEncode(const void* data, size_t size);
bool HexDecode(const std::wstring& text, std::vector<BYTE>* data);

// The file name prefix of the journals of runs on |install_folder|; a
// journal's name is the prefix, its process id and ".journal".
std::wstring FileNamePrefix(const base::FilePath& install_folder);

}  // namespace journal

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_RECORD_H_
