// Shell links (.lnk files): creating or changing one with the properties the
// installer sets, and reading back where one points. COM must be initialised
// on the calling thread (any apartment).
//
//   base::win::ShortcutProperties properties;
//   properties.set_target(install_dir.Append(L"launcher.exe"));
//   properties.set_working_dir(install_dir);
//   properties.set_app_id(L"KelvoSoftware.KelvoWebBrowser.123");
//   base::win::CreateOrUpdateShortcutLink(
//       link_path, properties, base::win::SHORTCUT_CREATE_ALWAYS);

#ifndef BASE_WIN_SHORTCUT_H_
#define BASE_WIN_SHORTCUT_H_

#include <cstdint>
#include <string>

#include "base/files/file_path.h"

namespace base {
namespace win {

enum ShortcutOperation {
  // A new shortcut made of the given properties only, replacing any file
  // at the path. The target must be given.
  SHORTCUT_CREATE_ALWAYS = 0,
  // The existing shortcut with the given properties changed and the others
  // kept; fails when there is no readable shortcut at the path.
  SHORTCUT_UPDATE_EXISTING,
};

// The properties to write; only those whose bit is in |options| are set.
struct ShortcutProperties {
  enum IndividualProperties {
    PROPERTIES_TARGET = 1U << 0,
    PROPERTIES_WORKING_DIR = 1U << 1,
    PROPERTIES_ARGUMENTS = 1U << 2,
    PROPERTIES_DESCRIPTION = 1U << 3,
    PROPERTIES_ICON = 1U << 4,
    PROPERTIES_APP_ID = 1U << 5,
  };

  ShortcutProperties();
  ShortcutProperties(const ShortcutProperties&);
  ShortcutProperties& operator=(const ShortcutProperties&);
  ~ShortcutProperties();

  void set_target(const FilePath& target_in);
  void set_working_dir(const FilePath& working_dir_in);
  // The command-line text after the target, quoted by the caller.
  void set_arguments(const std::wstring& arguments_in);
  // At most 1023 characters (the shell's tooltip limit).
  void set_description(const std::wstring& description_in);
  void set_icon(const FilePath& icon_in, int icon_index_in);
  // The AppUserModelID that groups the shortcut's windows on the taskbar;
  // an empty id removes it.
  void set_app_id(const std::wstring& app_id_in);

  FilePath target;
  FilePath working_dir;
  std::wstring arguments;
  std::wstring description;
  FilePath icon;
  int icon_index = -1;
  std::wstring app_id;
  uint32_t options = 0;
};

// Writes the shortcut at |shortcut_path| (see ShortcutOperation). False,
// with a log line, when COM refuses a step or the file cannot be written.
bool CreateOrUpdateShortcutLink(const FilePath& shortcut_path,
                                const ShortcutProperties& properties,
                                ShortcutOperation operation);

// Reads the target and the arguments of the shortcut at |shortcut_path|
// without searching for a moved target; either out pointer may be null.
// False when the file is not a shortcut or has no file-system target; the
// outputs are then left alone.
bool ResolveShortcut(const FilePath& shortcut_path,
                     FilePath* target_path,
                     std::wstring* arguments);

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SHORTCUT_H_
