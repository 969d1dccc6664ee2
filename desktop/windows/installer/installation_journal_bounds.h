// What an installation at one folder can have made, for the replay of that
// folder's journals: the files strictly inside the folder reached without a
// link or junction out of it, the installation's shortcuts under their
// fixed names in the known shortcut and pin folders (and the Start menu
// folder of the former product's shortcuts), the values the registry
// tables write, the keys they create and the trees they delete.
//
//   InstallationJournalBounds bounds(install_folder);
//   ReplayAbandonedJournals(journal_folder, install_folder, bounds);

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLATION_JOURNAL_BOUNDS_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLATION_JOURNAL_BOUNDS_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/registry_record_check.h"
#include "desktop/windows/installer/service/transactions/journal_effect.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

class InstallationJournalBounds : public JournalBounds {
 public:
  explicit InstallationJournalBounds(const base::FilePath& install_folder);
  InstallationJournalBounds(const InstallationJournalBounds&) = delete;
  InstallationJournalBounds& operator=(const InstallationJournalBounds&) =
      delete;
  ~InstallationJournalBounds() override;

  // JournalBounds:
  bool IsInstallFolder(const base::FilePath& path) const override;
  bool IsInInstallation(const base::FilePath& path) const override;
  bool IsOwnShortcut(const base::FilePath& path) const override;
  bool IsTableValue(const journal::RegistryKey& key,
                    const std::wstring& name) const override;
  bool IsTableKeyOrAncestor(const journal::RegistryKey& key) const override;
  bool IsInDeletedTree(const journal::RegistryKey& key) const override;
  size_t MaxRestoredRegistryBytes() const override;
  std::vector<base::FilePath> GetKnownFolders() const override;

 private:
  const base::FilePath install_folder_;
  // The known folders that hold the installation's shortcuts and pins.
  std::vector<base::FilePath> shortcut_folders_;
  // The Start menu folder named after the company.
  base::FilePath company_start_menu_folder_;
  RowTemplates templates_;
  RegistryRecordCheck check_;
};

// Whether the existing part of |path|, which lies below |folder|, is
// reached from |folder| without a link or junction on the way, |path|
// itself included when it exists.
bool IsReachedWithoutLinks(const base::FilePath& folder,
                           const base::FilePath& path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLATION_JOURNAL_BOUNDS_H_
