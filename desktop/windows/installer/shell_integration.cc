#include "desktop/windows/installer/shell_integration.h"

#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <iterator>
#include <memory>
#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/registry_entry.h"
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

// The open commands of the browser's class and of a protocol.
constexpr wchar_t kClassOpenCommand[] =
    L"\"{InstallFolder}\\Launcher.exe\" -noautoupdate -- \"%1\"";
constexpr wchar_t kProtocolOpenCommand[] =
    L"\"{InstallFolder}\\launcher.exe\" -noautoupdate -- \"%1\"";
constexpr wchar_t kIcon[] = L"{InstallFolder}\\Launcher.exe,0";

constexpr int32_t kAnyWindows = base::win::VERSION_XP;
constexpr int32_t kVistaOrLater = base::win::VERSION_VISTA;

// The rows below: key, value name (null: the default value), type, data,
// minimum Windows, root (null: any), minimum channel, clean level, view.
// clang-format off

// The browser's URL class.
const RegistryRow kClassRows[] = {
    {L"Software\\Classes\\{Product}{Stream}", L"FriendlyTypeName",
     REG_SZ, {.text = L"{Product} Web Document"}, kAnyWindows, nullptr, 0, 1, 0},
    {L"Software\\Classes\\{Product}{Stream}", L"URL Protocol",
     REG_SZ, {.text = L""}, kAnyWindows, nullptr, 0, 1, 0},
    {L"Software\\Classes\\{Product}{Stream}\\DefaultIcon", nullptr,
     REG_SZ, {.text = kIcon}, kAnyWindows, nullptr, 0, 1, 0},
    {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\command", nullptr,
     REG_SZ, {.text = kClassOpenCommand}, kAnyWindows, nullptr, 0, 2, 0},
    {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec", nullptr,
     kRegistryRowDeleteKey, {.number = 0}, kAnyWindows, HKEY_LOCAL_MACHINE,
     0, 0, 0},
    {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec", nullptr,
     REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 2, 0},
    {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec\\Application",
     nullptr, REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 1, 0},
    {L"Software\\Classes\\{Product}{Stream}\\shell\\open\\ddeexec\\Topic",
     nullptr, REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 1, 0},
};

// A protocol handled by the browser. The last row drops the user's own
// choice, which would hide the class from Windows Vista on.
const RegistryRow kProtocolRows[] = {
    {L"Software\\Classes\\{Protocol}", L"EditFlags",
     REG_DWORD, {.number = 2}, kAnyWindows, nullptr, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}", L"URL Protocol",
     REG_SZ, {.text = L""}, kAnyWindows, nullptr, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\DefaultIcon", nullptr,
     REG_SZ, {.text = kIcon}, kAnyWindows, nullptr, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\command", nullptr,
     REG_SZ, {.text = kProtocolOpenCommand}, kAnyWindows, nullptr, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec", nullptr,
     kRegistryRowDeleteKey, {.number = 0}, kAnyWindows, HKEY_LOCAL_MACHINE,
     0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec", nullptr,
     REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec\\Application",
     nullptr, REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec\\Topic", nullptr,
     REG_SZ, {.text = L""}, kAnyWindows, HKEY_CURRENT_USER, 0, 0, 0},
    {L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\"
     L"{Protocol}\\UserChoice", L"Progid",
     kRegistryRowRemoveValue, {.number = 0}, kVistaOrLater, HKEY_CURRENT_USER,
     0, 0, 0},
};

// A file type opened by the browser; the last row as for protocols.
const RegistryRow kExtensionRows[] = {
    {L"Software\\Classes\\{Extension}", nullptr,
     REG_SZ, {.text = L"{Product}{Stream}"}, kAnyWindows, nullptr, 0, 0, 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\"
     L"{Extension}\\UserChoice", L"Progid",
     kRegistryRowRemoveValue, {.number = 0}, kVistaOrLater, HKEY_CURRENT_USER,
     0, 0, 0},
};

const RegistryRow kStartMenuInternetRows[] = {
    {L"Software\\Clients\\StartMenuInternet", nullptr,
     REG_SZ, {.text = L"{Product}{Stream}"}, kAnyWindows, nullptr, 0, 0, 0},
};

// clang-format on

// The placeholders of these tables. Nothing they write is recorded in an
// install log.
class TemplateVariables : public TemplateResolver {
 public:
  TemplateVariables(const std::wstring& association,
                    const base::FilePath& install_folder)
      : association_(association), install_folder_(install_folder.value()) {}
  TemplateVariables(const TemplateVariables&) = delete;
  TemplateVariables& operator=(const TemplateVariables&) = delete;
  ~TemplateVariables() override = default;

  // TemplateResolver:
  std::wstring Lookup(const std::wstring& name) const override {
    if (name == L"InstallFolder")
      return install_folder_;
    if (name == L"Stream")
      return base::UTF8ToWide(GetStream());
    if (name == L"Product")
      return base::UTF8ToWide(GetProductName());
    if (name == L"Extension" || name == L"Protocol")
      return association_;
    return name;
  }
  std::vector<InstallLog::RegistryKey>* GetRegistryRecord(HKEY root) override {
    return nullptr;
  }

 private:
  const std::wstring association_;
  const std::wstring install_folder_;
};

HKEY GetRoot(bool all_users) {
  return all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Writes |count| rows of |rows| under |root| in a transaction of their own:
// all of them, or, when one fails, none.
bool WriteRows(const RegistryRow* rows,
               size_t count,
               TemplateResolver* resolver,
               HKEY root) {
  Transaction transaction;
  for (size_t i = 0; i < count; ++i) {
    std::unique_ptr<Operation> operation;
    bool written =
        RegistryEntry(rows[i], resolver).CreateOperation(root, &operation) &&
        (!operation || transaction.Execute(std::move(operation)));
    if (!written) {
      VLOG(1) << "Registry row " << rows[i].key << " failed; rolling back";
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
  TemplateVariables variables(std::wstring(), installation->folder());
  return WriteRows(kClassRows, std::size(kClassRows), &variables,
                   GetRoot(all_users));
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
  TemplateVariables variables(association, installation->folder());
  const bool extension = IsExtension(association);
  const RegistryRow* rows = extension ? kExtensionRows : kProtocolRows;
  size_t count =
      extension ? std::size(kExtensionRows) : std::size(kProtocolRows);
  if (skip_user_choice)
    --count;
  return WriteRows(rows, count, &variables, GetRoot(all_users));
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
  TemplateVariables variables(std::wstring(), installation->folder());
  return WriteRows(kStartMenuInternetRows, std::size(kStartMenuInternetRows),
                   &variables, GetRoot(all_users));
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
