#include "desktop/windows/installer/shell_integration.h"

#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <span>
#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shell_integration_platform.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

const wchar_t* const kBrowserAssociations[] = {
    L"http", L"https",       L"ftp",    L".crx", L".htm",  L".html",
    L".nex", L".kvdownload", L".shtml", L".xht", L".xhtml"};
const size_t kBrowserAssociationCount = std::size(kBrowserAssociations);

namespace {

constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";
constexpr wchar_t kFileExtsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUrlAssociationsKey[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";
constexpr wchar_t kUserChoice[] = L"\\UserChoice";
constexpr wchar_t kOpenCommand[] = L"\\shell\\open\\command";
constexpr wchar_t kStartMenuInternetKey[] =
    L"Software\\Clients\\StartMenuInternet";
constexpr wchar_t kStartMenuInternetQuery[] = L"StartmenuInternet";
constexpr wchar_t kPreviousDefaultBrowser[] = L"Previous Default Browser";

HKEY GetRoot(bool all_users) {
  return all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Writes |rows| under |root| in a transaction of their own: all of them,
// or, when one fails, none.
bool WriteRows(std::span<const RegistryRow> rows,
               TemplateResolver* resolver,
               HKEY root) {
  Transaction transaction;
  for (const RegistryRow& row : rows) {
    std::unique_ptr<Operation> operation;
    bool written =
        RegistryEntry(row, resolver).CreateOperation(root, &operation) &&
        (!operation || transaction.Execute(std::move(operation)));
    if (!written) {
      VLOG(1) << "Registry row " << row.key << " failed; rolling back";
      transaction.Rollback();
      return false;
    }
  }
  return true;
}

base::win::Version GetWindowsVersion() {
  return ShellIntegrationPlatform::GetInstance()->GetWindowsVersion();
}

bool IsExtension(const std::wstring& association) {
  return !association.empty() && association[0] == L'.';
}

// The browser's URL class and StartMenuInternet name: "{Product}{Stream}".
std::wstring GetBrowserClassName() {
  return base::UTF8ToWide(GetProductName() + GetStream());
}

// Reads |value_name| of the class key |subkey| as Windows merges the
// classes of the user and of the machine: the user's key, when there is
// one, hides the machine's. HKEY_CLASSES_ROOT is not asked, because not
// every system merges it (Wine shows only the machine's classes there).
LONG ReadClassesValue(const std::wstring& subkey,
                      const wchar_t* value_name,
                      std::wstring* value) {
  const std::wstring path = kClassesKey + subkey;
  base::win::RegKey key;
  LONG result = key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE);
  if (result == ERROR_FILE_NOT_FOUND)
    result = key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_QUERY_VALUE);
  if (result != ERROR_SUCCESS)
    return result;
  return key.ReadValue(value_name, value);
}

LONG ReadMachineClassesValue(const std::wstring& subkey,
                             const wchar_t* value_name,
                             std::wstring* value) {
  base::win::RegKey key;
  LONG result = key.Open(HKEY_LOCAL_MACHINE, (kClassesKey + subkey).c_str(),
                         KEY_QUERY_VALUE);
  return result == ERROR_SUCCESS ? key.ReadValue(value_name, value) : result;
}

// What the user chose for |association| in Windows' own dialogs: the
// ProgId, or empty when the choice names none. False when the choice cannot
// be read, or there is none on a Windows that then asks the user instead of
// using the registered class.
bool ReadUserChoice(const std::wstring& association, std::wstring* prog_id) {
  prog_id->clear();
  const std::wstring path =
      (IsExtension(association) ? kFileExtsKey : kUrlAssociationsKey) +
      association + kUserChoice;
  base::win::RegKey key;
  LONG result = key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ);
  if (result == ERROR_FILE_NOT_FOUND) {
    // Windows 7 opens what the class says when the user never chose; later
    // Windows ask the user, so no handler is known.
    return GetWindowsVersion() < base::win::VERSION_WIN8;
  }
  if (result != ERROR_SUCCESS)
    return false;
  result = key.ReadValue(L"ProgId", prog_id);
  if (result == ERROR_FILE_NOT_FOUND)
    prog_id->clear();
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

// The StartMenuInternet client of the user, or of the machine when the
// user's key names none.
bool ReadStartMenuInternetClient(std::wstring* client) {
  base::win::RegKey user_key;
  if (user_key.Open(HKEY_CURRENT_USER, kStartMenuInternetKey,
                    KEY_QUERY_VALUE) != ERROR_SUCCESS) {
    return false;
  }
  LONG result = user_key.ReadValue(nullptr, client);
  if (result == ERROR_SUCCESS)
    return true;
  if (result != ERROR_FILE_NOT_FOUND)
    return false;
  base::win::RegKey machine_key;
  return machine_key.Open(HKEY_LOCAL_MACHINE, kStartMenuInternetKey,
                          KEY_QUERY_VALUE) == ERROR_SUCCESS &&
         machine_key.ReadValue(nullptr, client) == ERROR_SUCCESS;
}

Microsoft::WRL::ComPtr<IApplicationAssociationRegistration>
CreateAssociationRegistration() {
  Microsoft::WRL::ComPtr<IApplicationAssociationRegistration> registration;
  HRESULT result = ::CoCreateInstance(
      CLSID_ApplicationAssociationRegistration, nullptr, CLSCTX_INPROC_SERVER,
      IID_PPV_ARGS(registration.GetAddressOf()));
  if (FAILED(result)) {
    VLOG(1) << "No application association registration: 0x" << std::hex
            << result;
    registration.Reset();
  }
  return registration;
}

// Has Windows' default programs make the browser the handler of |query|.
bool SetAppAsDefault(Installation* installation,
                     const wchar_t* query,
                     ASSOCIATIONTYPE type) {
  auto registration = CreateAssociationRegistration();
  if (!registration)
    return false;
  HRESULT result = registration->SetAppAsDefault(
      installation->registered_app_name().c_str(), query, type);
  if (FAILED(result))
    VLOG(1) << "SetAppAsDefault of " << query << " failed: 0x" << std::hex
            << result;
  return SUCCEEDED(result);
}

}  // namespace

