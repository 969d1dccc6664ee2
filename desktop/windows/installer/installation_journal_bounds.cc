#include "desktop/windows/installer/installation_journal_bounds.h"

#include <windows.h>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"

namespace installer {

namespace {

// The folders the installer puts shortcuts and pins into.
constexpr int kShortcutFolderKeys[] = {
    base::DIR_USER_DESKTOP,      base::DIR_COMMON_DESKTOP,
    base::DIR_START_MENU,        base::DIR_COMMON_START_MENU,
    base::DIR_USER_QUICK_LAUNCH, base::DIR_TASKBAR_PINS,
};

bool IsSamePath(const base::FilePath& a, const base::FilePath& b) {
  return base::FilePath::CompareEqualIgnoreCase(
      a.StripTrailingSeparators().value(), b.StripTrailingSeparators().value());
}

// The product's shortcut name, plain or with a major version: "Kelvo.lnk",
// "Kelvo 45.lnk", with the branding's suffix before ".lnk".
bool IsShortcutFileName(const std::wstring& name) {
  const std::wstring product = base::UTF8ToWide(GetBrandingProductName());
  const std::wstring ending = base::UTF8ToWide(GetShortcutSuffix()) + L".lnk";
  if (product.empty() || name.size() < product.size() + ending.size() ||
      !base::FilePath::CompareEqualIgnoreCase(name.substr(0, product.size()),
                                              product) ||
      !base::FilePath::CompareEqualIgnoreCase(
          name.substr(name.size() - ending.size()), ending)) {
    return false;
  }
  const std::wstring version =
      name.substr(product.size(), name.size() - product.size() - ending.size());
  if (version.empty())
    return true;
  if (version.size() < 2 || version[0] != L' ')
    return false;
  for (size_t i = 1; i < version.size(); ++i) {
    if (!base::IsAsciiDigit(version[i]))
      return false;
  }
  return true;
}

// |path| itself, or the file whose aside name it is.
base::FilePath WithoutAsideName(const base::FilePath& path) {
  const std::wstring name = path.BaseName().value();
  for (size_t dot = name.find(L'.'); dot != std::wstring::npos;
       dot = name.find(L'.', dot + 1)) {
    if (dot == 0)
      continue;
    const base::FilePath candidate = path.DirName().Append(name.substr(0, dot));
    if (IsAsideNameOf(path, candidate))
      return candidate;
  }
  return path;
}

}  // namespace

InstallationJournalBounds::InstallationJournalBounds(
    const base::FilePath& install_folder)
    : install_folder_(install_folder.StripTrailingSeparators()),
      templates_(install_folder),
      // The records of the former product name its streams so.
      check_(&templates_,
             {L"", L"Next", L"Labs", L"Invalid", L" Next", L" Labs",
              L" Invalid"}) {
  for (int key : kShortcutFolderKeys) {
    base::FilePath folder;
    if (base::PathService::Get(key, &folder) && !folder.empty())
      shortcut_folders_.push_back(folder.StripTrailingSeparators());
  }
  base::FilePath start_menu;
  if (base::PathService::Get(base::DIR_START_MENU, &start_menu)) {
    company_start_menu_folder_ =
        start_menu.Append(base::UTF8ToWide(GetCompanyName()));
  }
}

InstallationJournalBounds::~InstallationJournalBounds() = default;

bool InstallationJournalBounds::IsInstallFolder(
    const base::FilePath& path) const {
  return IsSamePath(path, install_folder_);
}

bool InstallationJournalBounds::IsInInstallation(
    const base::FilePath& path) const {
  return install_folder_.IsParentIgnoringCase(path) &&
         IsReachedWithoutLinks(install_folder_, path);
}

bool InstallationJournalBounds::IsOwnShortcut(
    const base::FilePath& path) const {
  const base::FilePath own = WithoutAsideName(path);
  if (!company_start_menu_folder_.empty() &&
      IsSamePath(own, company_start_menu_folder_)) {
    return IsReachedWithoutLinks(company_start_menu_folder_.DirName(), path);
  }
  if (!IsShortcutFileName(own.BaseName().value()))
    return false;
  for (const base::FilePath& folder : shortcut_folders_) {
    if (IsSamePath(path.DirName(), folder))
      return IsReachedWithoutLinks(folder, path);
  }
  return false;
}

bool InstallationJournalBounds::IsTableValue(const journal::RegistryKey& key,
                                             const std::wstring& name) const {
  return check_.IsWrittenValue(key.path, name);
}

bool InstallationJournalBounds::IsTableKeyOrAncestor(
    const journal::RegistryKey& key) const {
  return check_.IsWrittenKeyOrAncestor(key.path);
}

bool InstallationJournalBounds::IsInDeletedTree(
    const journal::RegistryKey& key) const {
  return check_.IsInDeletedTree(key.path);
}

size_t InstallationJournalBounds::MaxRestoredRegistryBytes() const {
  // The tables write paths, names and a few numbers; the trees they delete
  // hold what the browser keeps beside them. Far more than both.
  return 16 * 1024 * 1024;
}

std::vector<base::FilePath> InstallationJournalBounds::GetKnownFolders() const {
  return shortcut_folders_;
}

bool IsReachedWithoutLinks(const base::FilePath& folder,
                           const base::FilePath& path) {
  DCHECK(folder.IsParentIgnoringCase(path));
  // Each level below the folder, from the top: a junction or link there
  // (a reparse point) may lead anywhere.
  const std::vector<std::wstring> components = path.GetComponents();
  base::FilePath level = folder;
  for (size_t i = folder.GetComponents().size(); i < components.size(); ++i) {
    level = level.Append(components[i]);
    const DWORD attributes = ::GetFileAttributesW(level.value().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
      return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      LOG(WARNING) << level << " is a link or junction";
      return false;
    }
  }
  return true;
}

}  // namespace installer
