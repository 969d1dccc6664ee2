// Told of the user's decisions in the installer window. Calls come on the
// UI thread from inside the window's own message handling: a delegate must
// not destroy the window synchronously (hide it and delete it from a posted
// task instead).

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_

namespace installer {

class InstallerWindowDelegate {
 public:
  virtual ~InstallerWindowDelegate() = default;

  // Accept, Try Again or Uninstall.
  virtual void OnAccept() = 0;
  // The user confirmed cancelling, or closed the error message box.
  virtual void OnCancel() = 0;
  // Get full installer.
  virtual void OnFullPackage() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_DELEGATE_H_