bool GetAssociationCommand(const std::wstring& association,
                           bool machine_wide,
                           std::wstring* command) {
  std::wstring class_name;
  if (GetWindowsVersion() >= base::win::VERSION_VISTA && !machine_wide &&
      !ReadUserChoice(association, &class_name)) {
    return false;
  }
  if (class_name.empty()) {
    if (!IsExtension(association)) {
      class_name = association;
    } else {
      LONG result =
          machine_wide
              ? ReadMachineClassesValue(association, nullptr, &class_name)
              : ReadClassesValue(association, nullptr, &class_name);
      if (result != ERROR_SUCCESS || class_name.empty())
        return false;
    }
  }
  const std::wstring command_key = class_name + kOpenCommand;
  LONG result = machine_wide
                    ? ReadMachineClassesValue(command_key, nullptr, command)
                    : ReadClassesValue(command_key, nullptr, command);
  return result == ERROR_SUCCESS;
}

bool IsOurAssociation(Installation* installation,
                      std::wstring association,
                      bool use_product_exe) {
  // Without a folder the match would be on the file name alone: any
  // program called so, anywhere, would count as ours.
  if (installation->folder().empty())
    return false;
  std::wstring command;
  if (!GetAssociationCommand(association, false, &command))
    return false;
  const std::string exe_name =
      use_product_exe ? GetProductExeName() : kLauncherExeName;
  const base::FilePath expected = installation->folder().AppendASCII(exe_name);
  return base::ToLowerASCII(command).find(
             base::ToLowerASCII(expected.value())) != std::wstring::npos;
}

bool IsDefaultBrowser(Installation* installation) {
  bool ours = IsOurAssociation(installation, L"http", false) &&
              IsOurAssociation(installation, L"https", false);
  if (GetWindowsVersion() >= base::win::VERSION_WIN8)
    return ours;
  return ours && IsDefaultStartMenuInternet(installation);
}

bool IsDefaultStartMenuInternet(Installation* installation) {
  installation->LoadInstallLog();
  if (GetWindowsVersion() >= base::win::VERSION_VISTA &&
      installation->install_log().all_users) {
    auto registration = CreateAssociationRegistration();
    BOOL is_default = FALSE;
    return registration &&
           SUCCEEDED(registration->QueryAppIsDefault(
               kStartMenuInternetQuery, AT_STARTMENUCLIENT, AL_EFFECTIVE,
               installation->registered_app_name().c_str(), &is_default)) &&
           is_default;
  }
  std::wstring client;
  return ReadStartMenuInternetClient(&client) &&
         client == GetBrowserClassName();
}

bool SavePreviousDefaultBrowser(Installation* installation, bool all_users) {
  if (IsOurAssociation(installation, L"http", false))
    return true;
  std::wstring command;
  if (!GetAssociationCommand(L"http", all_users, &command))
    return false;
  return StorePreviousDefaultBrowser(command, all_users);
}

