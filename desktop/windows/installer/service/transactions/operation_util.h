// Helpers shared by the file and registry operations.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_UTIL_H_

#include <windows.h>

#include <aclapi.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"

namespace installer {

class Transaction;

// Writes |entry| to the journal of the transaction that |nested| belongs
// to, before the change it describes.
void JournalChange(Transaction* nested, const journal::Entry& entry);

// The size of that journal, 0 without one: a mark for CutJournalBack.
int64_t JournalSize(Transaction* nested);

// Drops the journal's lines written since it was |mark| long, for a change
// that turned out not to have been made.
void CutJournalBack(Transaction* nested, int64_t mark);

// Registry.

// The marker of a value that is to be removed (as a new type) or that did
// not exist (as an old type).
constexpr DWORD kRemoveValueType = 0xFFFFFFFF;

// The name by which the security functions know a key: "CLASSES_ROOT\",
// "CURRENT_USER\", "MACHINE\" or "USERS\" followed by |key_path|; for any
// other root |key_path| alone.
std::wstring GetRegistryObjectName(HKEY root, const std::wstring& key_path);

// SE_REGISTRY_WOW64_32KEY for keys of the 32-bit view, else SE_REGISTRY_KEY.
SE_OBJECT_TYPE GetRegistryObjectType(REGSAM view_flags);

// |key_path| without its last component. Only "\" separates components:
// "/" is an ordinary character of key names ("text/html"). False for a path
// of one component, which has no parent below the root.
bool GetParentKeyPath(const std::wstring& key_path, std::wstring* parent);

// The last component of |key_path|; false when it has none.
bool GetLastKeyPathComponent(const std::wstring& key_path, std::wstring* name);

// The number of non-empty "\"-separated components of |key_path|.
size_t CountKeyPathComponents(const std::wstring& key_path);

// Files.

// Makes room for a new file at |destination| through |nested|: creates its
// missing parent folder, or moves a file already there aside. False when
// that fails.
bool PrepareDestination(const base::FilePath& destination, Transaction* nested);

// Removes the folders from |folder| up to, not including,
// |existing_ancestor|, deepest first, each only while it is empty. Levels
// that do not exist are passed over: a creation that failed or was killed
// half-way made only the upper ones.
void RemoveCreatedFolders(const base::FilePath& folder,
                          const base::FilePath& existing_ancestor);

// Clears the read-only attribute of |path| when it is set. True when it
// was set and has been cleared; a failure to clear it is logged. With
// |writable|, whether |path| is now known to be writable: its attributes
// were read and it is not, or no longer, read-only.
bool ClearReadOnlyAttribute(const base::FilePath& path,
                            bool* writable = nullptr);

// Sets the read-only attribute of |path| again.
void RestoreReadOnlyAttribute(const base::FilePath& path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_UTIL_H_
