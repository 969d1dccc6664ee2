#include "desktop/windows/installer/steps/registry_steps.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/features/feature_registry.h"
#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/install_log_checks.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_record_check.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr char kUninstallEntryFailure[] =
    "Failed writing uninstallation information";

// The first uninstall entry name under |root| that no key has yet, or the
// name of an entry of this version that already points at |folder| (a
// folder is registered once); false when every name tried is taken or
// cannot be looked at.
bool FindFreeUninstallKey(HKEY root,
                          const base::FilePath& folder,
                          std::wstring* name) {
  for (int suffix = 0; suffix <= kMaxUninstallKeySuffix; ++suffix) {
    *name = UninstallKeyName(suffix ? base::NumberToString16(suffix)
                                    : std::wstring());
    base::win::RegKey key;
    const LONG result =
        key.Open(root, name->c_str(), KEY_READ | KEY_WOW64_32KEY);
    if (result == ERROR_FILE_NOT_FOUND)
      return true;
    std::wstring location;
    if (result == ERROR_SUCCESS &&
        key.ReadValue(L"InstallLocation", &location) == ERROR_SUCCESS &&
        base::FilePath::CompareEqualIgnoreCase(
            base::FilePath(location).StripTrailingSeparators().value(),
            folder.StripTrailingSeparators().value())) {
      LOG(WARNING) << "Taking over the uninstall entry " << *name
                   << ", which already points at " << folder;
      return true;
    }
    if (result != ERROR_SUCCESS) {
      LOG(WARNING) << "Cannot look at " << *name << ": "
                   << logging::SystemErrorCodeToString(result);
    }
  }
  LOG(ERROR) << "No free name for the uninstall entry";
  return false;
}

// Writes |row| under |root|; false when it applies and fails. A value whose
// write fails stays recorded: the record names what the installation may
// have left behind (an earlier install's value, or part of a key tree), so
// that a later clean-up removes it all the same.
bool WriteRow(InstallRun* run, const RegistryRow& row, HKEY root) {
  RegistryEntry entry(row, run->templates());
  const std::wstring key = entry.ExpandTemplate(row.key);
  const std::wstring name = entry.ExpandTemplate(row.value_name);
  const std::string what =
      name.empty() ? "default value" : "value " + base::WideToUTF8(name);
  std::unique_ptr<Operation> operation;
  const bool converted = entry.CreateOperation(root, &operation);
  if (converted && !operation) {
    LOG(INFO) << "Skipping inapplicable operation: " << what << " to key "
              << key;
    return true;
  }
  LOG(INFO) << "Writing " << what << " to key " << key;
  if (converted && run->transaction()->Execute(std::move(operation))) {
    return true;
  }
  LOG(WARNING) << "Failed writing " << what << " to key " << key;
  return false;
}

// |path| without its last |count| components; empty when none would stay.
std::wstring RemoveLastComponents(const std::wstring& path, int count) {
  std::vector<std::wstring> parts = base::SplitString(
      path, L"\\", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
  if (count >= static_cast<int>(parts.size()))
    return std::wstring();
  parts.resize(parts.size() - count);
  std::wstring result;
  for (const std::wstring& part : parts)
    result += (result.empty() ? L"" : L"\\") + part;
  return result;
}

void Execute(InstallRun* run, std::unique_ptr<Operation> operation) {
  // Clean-up is best effort: the operation logs its own failure.
  run->transaction()->Execute(std::move(operation));
}

// A 64-bit launcher read the uninstall entry from the process's own view;
// that entry goes too when it belongs to this installation.
void RemoveDefaultViewUninstallKey(InstallRun* run,
                                   HKEY root,
                                   const std::wstring& path) {
  base::win::RegKey key;
  std::wstring location;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS ||
      key.ReadValue(L"InstallLocation", &location) != ERROR_SUCCESS ||
      !base::FilePath::CompareEqualIgnoreCase(
          base::FilePath(location).StripTrailingSeparators().value(),
          run->install_folder().StripTrailingSeparators().value())) {
    return;
  }
  Execute(run, std::make_unique<DeleteRegKeyOperation>(root, path, 0));
}

