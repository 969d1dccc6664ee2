#include "desktop/windows/installer/installation_survey.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/registry_entry.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/shortcut_file_name.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

namespace {

// The most files taken from one version folder: a folder holding more is
// no version folder of the product.
constexpr size_t kMaxVersionFolderFiles = 100000;

bool IsNumber(const std::wstring& text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool Contains(const wchar_t* text, const wchar_t* part) {
  return text && std::wcsstr(text, part);
}

// Whether the row's key, value name or text names the install folder: such
// a value is one installation's.
bool NamesInstallFolder(const RegistryRow& row) {
  constexpr wchar_t kFolder[] = L"{InstallFolder}";
  return Contains(row.key, kFolder) || Contains(row.value_name, kFolder) ||
         ((row.type == REG_SZ || row.type == REG_EXPAND_SZ) &&
          Contains(row.data.text, kFolder));
}

bool IsUninstallRow(const RegistryRow& row) {
  return std::wcscmp(row.key, kUninstallKeyTemplate) == 0;
}

// The rows of the browser's class and client: one installation of a stream
// owns them at a time.
bool IsStreamKeyRow(const RegistryRow& row) {
  return Contains(row.key, L"{Product}{Stream}");
}

// The registry records of one root.
class RegistrySurvey {
 public:
  RegistrySurvey(const base::FilePath& folder,
                 HKEY root,
                 std::vector<InstallLog::RegistryKey>* records)
      : templates_(folder), root_(root), records_(records) {}

  void Run() {
    SurveyUninstallEntries();
    std::vector<const RegistryRow*> rows;
    for (const RegistryRow& row : GetMainRegistryTable()) {
      if (!IsUninstallRow(row))
        rows.push_back(&row);
    }
    // The stream's own keys are this installation's when their commands
    // start its launcher; another installation of the stream may have
    // taken them over.
    bool stream_owned = false;
    for (const RegistryRow* row : rows) {
      stream_owned = stream_owned || (IsStreamKeyRow(*row) &&
                                      NamesInstallFolder(*row) && Holds(*row));
    }
    LOG(INFO) << "The stream's registration under "
              << (root_ == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU")
              << (stream_owned ? " is" : " is not") << " this folder's";
    for (const RegistryRow* row : rows) {
      if ((stream_owned || NamesInstallFolder(*row)) && Holds(*row))
        Record(*row);
    }
  }

 private:
  // The entries of the product in the 32-bit view whose install location is
  // this folder.
  void SurveyUninstallEntries() {
    const std::wstring uninstall = GetUninstallRegistryKey();
    const std::wstring product = base::UTF8ToWide(GetBrandingProductName());
    std::vector<std::wstring> names;
    for (base::win::RegistryKeyIterator it(root_, uninstall.c_str(),
                                           KEY_WOW64_32KEY);
         it.Valid(); ++it) {
      if (base::StartsWith(it.Name(), product + L" ",
                           base::CompareCase::SENSITIVE)) {
        names.push_back(it.Name());
      }
    }
    std::vector<const RegistryRow*> rows;
    for (const RegistryRow& row : GetMainRegistryTable()) {
      if (IsUninstallRow(row))
        rows.push_back(&row);
    }
    rows.push_back(&GetHideFromProgramsRow());
    for (const std::wstring& name : names) {
      templates_.set_uninstall_key_name(uninstall + L"\\" + name);
      const bool ours =
          std::any_of(rows.begin(), rows.end(), [this](const RegistryRow* row) {
            return NamesInstallFolder(*row) && Holds(*row);
          });
      if (!ours)
        continue;
      LOG(INFO) << "Uninstall entry of this folder: " << name;
      for (const RegistryRow* row : rows) {
        if (Holds(*row))
          Record(*row);
      }
    }
    templates_.set_uninstall_key_name(std::wstring());
  }

  // What the row records under the root: one key with one value; false
  // when the row does not apply here or records nothing.
  bool Expected(const RegistryRow& row, InstallLog::RegistryKey* expected) {
    InstallLog scratch;
    templates_.set_record(&scratch);
    std::unique_ptr<Operation> operation;
    const bool made =
        RegistryEntry(row, &templates_).CreateOperation(root_, &operation);
    templates_.set_record(nullptr);
    const std::vector<InstallLog::RegistryKey>& keys =
        root_ == HKEY_LOCAL_MACHINE ? scratch.hklm_keys : scratch.hkcu_keys;
    if (!made || !operation || keys.size() != 1 || keys[0].values.size() != 1)
      return false;
    *expected = keys[0];
    return true;
  }

  // Reads the value the row writes; false when it is missing.
  bool Read(const RegistryRow& row,
            const InstallLog::RegistryKey& expected,
            DWORD* type,
            std::vector<BYTE>* data) {
    base::win::RegKey key;
    if (key.Open(root_, base::UTF8ToWide(expected.key_path).c_str(),
                 KEY_QUERY_VALUE | row.view_flags) != ERROR_SUCCESS) {
      return false;
    }
    const std::wstring name = base::UTF8ToWide(expected.values[0].name);
    DWORD size = 0;
    if (::RegQueryValueExW(key.Handle(), name.c_str(), nullptr, type, nullptr,
                           &size) != ERROR_SUCCESS) {
      return false;
    }
    data->assign(size, 0);
    return ::RegQueryValueExW(key.Handle(), name.c_str(), nullptr, type,
                              data->data(), &size) == ERROR_SUCCESS;
  }

  // Whether the registry holds the value exactly as the row writes it for
  // this folder.
  bool Holds(const RegistryRow& row) {
    InstallLog::RegistryKey expected;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Expected(row, &expected) || !Read(row, expected, &type, &data))
      return false;
    std::vector<InstallLog::RegistryKey> found;
    FormatRegValueForRecord(&found, base::UTF8ToWide(expected.key_path),
                            base::UTF8ToWide(expected.values[0].name),
                            data.data(), type, static_cast<DWORD>(data.size()),
                            expected.clean_level);
    const InstallLog::RegistryValue& value = found[0].values[0];
    return value.type == expected.values[0].type &&
           value.data == expected.values[0].data;
  }

  // Adds what the row records to the records, as an install would.
  void Record(const RegistryRow& row) {
    InstallLog::RegistryKey key;
    if (!Expected(row, &key))
      return;
    auto same = std::find_if(records_->begin(), records_->end(),
                             [&key](const InstallLog::RegistryKey& known) {
                               return base::EqualsCaseInsensitiveASCII(
                                   known.key_path, key.key_path);
                             });
    if (same == records_->end()) {
      records_->push_back(std::move(key));
      return;
    }
    same->clean_level = std::max(same->clean_level, key.clean_level);
    same->values.push_back(std::move(key.values[0]));
  }

  RowTemplates templates_;
  const HKEY root_;
  std::vector<InstallLog::RegistryKey>* const records_;
};

// The files below |version_folder|, relative to |folder|; false when there
// are too many for a version folder.
bool ListVersionFolderFiles(const base::FilePath& folder,
                            const base::FilePath& version_folder,
                            std::vector<base::FilePath>* files) {
  std::vector<base::FilePath> found;
  base::FileEnumerator enumerator(version_folder, true,
                                  base::FileEnumerator::FILES);
  for (base::FilePath file = enumerator.Next(); !file.empty();
       file = enumerator.Next()) {
    if (found.size() >= kMaxVersionFolderFiles)
      return false;
    base::FilePath relative;
    if (!folder.AppendRelativePath(file, &relative))
      return false;
    found.push_back(relative);
  }
  files->insert(files->end(), found.begin(), found.end());
  return true;
}

void SurveyVersionFolders(const base::FilePath& folder,
                          InstallLog* log,
                          std::vector<base::FilePath>* version_folders) {
  const std::string product_exe = GetProductExeName();
  base::FileEnumerator subfolders(folder, false,
                                  base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = subfolders.Next(); !path.empty();
       path = subfolders.Next()) {
    const std::wstring name = path.BaseName().value();
    if (!IsVersionFolderName(name) ||
        !base::PathExists(path.AppendASCII(product_exe))) {
      continue;
    }
    if (!ListVersionFolderFiles(folder, path, &log->files)) {
      LOG(WARNING) << "Too many files for a version folder: " << path;
      continue;
    }
    LOG(INFO) << "Version folder of the installation: " << name;
    version_folders->push_back(base::FilePath(name));
  }
}

// The first shortcut of a fixed name in the folders of |keys| whose target
// lies in |folder|; empty when there is none.
base::FilePath FindShortcut(const base::FilePath& folder,
                            std::initializer_list<int> keys) {
  for (int key : keys) {
    base::FilePath shortcut_folder;
    if (!base::PathService::Get(key, &shortcut_folder))
      continue;
    for (bool with_version : {false, true}) {
      const base::FilePath shortcut =
          shortcut_folder.Append(GetShortcutFileName(with_version));
      base::FilePath target;
      if (base::PathExists(shortcut) &&
          GetShortcutTargetInFolder(shortcut, folder, &target)) {
        return shortcut;
      }
    }
  }
  return base::FilePath();
}

}  // namespace

bool IsVersionFolderName(const std::wstring& name) {
  const size_t suffix = name.find(L'_');
  if (suffix != std::wstring::npos && !IsNumber(name.substr(suffix + 1))) {
    return false;
  }
  const std::vector<std::wstring> parts =
      base::SplitString(name.substr(0, suffix), L".", base::KEEP_WHITESPACE,
                        base::SPLIT_WANT_ALL);
  return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), IsNumber);
}

void SurveyInstallation(const base::FilePath& folder,
                        InstallLog* log,
                        std::vector<base::FilePath>* version_folders) {
  LOG(INFO) << "Surveying the installation at " << folder;
  *log = InstallLog();
  log->copy_only = true;
  log->all_users = false;
  log->install_path = folder;
  version_folders->clear();
  SurveyVersionFolders(folder, log, version_folders);
  RegistrySurvey(folder, HKEY_CURRENT_USER, &log->hkcu_keys).Run();
  RegistrySurvey(folder, HKEY_LOCAL_MACHINE, &log->hklm_keys).Run();
  log->desktop_shortcut =
      FindShortcut(folder, {base::DIR_USER_DESKTOP, base::DIR_COMMON_DESKTOP});
  log->start_menu_shortcut =
      FindShortcut(folder, {base::DIR_START_MENU, base::DIR_COMMON_START_MENU});
  log->quick_launch_shortcut =
      FindShortcut(folder, {base::DIR_USER_QUICK_LAUNCH});
}

}  // namespace installer
