#include "desktop/windows/installer/template_resolver.h"

#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {

RowTemplates::RowTemplates(const base::FilePath& install_folder)
    : install_folder_(install_folder.StripTrailingSeparators().value()) {}

RowTemplates::~RowTemplates() = default;

std::wstring RowTemplates::Lookup(const std::wstring& name) const {
  if (name == L"InstallFolder")
    return install_folder_;
  if (name == L"Version")
    return base::ASCIIToWide(GetProductVersion());
  if (name == L"Executable")
    return base::ASCIIToWide(GetProductExeName());
  if (name == L"Product")
    return base::UTF8ToWide(GetBrandingProductName());
  if (name == L"Company")
    return base::UTF8ToWide(GetCompanyName());
  if (name == L"CompanyRegistryKey")
    return GetProductRegistryKey();
  if (name == L"Stream")
    return base::ASCIIToWide(GetStream());
  if (name == L"Uninstall")
    return uninstall_key_name_;
  if ((name == L"Protocol" || name == L"Extension") && !association_.empty())
    return association_;
  if (name == L"HelpURL")
    return base::UTF8ToWide(GetBrandingUrl("help"));
  if (name == L"CompanyURL")
    return base::UTF8ToWide(GetBrandingUrl("homepage"));
  if (name == L"DownloadsURL")
    return base::UTF8ToWide(GetBrandingUrl("download"));
  return name;
}

std::vector<InstallLog::RegistryKey>* RowTemplates::GetRegistryRecord(
    HKEY root) {
  if (!record_)
    return nullptr;
  return root == HKEY_LOCAL_MACHINE ? &record_->hklm_keys : &record_->hkcu_keys;
}

}  // namespace installer
