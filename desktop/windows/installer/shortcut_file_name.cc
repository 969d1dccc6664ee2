#include "desktop/windows/installer/shortcut_file_name.h"

#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

std::wstring GetShortcutFileName(bool with_version) {
  std::string name = GetBrandingProductName();
  if (with_version)
    name += ' ' + base::IntToString(GetProductMajorVersion());
  return base::UTF8ToWide(name + GetShortcutSuffix() + ".lnk");
}

}  // namespace installer
