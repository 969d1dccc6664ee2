#include "desktop/windows/installer/engine/abandoned_run_repair.h"

#include <string>

#include "base/base_paths.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/registry_record_check.h"
#include "desktop/windows/installer/service/transactions/journal_replay.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

namespace {

// Whether |key| is |base| or lies below it.
bool IsKeyOrBelow(const std::wstring& key, const std::wstring& base) {
  return base::EqualsCaseInsensitiveASCII(key, base) ||
         (key.size() > base.size() && key[base.size()] == L'\\' &&
          base::EqualsCaseInsensitiveASCII(key.substr(0, base.size()), base));
}

// Whether |key| is an ancestor of |descendant| with at least two components.
bool IsDeepAncestor(const std::wstring& key, const std::wstring& descendant) {
  return key.find(L'\\') != std::wstring::npos && IsKeyOrBelow(descendant, key);
}

class InstallationScope : public JournalScope {
 public:
  explicit InstallationScope(const base::FilePath& install_folder)
      : install_folder_(install_folder.StripTrailingSeparators()),
        templates_(install_folder),
        // The records of the former product name its streams so.
        check_(&templates_,
               {L"", L"Next", L"Labs", L"Invalid", L" Next", L" Labs",
                L" Invalid"}) {}

  bool AllowsFile(const base::FilePath& path) const override {
    if (base::FilePath::CompareEqualIgnoreCase(
            path.StripTrailingSeparators().value(), install_folder_.value()) ||
        install_folder_.IsParentIgnoringCase(path)) {
      return true;
    }
    // Shortcuts, and the names they are moved aside under.
    return base::ToLowerASCII(path.BaseName().value()).find(L".lnk") !=
           std::wstring::npos;
  }

  bool AllowsKey(HKEY root,
                 const std::wstring& key,
                 KeyUse use) const override {
    const std::wstring product_key = GetProductRegistryKey();
    if (IsKeyOrBelow(key, product_key))
      return true;
    if (use == KeyUse::kValuesAndTrees)
      return check_.IsKeyOfTables(key);
    return check_.IsKeyOrAncestorOfTables(key) ||
           IsDeepAncestor(key, GetUninstallRegistryKey()) ||
           IsDeepAncestor(key, product_key);
  }

 private:
  const base::FilePath install_folder_;
  RowTemplates templates_;
  RegistryRecordCheck check_;
};

}  // namespace

base::FilePath GetTransactionJournalFolder() {
  base::FilePath folder;
  if (!base::PathService::Get(base::DIR_LOCAL_APP_DATA, &folder))
    return base::FilePath();
  return folder.Append(GetInstallerTempFolderName()).Append(L"Journals");
}

int RepairAbandonedRuns(const base::FilePath& install_folder) {
  const base::FilePath journals = GetTransactionJournalFolder();
  if (install_folder.empty() || !install_folder.IsAbsolute() ||
      journals.empty()) {
    return 0;
  }
  return ReplayAbandonedJournals(journals, install_folder,
                                 InstallationScope(install_folder));
}

}  // namespace installer
