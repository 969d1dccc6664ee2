// What replaying a journal may do to the machine. A journal lies where other
// programs may write it, so its entries are no orders: each becomes one of a
// closed set of effects, and every effect passes MayPerform, the one place
// that decides whether a replay may perform it, before it is performed.
//
//   for (const JournalEffect& effect : UndoEffects(entry)) {
//     if (MayPerform(effect, bounds))
//       Perform(effect);
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_EFFECT_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_EFFECT_H_

#include <optional>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"

namespace installer {

enum class JournalEffectKind {
  // Deletes the file |path| that the run copied.
  kRemoveCopy,
  // Moves the file |path| back to |other|, where the run took it from.
  kMoveBack,
  // Moves |path|, the aside name of |other|, back to |other|.
  kPutBack,
  // Deletes |path|, the aside name of |other|, with all it holds.
  kDeleteAside,
  // Removes the empty folders above the file |path|, below |other|.
  kRemoveEmptyParents,
  // Removes the empty folders from |path| up to, not including, |other|.
  kRemoveCreatedFolders,
  // Sets the value |name| of |key| back to |value|, or removes it when
  // |value| is empty.
  kSetValueBack,
  // Removes the empty keys from |key| up to and including |name|, the top.
  kRemoveCreatedKeys,
  // Creates |key| again with |values|.
  kRestoreDeletedKey,
};

struct JournalEffect {
  JournalEffect();
  JournalEffect(const JournalEffect&);
  JournalEffect& operator=(const JournalEffect&);
  ~JournalEffect();

  JournalEffectKind kind = JournalEffectKind::kRemoveCopy;
  base::FilePath path;
  base::FilePath other;
  journal::RegistryKey key;
  std::wstring name;
  std::optional<journal::RegistryValue> value;
  std::vector<journal::RegistryValue> values;
};

// The effects that undo |entry|, and those that complete a committing run
// (what was moved aside is deleted). Empty for entries that need none.
std::vector<JournalEffect> UndoEffects(const journal::Entry& entry);
std::vector<JournalEffect> CommitEffects(const journal::Entry& entry);

// What an installation at one folder can have made, as the replay of that
// folder's journals asks it. Paths reach the questions only once
// IsPlainPath holds for them.
class JournalBounds {
 public:
  virtual ~JournalBounds() = default;
  virtual bool IsInstallFolder(const base::FilePath& path) const = 0;
  // Strictly below the install folder, reached without a link or junction
  // that leads out of it.
  virtual bool IsInInstallation(const base::FilePath& path) const = 0;
  // One of the installation's shortcuts, or its aside name: the fixed
  // names in the known shortcut and pin folders.
  virtual bool IsOwnShortcut(const base::FilePath& path) const = 0;
  // A value that a row of the registry tables writes or removes.
  virtual bool IsTableValue(const journal::RegistryKey& key,
                            const std::wstring& name) const = 0;
  // The key of a row, or an ancestor of one: keys a run may create.
  virtual bool IsTableKeyOrAncestor(const journal::RegistryKey& key) const = 0;
  // A key of a tree that the clean-up of the tables deletes whole.
  virtual bool IsInDeletedTree(const journal::RegistryKey& key) const = 0;
  // How many bytes of key paths, value names and data a replay may write
  // back into the registry in all: what the tables' keys can hold, however
  // much a journal lists.
  virtual size_t MaxRestoredRegistryBytes() const = 0;
  // The folders the system names (the shortcut folders), taken as it
  // resolves them; below any other folder the replay reaches a file from
  // its drive's root without a link or junction.
  virtual std::vector<base::FilePath> GetKnownFolders() const = 0;
};

// An absolute path written as the installer writes one: a drive or a share,
// no "." or "..", no empty component, no alternate stream, no device name,
// no wildcard, no component that Windows would shorten (trailing dot or
// blank), no "\\?\" or "\\.\" prefix.
bool IsPlainPath(const base::FilePath& path);

// Whether |aside| is a name DeleteFileOperation moves |file| aside under:
// beside it, its name followed by ".SECONDS.old" or ".SECONDS.N.old".
bool IsAsideNameOf(const base::FilePath& aside, const base::FilePath& file);

// Whether a replay on the installation of |bounds| may perform |effect|.
bool MayPerform(const JournalEffect& effect, const JournalBounds& bounds);

// The kind's name, for the log.
const char* JournalEffectName(JournalEffectKind kind);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_JOURNAL_EFFECT_H_
