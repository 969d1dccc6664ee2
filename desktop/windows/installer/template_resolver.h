// What registry rows need from their user: the values of the placeholders
// in their templates, and where the values they write are recorded; and the
// one resolver of the installer's rows.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
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

// The placeholders of the installer's rows for an installation at one
// folder: "InstallFolder" (without a trailing separator; rows append "\"),
// "Version", "Executable", "Product", "Company", "CompanyRegistryKey",
// "Stream", "HelpURL", "CompanyURL", "DownloadsURL", and, once set,
// "Uninstall" and the association of a table ("Protocol", "Extension"). A
// name it does not know stands for itself.
class RowTemplates : public TemplateResolver {
 public:
  explicit RowTemplates(const base::FilePath& install_folder);
  RowTemplates(const RowTemplates&) = delete;
  RowTemplates& operator=(const RowTemplates&) = delete;
  ~RowTemplates() override;

  const std::wstring& uninstall_key_name() const { return uninstall_key_name_; }
  void set_uninstall_key_name(const std::wstring& name) {
    uninstall_key_name_ = name;
  }
  void set_association(const std::wstring& association) {
    association_ = association;
  }
  // While a log is set, what rows write under HKEY_LOCAL_MACHINE goes to
  // its machine keys and everything else to its user keys.
  void set_record(InstallLog* log) { record_ = log; }

  // TemplateResolver:
  std::wstring Lookup(const std::wstring& name) const override;
  std::vector<InstallLog::RegistryKey>* GetRegistryRecord(HKEY root) override;

 private:
  const std::wstring install_folder_;
  std::wstring uninstall_key_name_;
  std::wstring association_;
  InstallLog* record_ = nullptr;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEMPLATE_RESOLVER_H_
