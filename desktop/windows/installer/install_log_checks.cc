#include "desktop/windows/installer/install_log_checks.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

namespace {

// Drops the paths |is_safe| refuses, naming each in the log.
void RemoveUnsafePaths(std::vector<base::FilePath>* paths,
                       const char* what,
                       bool (*is_safe)(const base::FilePath&)) {
  std::erase_if(*paths, [what, is_safe](const base::FilePath& path) {
    if (is_safe(path))
      return false;
    LOG(WARNING) << "Install log: ignoring unsafe " << what << " \""
                 << path.value() << "\"";
    return true;
  });
}

void ClearUnsafeShortcut(base::FilePath* shortcut, const char* what) {
  if (shortcut->empty() || IsSafeShortcutPath(*shortcut))
    return;
  LOG(WARNING) << "Install log: ignoring unsafe " << what << " \""
               << shortcut->value() << "\"";
  shortcut->clear();
}

void RemoveUnsafeComponents(std::vector<InstallLog::Component>* components) {
  std::erase_if(*components, [](const InstallLog::Component& component) {
    if (IsSafePlainName(component.name) && component.path.IsAbsolute() &&
        !component.path.ReferencesParent()) {
      return false;
    }
    LOG(WARNING) << "Install log: ignoring unsafe component \""
                 << component.name << "\" at \"" << component.path.value()
                 << "\"";
    return true;
  });
}

void RemoveUnsafeKeys(std::vector<InstallLog::RegistryKey>* keys,
                      const char* hive) {
  std::erase_if(*keys, [hive](const InstallLog::RegistryKey& key) {
    if (IsSafeRegistryKeyRecord(key.key_path, key.clean_level))
      return false;
    LOG(WARNING) << "Install log: ignoring unsafe registry key " << hive << "\\"
                 << key.key_path << " with clean level " << key.clean_level;
    return true;
  });
}

}  // namespace

bool IsSafeRelativePath(const base::FilePath& path) {
  const std::wstring& text = path.value();
  return !text.empty() && !path.IsAbsolute() &&
         !base::FilePath::IsSeparator(text[0]) &&
         text.find(L':') == std::wstring::npos && !path.ReferencesParent();
}

bool IsSafePlainName(std::string_view name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string_view::npos)
    return false;
  base::FilePath path(base::UTF8ToWide(name));
  return path.value() != base::FilePath::kCurrentDirectory &&
         !path.ReferencesParent();
}

bool IsSafeShortcutPath(const base::FilePath& path) {
  return path.IsAbsolute() && !path.ReferencesParent() &&
         base::EqualsCaseInsensitiveASCII(path.FinalExtension(), L".lnk");
}

bool IsSafeRegistryKeyRecord(std::string_view key_path, int32_t clean_level) {
  std::vector<std::string> components = base::SplitString(
      key_path, "\\", base::KEEP_WHITESPACE, base::SPLIT_WANT_ALL);
  if (components.size() < 2 ||
      std::any_of(components.begin(), components.end(),
                  [](const std::string& c) { return c.empty(); })) {
    return false;
  }
  int32_t count = static_cast<int32_t>(components.size());
  return clean_level >= 0 && clean_level < count;
}

bool RemoveUnsafeEntries(InstallLog* log) {
  if (!log->subfolder.empty() && !IsSafeRelativePath(log->subfolder)) {
    LOG(ERROR) << "Install log: unsafe version subfolder \""
               << log->subfolder.value() << "\"";
    return false;
  }
  RemoveUnsafePaths(&log->files, "file", &IsSafeRelativePath);
  RemoveUnsafePaths(&log->root_files, "root file", &IsSafeRelativePath);
  ClearUnsafeShortcut(&log->desktop_shortcut, "desktop shortcut");
  ClearUnsafeShortcut(&log->start_menu_shortcut, "start menu shortcut");
  ClearUnsafeShortcut(&log->quick_launch_shortcut, "quick launch shortcut");
  RemoveUnsafeComponents(&log->components);
  RemoveUnsafeKeys(&log->hklm_keys, "HKLM");
  RemoveUnsafeKeys(&log->hkcu_keys, "HKCU");
  return true;
}

}  // namespace installer