bool IsEmptyKey(HKEY root, const std::wstring& path, REGSAM view) {
  base::win::RegKey key;
  DWORD subkeys = 0;
  DWORD values = 0;
  return key.Open(root, path.c_str(), KEY_QUERY_VALUE | view) ==
             ERROR_SUCCESS &&
         ::RegQueryInfoKeyW(key.Handle(), nullptr, nullptr, nullptr, &subkeys,
                            nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

// The browser's own file type keeps nothing of other programs: once its
// keys are empty they go, up to the file type's class key. Keys that
// others share stay, empty or not.
void RemoveOwnKeysLeftEmpty(InstallRun* run,
                            HKEY root,
                            const std::wstring& path,
                            REGSAM view) {
  const std::wstring top = kOwnFileTypeKey;
  if (!base::EqualsCaseInsensitiveASCII(path, top) &&
      !base::StartsWith(path, top + L"\\",
                        base::CompareCase::INSENSITIVE_ASCII)) {
    return;
  }
  for (std::wstring key = path;
       key.size() >= top.size() && IsEmptyKey(root, key, view);
       key.erase(key.rfind(L'\\'))) {
    Execute(run, std::make_unique<DeleteRegKeyOperation>(root, key, view));
  }
}

// The texts the former product's records have for "{Stream}", which
// ExpandProductVariables fills in.
std::vector<std::wstring> OldStreamNames(const Status& status) {
  if (!status.tavrel_installation())
    return {};
  const std::wstring stream = ExpandProductVariables(status, L"{Product}");
  return {stream, L" " + stream};
}

void CleanUpKey(InstallRun* run,
                HKEY root,
                const InstallLog::RegistryKey& record) {
  const Status& status = run->status();
  const std::wstring path =
      ExpandProductVariables(status, base::UTF8ToWide(record.key_path));
  const int level = record.clean_level;
  LOG(INFO) << "Cleanup for key " << path << " with depth " << level;
  // The log comes from the install folder, which the user may write.
  if (!IsSafeRegistryKeyRecord(base::WideToUTF8(path), level)) {
    LOG(ERROR) << "Refusing to clean up " << path << " with depth " << level;
    return;
  }
  std::vector<std::wstring> value_names;
  for (const InstallLog::RegistryValue& value : record.values) {
    value_names.push_back(
        ExpandProductVariables(status, base::UTF8ToWide(value.name)));
  }
  if (!RegistryRecordCheck(run->templates(), OldStreamNames(status))
           .FilterRecord(path, level, &value_names)) {
    LOG(ERROR) << "Refusing to clean up " << path << " with depth " << level
               << ": the installer does not write such a key";
    return;
  }
  const bool uninstall_key = base::StartsWith(
      path, GetUninstallRegistryKey(), base::CompareCase::INSENSITIVE_ASCII);
  const REGSAM view = uninstall_key ? KEY_WOW64_32KEY : 0;
  if (uninstall_key && run->launcher_bitness_known() &&
      run->launcher_is_64_bit()) {
    RemoveDefaultViewUninstallKey(run, root, path);
  }
  if (level > 0) {
    Execute(run, std::make_unique<DeleteRegKeyOperation>(
                     root, RemoveLastComponents(path, level - 1), view));
    return;
  }
  for (const std::wstring& name : value_names) {
    Execute(run, std::make_unique<ChangeRegValueOperation>(
                     root, path, name, nullptr, kRemoveValueType, 0, view));
  }
  RemoveOwnKeysLeftEmpty(run, root, path, view);
}

}  // namespace

StepResult StepSetupRegistry(InstallRun* run) {
  const Settings& settings = *run->settings();
  if (settings.GetOption(COPY_ONLY)) {
    return StepResult::Next();
  }
  LOG(INFO) << "Setting up the registry";
  const HKEY root = settings.GetOption(ALL_USERS_FLAG) ? HKEY_LOCAL_MACHINE
                                                       : HKEY_CURRENT_USER;
  std::wstring uninstall_key;
  if (!FindFreeUninstallKey(root, run->install_folder(), &uninstall_key)) {
    return StepResult::Error(IDS_ERROR_INSTALL, std::wstring(),
                             kUninstallEntryFailure);
  }
  LOG(INFO) << "Uninstall key: " << uninstall_key;
  run->templates()->set_uninstall_key_name(uninstall_key);

  std::vector<const RegistryRow*> rows;
  for (const RegistryRow& row : GetMainRegistryTable())
    rows.push_back(&row);
  if (IsFeatureEnabled(kInstallerHideFromProgramAndFeatures))
    rows.push_back(&GetHideFromProgramsRow());
  run->templates()->set_record(run->install_log());
  for (const RegistryRow* row : rows) {
    if (!WriteRow(run, *row, root) &&
        std::wstring(row->key) == kUninstallKeyTemplate) {
      run->templates()->set_record(nullptr);
      return StepResult::Error(IDS_ERROR_INSTALL, std::wstring(),
                               kUninstallEntryFailure);
    }
  }
  run->templates()->set_record(nullptr);
  return StepResult::Next();
}

StepResult StepCleanupRegistry(InstallRun* run) {
  LOG(INFO) << "Cleaning up registry";
  const InstallLog& log = run->status().install_log();
  for (const InstallLog::RegistryKey& record : log.hkcu_keys)
    CleanUpKey(run, HKEY_CURRENT_USER, record);
  for (const InstallLog::RegistryKey& record : log.hklm_keys)
    CleanUpKey(run, HKEY_LOCAL_MACHINE, record);
  return StepResult::Next();
}

std::wstring ExpandProductVariables(const Status& status,
                                    const std::wstring& text) {
  if (!status.tavrel_installation())
    return text;
  std::wstring stream;
  switch (status.old_product_type()) {
    case 0:
      break;
    case 1:
      stream = L"Next";
      break;
    case 2:
      stream = L"Labs";
      break;
    default:
      stream = L"Invalid";
      break;
  }
  std::wstring result = text;
  base::ReplaceSubstringsAfterOffset(&result, 0, L"{SPProduct}", L" " + stream);
  base::ReplaceSubstringsAfterOffset(&result, 0, L"{Product}", stream);
  return result;
}

std::wstring UninstallKeyName(const std::wstring& suffix) {
  return GetUninstallRegistryKey() + L"\\" +
         base::ASCIIToWide(GetBrandingProductName()) + L" " +
         base::ASCIIToWide(GetProductVersion()) + suffix;
}

}  // namespace installer
