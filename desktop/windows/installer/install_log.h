// What one installation of the browser consists of: where it is, which
// version, the files and registry entries the installer put there, its
// shortcuts and components. It is kept in the install folder as
// installation_status.xml (InstallLogReader, InstallLogWriter) and tells a
// later upgrade or uninstall what to remove.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/time/time.h"

namespace installer {

struct InstallLog {
  struct Component {
    bool operator==(const Component& other) const = default;

    std::string name;
    base::FilePath path;
  };

  // One value the installer wrote, as text (see FormatRegValueForRecord).
  struct RegistryValue {
    bool operator==(const RegistryValue& other) const = default;

    std::string type;  // "REG_SZ", "REG_DWORD", ...
    std::string name;  // UTF-8; empty for the default value.
    std::string data;
  };

  struct RegistryKey {
    bool operator==(const RegistryKey& other) const = default;

    // How much of the key belongs to us: 0 only the recorded values, N > 0
    // the key with its last N - 1 components removed, with its subtree.
    int32_t clean_level = 0;
    std::string key_path;  // UTF-8, below the root, '\'-separated.
    std::vector<RegistryValue> values;
  };

  // All fields at their defaults; the last band check is now.
  InstallLog();
  InstallLog(const InstallLog& other);
  InstallLog(InstallLog&& other) noexcept;
  InstallLog& operator=(const InstallLog& other);
  InstallLog& operator=(InstallLog&& other) noexcept;
  ~InstallLog();

  bool copy_only = false;
  bool all_users = true;
  bool pinned = false;
  // When the taskbar pin was last checked.
  base::Time last_band_check;
  std::string app_id;
  base::FilePath install_path;
  // The version folder below the install path.
  base::FilePath subfolder;
  std::string version;
  base::FilePath desktop_shortcut;
  base::FilePath start_menu_shortcut;
  base::FilePath quick_launch_shortcut;
  // Relative to install_path\subfolder.
  std::vector<base::FilePath> files;
  // Relative to install_path.
  std::vector<base::FilePath> root_files;
  std::vector<Component> components;
  std::vector<RegistryKey> hklm_keys;
  std::vector<RegistryKey> hkcu_keys;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALL_LOG_H_
