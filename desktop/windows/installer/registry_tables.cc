#include "desktop/windows/installer/registry_tables.h"

#include <windows.h>

#include <iterator>
#include <vector>

#include "base/win/windows_version.h"

namespace installer {

#define OWN_FILE_TYPE_KEY L"Software\\Classes\\.kvdownload"

const wchar_t kUninstallKeyTemplate[] = L"{Uninstall}";
const wchar_t kOwnFileTypeKey[] = OWN_FILE_TYPE_KEY;

namespace {

// Short names for the columns of the tables below.
constexpr int32_t kXP = base::win::VERSION_XP;
constexpr int32_t kVista = base::win::VERSION_VISTA;
constexpr HKEY kAny = nullptr;
const HKEY kHKLM = HKEY_LOCAL_MACHINE;
const HKEY kHKCU = HKEY_CURRENT_USER;
constexpr uint32_t k32 = KEY_WOW64_32KEY;

#define CLASS_KEY L"Software\\Classes\\{Product}{Stream}"
#define CLIENT_KEY L"Software\\Clients\\StartMenuInternet\\{Product}{Stream}"
#define LAUNCHER L"{InstallFolder}\\Launcher.exe"
#define QUOTED_LAUNCHER L"\"{InstallFolder}\\Launcher.exe\""
#define PROTOCOL_OPEN_COMMAND \
  L"\"{InstallFolder}\\launcher.exe\" -noautoupdate -- \"%1\""

// Columns: key, value name (null: the default value), type, data, first
// Windows version, root (kAny: either), first release channel, clean level,
// registry view (0: the process's own).
// clang-format off
// The browser's URL class.
const RegistryRow kUrlClassRows[] = {
    {CLASS_KEY, L"FriendlyTypeName",
     REG_SZ, {.text = L"{Product} Web Document"}, kXP, kAny, 0, 1, 0},
    {CLASS_KEY, L"URL Protocol",
     REG_SZ, {.text = L""}, kXP, kAny, 0, 1, 0},
    {CLASS_KEY L"\\DefaultIcon", nullptr,
     REG_SZ, {.text = LAUNCHER L",0"}, kXP, kAny, 0, 1, 0},
    {CLASS_KEY L"\\shell\\open\\command", nullptr,
     REG_SZ, {.text = QUOTED_LAUNCHER L" -noautoupdate -- \"%1\""},
     kXP, kAny, 0, 2, 0},
    {CLASS_KEY L"\\shell\\open\\ddeexec", nullptr,
     kRegistryRowDeleteKey, {}, kXP, kHKLM, 0, 0, 0},
    {CLASS_KEY L"\\shell\\open\\ddeexec", nullptr,
     REG_SZ, {.text = L""}, kXP, kHKCU, 0, 2, 0},
    {CLASS_KEY L"\\shell\\open\\ddeexec\\Application", nullptr,
     REG_SZ, {.text = L""}, kXP, kHKCU, 0, 1, 0},
    {CLASS_KEY L"\\shell\\open\\ddeexec\\Topic", nullptr,
     REG_SZ, {.text = L""}, kXP, kHKCU, 0, 1, 0},
};

// The rest of what an install writes, after the URL class.
const RegistryRow kMainTableAfterUrlClass[] = {
    {L"Software\\Classes\\.zex", nullptr,
     REG_SZ, {.text = L"{Product}{Stream}.Extension"}, kXP, kAny, 0, 1, 0},
    {L"Software\\Classes\\.zex\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 1, 0},
    {OWN_FILE_TYPE_KEY L"\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.htm\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.html\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.pdf\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.shtml\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.xht\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\.xhtml\\OpenWithProgIDs", L"{Product}{Stream}",
     REG_NONE, {}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\Applications\\{Executable}\\shell\\open\\command",
     nullptr,
     REG_SZ, {.text = QUOTED_LAUNCHER L" \"%1\""}, kXP, kAny, 4, 4, 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\{Executable}",
     nullptr,
     REG_SZ, {.text = QUOTED_LAUNCHER}, kXP, kAny, 4, 0, 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\{Executable}",
     L"Path",
     REG_SZ, {.text = L"\"{InstallFolder}\""}, kXP, kAny, 4, 0, 0},
    {L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags"
     L"\\Compatibility Assistant\\Persisted",
     LAUNCHER,
     REG_DWORD, {.number = 32}, kVista, kAny, 0, 0, 0},
    {L"Software\\RegisteredApplications", L"{Product} {Stream}",
     REG_SZ, {.text = CLIENT_KEY L"\\Capabilities"}, kVista, kAny, 0, 0, 0},
    {CLIENT_KEY, nullptr,
     REG_SZ, {.text = L"{Product} {Stream}"}, kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\DefaultIcon", nullptr,
     REG_SZ, {.text = LAUNCHER L",0"}, kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\InstallInfo", L"ShowIconsCommand",
     REG_SZ, {.text = QUOTED_LAUNCHER L" --showicons"}, kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\InstallInfo", L"HideIconsCommand",
     REG_SZ, {.text = QUOTED_LAUNCHER L" --hideicons"}, kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\InstallInfo", L"ReinstallCommand",
     REG_SZ, {.text = QUOTED_LAUNCHER L" --makedefaultbrowser"},
     kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\InstallInfo", L"IconsVisible",
     REG_DWORD, {.number = 1}, kXP, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\shell\\open\\command", nullptr,
     REG_SZ, {.text = QUOTED_LAUNCHER}, kXP, kAny, 0, 2, 0},
    {CLIENT_KEY L"\\Capabilities", L"ApplicationDescription",
     REG_SZ, {.text = L"Do more on the web"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities", L"ApplicationIcon",
     REG_SZ, {.text = QUOTED_LAUNCHER L",0"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities", L"ApplicationName",
     REG_SZ, {.text = L"{Product} {Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".crx",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".htm",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".html",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".nex",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".kvdownload",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".pdf",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".shtml",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".xht",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\FileAssociations", L".xhtml",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\Startmenu", L"StartMenuInternet",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"http",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"https",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"ftp",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {CLIENT_KEY L"\\Capabilities\\UrlAssociations", L"mailto",
     REG_SZ, {.text = L"{Product}{Stream}"}, kVista, kAny, 0, 1, 0},
    {L"{Uninstall}", L"DisplayName",
     REG_SZ, {.text = L"{Product} {Stream} {Version}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"DisplayIcon",
     REG_SZ, {.text = QUOTED_LAUNCHER L",0"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"DisplayVersion",
     REG_SZ, {.text = L"{Version}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"HelpLink",
     REG_SZ, {.text = L"{HelpURL}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"InstallLocation",
     REG_SZ, {.text = L"{InstallFolder}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"NoModify",
     REG_DWORD, {.number = 1}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"NoRepair",
     REG_DWORD, {.number = 1}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"Publisher",
     REG_SZ, {.text = L"{Company}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"UninstallString",
     REG_SZ, {.text = QUOTED_LAUNCHER L" /uninstall"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"URLInfoAbout",
     REG_SZ, {.text = L"{CompanyURL}"}, kXP, kAny, 0, 1, k32},
    {L"{Uninstall}", L"URLUpdateInfo",
     REG_SZ, {.text = L"{DownloadsURL}"}, kXP, kAny, 0, 1, k32},
};

const RegistryRow kLastInstallPathRow =
    {L"{CompanyRegistryKey}", L"Last {Stream} Install Path",
     REG_SZ, {.text = L"{InstallFolder}\\"}, kXP, kAny, 0, 0, 0};

const RegistryRow kLegacyX64LastInstallPathRow =
    {L"{CompanyRegistryKey}", L"Last {Stream} Install Path x64",
     kRegistryRowRemoveValue, {}, kXP, kAny, 0, 0, 0};

const RegistryRow kHideFromProgramsRow =
    {kUninstallKeyTemplate, L"SystemComponent",
     REG_DWORD, {.number = 1}, kXP, kAny, 0, 1, k32};

// A protocol handled by the browser. The last row drops the user's own
// choice, which would hide the class from Windows Vista on.
const RegistryRow kProtocolRows[] = {
    {L"Software\\Classes\\{Protocol}", L"EditFlags",
     REG_DWORD, {.number = 2}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}", L"URL Protocol",
     REG_SZ, {.text = L""}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\DefaultIcon", nullptr,
     REG_SZ, {.text = LAUNCHER L",0"}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\command", nullptr,
     REG_SZ, {.text = PROTOCOL_OPEN_COMMAND}, kXP, kAny, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec", nullptr,
     kRegistryRowDeleteKey, {.number = 0}, kXP, kHKLM,
     0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec", nullptr,
     REG_SZ, {.text = L""}, kXP, kHKCU, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec\\Application",
     nullptr, REG_SZ, {.text = L""}, kXP, kHKCU, 0, 0, 0},
    {L"Software\\Classes\\{Protocol}\\shell\\open\\ddeexec\\Topic", nullptr,
     REG_SZ, {.text = L""}, kXP, kHKCU, 0, 0, 0},
    {L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\"
     L"{Protocol}\\UserChoice", L"Progid",
     kRegistryRowRemoveValue, {.number = 0}, kVista, kHKCU,
     0, 0, 0},
};

// A file type opened by the browser; the last row as for protocols.
const RegistryRow kFileTypeRows[] = {
    {L"Software\\Classes\\{Extension}", nullptr,
     REG_SZ, {.text = L"{Product}{Stream}"}, kXP, kAny, 0, 0, 0},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\"
     L"{Extension}\\UserChoice", L"Progid",
     kRegistryRowRemoveValue, {.number = 0}, kVista, kHKCU,
     0, 0, 0},
};

const RegistryRow kStartMenuInternetRows[] = {
    {L"Software\\Clients\\StartMenuInternet", nullptr,
     REG_SZ, {.text = L"{Product}{Stream}"}, kXP, kAny, 0, 0, 0},
};

#undef CLASS_KEY
#undef CLIENT_KEY
#undef LAUNCHER
#undef QUOTED_LAUNCHER
#undef PROTOCOL_OPEN_COMMAND
#undef OWN_FILE_TYPE_KEY

// clang-format on

}  // namespace

std::span<const RegistryRow> GetMainRegistryTable() {
  static const std::vector<RegistryRow>* const table = [] {
    auto* rows = new std::vector<RegistryRow>(std::begin(kUrlClassRows),
                                              std::end(kUrlClassRows));
    rows->insert(rows->end(), std::begin(kMainTableAfterUrlClass),
                 std::end(kMainTableAfterUrlClass));
    return rows;
  }();
  return *table;
}

std::span<const RegistryRow> GetUrlClassRows() {
  return kUrlClassRows;
}

std::span<const RegistryRow> GetProtocolRows() {
  return kProtocolRows;
}

std::span<const RegistryRow> GetFileTypeRows() {
  return kFileTypeRows;
}

std::span<const RegistryRow> GetStartMenuInternetRows() {
  return kStartMenuInternetRows;
}

const RegistryRow& GetLastInstallPathRow() {
  return kLastInstallPathRow;
}

const RegistryRow& GetLegacyX64LastInstallPathRow() {
  return kLegacyX64LastInstallPathRow;
}

const RegistryRow& GetHideFromProgramsRow() {
  return kHideFromProgramsRow;
}

}  // namespace installer
