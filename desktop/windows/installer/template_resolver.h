// What registry rows need from their user: the values of the placeholders
// in their templates, and where the values they write are recorded.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/windows/installer/install_log.h"

namespace installer {

class TemplateResolver {
 public:
  virtual ~TemplateResolver() = default;

  // The value of the placeholder |name|, given without its braces
  // ("InstallFolder" for "{InstallFolder}").
  virtual std::wstring Lookup(const std::wstring& name) const = 0;

  // The install-log key list into which values written under |root| are
  // recorded, or null to record nothing.
  virtual std::vector<InstallLog::RegistryKey>* GetRegistryRecord(
      HKEY root) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_