bool StorePreviousDefaultBrowser(const std::wstring& command, bool all_users) {
  base::win::RegKey key;
  LONG result = key.Create(all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                           GetProductRegistryKey().c_str(), KEY_SET_VALUE);
  if (result == ERROR_SUCCESS)
    result = key.WriteValue(kPreviousDefaultBrowser, command.c_str());
  if (result != ERROR_SUCCESS)
    VLOG(1) << "Previous default browser not stored: " << result;
  return result == ERROR_SUCCESS;
}

bool SetAsDefaultBrowser(Installation* installation, bool all_users) {
  // A single-profile copy is a portable one: it must not take over the
  // links of the user, who may run it from a removable drive.
  if (installation->IsSingleProfile())
    return false;
  if (RegisterAssociations(installation, all_users)) {
    SetAsDefaultFor(installation, L"http", all_users);
    if (GetWindowsVersion() < base::win::VERSION_WIN8) {
      for (size_t i = 1; i < kBrowserAssociationCount; ++i)
        SetAsDefaultFor(installation, kBrowserAssociations[i], all_users);
      RegisterStartMenuInternet(installation, all_users);
    }
  }
  return IsDefaultBrowser(installation);
}

bool RegisterAssociations(Installation* installation, bool all_users) {
  RowTemplates templates(installation->folder());
  return WriteRows(GetUrlClassRows(), &templates, GetRoot(all_users));
}

bool SetAsDefaultFor(Installation* installation,
                     std::wstring association,
                     bool all_users) {
  installation->LoadInstallLog();
  const base::win::Version version = GetWindowsVersion();
  ShellIntegrationPlatform* platform = ShellIntegrationPlatform::GetInstance();
  if (version >= base::win::VERSION_WIN10) {
    // Only the user can choose, in the Settings app.
    if (all_users || IsOurAssociation(installation, association, false))
      return false;
    return platform->OpenDefaultAppsSettings(
        GetDefaultAppsSettingsTarget(association));
  }
  bool skip_user_choice = version < base::win::VERSION_VISTA;
  if (version >= base::win::VERSION_WIN8) {
    if (all_users)
      return false;
    skip_user_choice = true;
    if (!IsOurAssociation(installation, association, false) &&
        !platform->ShowOpenWithDialog(association)) {
      return false;
    }
  } else if (version >= base::win::VERSION_VISTA && !all_users &&
             installation->install_log().all_users) {
    if (!SetAppAsDefault(
            installation, association.c_str(),
            IsExtension(association) ? AT_FILEEXTENSION : AT_URLPROTOCOL)) {
      return false;
    }
    skip_user_choice = true;
  }
  RowTemplates templates(installation->folder());
  templates.set_association(association);
  std::span<const RegistryRow> rows =
      IsExtension(association) ? GetFileTypeRows() : GetProtocolRows();
  // The last row drops the user's own choice.
  if (skip_user_choice)
    rows = rows.first(rows.size() - 1);
  return WriteRows(rows, &templates, GetRoot(all_users));
}

bool RegisterStartMenuInternet(Installation* installation, bool all_users) {
  const base::win::Version version = GetWindowsVersion();
  if (version >= base::win::VERSION_WIN8 && all_users)
    return false;
  installation->LoadInstallLog();
  if (version >= base::win::VERSION_VISTA &&
      version < base::win::VERSION_WIN8 && !all_users &&
      installation->install_log().all_users &&
      !SetAppAsDefault(installation, kStartMenuInternetQuery,
                       AT_STARTMENUCLIENT)) {
    return false;
  }
  RowTemplates templates(installation->folder());
  return WriteRows(GetStartMenuInternetRows(), &templates, GetRoot(all_users));
}

std::wstring GetDefaultAppsSettingsTarget(const std::wstring& association) {
  if (base::EqualsCaseInsensitiveASCII(association, L"http"))
    return L"SystemSettings_DefaultApps_Browser";
  if (base::EqualsCaseInsensitiveASCII(association, L"mailto"))
    return L"SystemSettings_DefaultApps_Email";
  return L"SettingsPageAppsDefaultsProtocolView";
}

bool NeedsElevation(bool all_users, bool install_folder_writable) {
  if (IsUserAdmin(false))
    return false;
  return all_users || !install_folder_writable;
}

Installation* GetCurrentInstallation() {
  return Installation::GetCurrent();
}

}  // namespace installer
