#include "desktop/windows/installer/registry_steps.h"

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
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace installer {

namespace {

constexpr char kUninstallEntryFailure[] =
    "Failed writing uninstallation information";

// The first uninstall entry name under |root| that no key has yet; false
// when every name tried is taken or cannot be looked at.
bool FindFreeUninstallKey(HKEY root, std::wstring* name) {
  for (int suffix = 0; suffix <= kMaxUninstallKeySuffix; ++suffix) {
    *name = UninstallKeyName(suffix ? base::NumberToString16(suffix)
                                    : std::wstring());
    base::win::RegKey key;
    const LONG result =
        key.Open(root, name->c_str(), KEY_READ | KEY_WOW64_32KEY);
    if (result == ERROR_FILE_NOT_FOUND)
      return true;
    if (result != ERROR_SUCCESS) {
      LOG(WARNING) << "Cannot look at " << *name << ": "
                   << logging::SystemErrorCodeToString(result);
    }
  }
  LOG(ERROR) << "No free name for the uninstall entry";
  return false;
}

// Writes |row| under |root|; false when it applies and fails. On failure
// nothing of it stays recorded.
bool WriteRow(Installer* installer, const RegistryRow& row, HKEY root) {
  RegistryEntry entry(row, installer);
  const std::wstring key = entry.ExpandTemplate(row.key);
  const std::wstring name = entry.ExpandTemplate(row.value_name);
  const std::string what =
      name.empty() ? "default value" : "value " + base::WideToUTF8(name);
  std::vector<InstallLog::RegistryKey>* record =
      installer->GetRegistryRecord(root);
  const std::vector<InstallLog::RegistryKey> saved_record =
      record ? *record : std::vector<InstallLog::RegistryKey>();
  std::unique_ptr<Operation> operation;
  const bool converted = entry.CreateOperation(root, &operation);
  if (converted && !operation) {
    LOG(INFO) << "Skipping inapplicable operation: " << what << " to key "
              << key;
    return true;
  }
  LOG(INFO) << "Writing " << what << " to key " << key;
  if (converted && installer->transaction()->Execute(std::move(operation))) {
    return true;
  }
  LOG(WARNING) << "Failed writing " << what << " to key " << key;
  if (record)
    *record = saved_record;
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

void Execute(Installer* installer, std::unique_ptr<Operation> operation) {
  // Clean-up is best effort: the operation logs its own failure.
  installer->transaction()->Execute(std::move(operation));
}

// A 64-bit launcher read the uninstall entry from the process's own view;
// that entry goes too when it belongs to this installation.
void RemoveDefaultViewUninstallKey(Installer* installer,
                                   HKEY root,
                                   const std::wstring& path) {
  base::win::RegKey key;
  std::wstring location;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS ||
      key.ReadValue(L"InstallLocation", &location) != ERROR_SUCCESS ||
      !base::FilePath::CompareEqualIgnoreCase(
          base::FilePath(location).StripTrailingSeparators().value(),
          installer->install_folder().StripTrailingSeparators().value())) {
    return;
  }
  Execute(installer, std::make_unique<DeleteRegKeyOperation>(root, path, 0));
}

void CleanUpKey(Installer* installer,
                HKEY root,
                const InstallLog::RegistryKey& record) {
  const Status& status = installer->status();
  const std::wstring path =
      ExpandProductVariables(status, base::UTF8ToWide(record.key_path));
  const int level = record.clean_level;
  LOG(INFO) << "Cleanup for key " << path << " with depth " << level;
  // The log comes from the install folder, which the user may write.
  if (!IsSafeRegistryKeyRecord(base::WideToUTF8(path), level)) {
    LOG(ERROR) << "Refusing to clean up " << path << " with depth " << level;
    return;
  }
  const bool uninstall_key = base::StartsWith(
      path, GetUninstallRegistryKey(), base::CompareCase::INSENSITIVE_ASCII);
  const REGSAM view = uninstall_key ? KEY_WOW64_32KEY : 0;
  if (uninstall_key && installer->launcher_bitness_known() &&
      installer->launcher_is_64_bit()) {
    RemoveDefaultViewUninstallKey(installer, root, path);
  }
  if (level > 0) {
    Execute(installer, std::make_unique<DeleteRegKeyOperation>(
                           root, RemoveLastComponents(path, level - 1), view));
    return;
  }
  for (const InstallLog::RegistryValue& value : record.values) {
    const std::wstring name =
        ExpandProductVariables(status, base::UTF8ToWide(value.name));
    Execute(installer,
            std::make_unique<ChangeRegValueOperation>(
                root, path, name, nullptr, kRemoveValueType, 0, view));
  }
}

}  // namespace

void StepSetupRegistry(Installer* installer) {
  const Settings& settings = *installer->settings();
  if (settings.GetOption(COPY_ONLY)) {
    installer->ScheduleNextStep();
    return;
  }
  LOG(INFO) << "Setting up the registry";
  const HKEY root = settings.GetOption(ALL_USERS_FLAG) ? HKEY_LOCAL_MACHINE
                                                       : HKEY_CURRENT_USER;
  std::wstring uninstall_key;
  if (!FindFreeUninstallKey(root, &uninstall_key)) {
    installer->NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                           kUninstallEntryFailure);
    return;
  }
  LOG(INFO) << "Uninstall key: " << uninstall_key;
  installer->set_uninstall_key_name(uninstall_key);

  std::vector<const RegistryRow*> rows;
  for (const RegistryRow& row : GetMainRegistryTable())
    rows.push_back(&row);
  if (IsFeatureEnabled(kInstallerHideFromProgramAndFeatures))
    rows.push_back(&GetHideFromProgramsRow());
  installer->set_recording_registry(true);
  for (const RegistryRow* row : rows) {
    if (!WriteRow(installer, *row, root) &&
        std::wstring(row->key) == kUninstallKeyTemplate) {
      installer->set_recording_registry(false);
      installer->NotifyError(IDS_ERROR_INSTALL, std::wstring(),
                             kUninstallEntryFailure);
      return;
    }
  }
  installer->set_recording_registry(false);
  installer->ScheduleNextStep();
}

void StepCleanupRegistry(Installer* installer) {
  LOG(INFO) << "Cleaning up registry";
  const InstallLog& log = installer->status().install_log();
  for (const InstallLog::RegistryKey& record : log.hkcu_keys)
    CleanUpKey(installer, HKEY_CURRENT_USER, record);
  for (const InstallLog::RegistryKey& record : log.hklm_keys)
    CleanUpKey(installer, HKEY_LOCAL_MACHINE, record);
  installer->ScheduleNextStep();
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
