// Told when the installer's Settings change. Observers read the Settings
// they hold; each supplies empty bodies for the calls it does not need.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_

namespace installer {

class SettingsObserver {
 public:
  virtual ~SettingsObserver() = default;

  // An option changed through a setter.
  virtual void OnOptionChanged() = 0;
  // The language changed.
  virtual void OnLanguageChanged() = 0;
  // The Status of a new install folder is ready, or the folder is invalid
  // (Settings::GetStatus tells which), or the folder already shown was
  // chosen again while another one was being examined.
  virtual void OnPathChanged() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_
