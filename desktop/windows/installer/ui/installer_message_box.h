// The installer window's message boxes: titled with the installer's name
// and with their Yes, No and OK buttons in the installer's language rather
// than the system's.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_MESSAGE_BOX_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_MESSAGE_BOX_H_

#include <windows.h>

#include <string>

namespace installer {

// MessageBoxW owned by |owner| with |type| (buttons and icon); returns what
// MessageBoxW returns. Runs a modal loop: tasks of the thread's UI loop run
// inside it, so the caller's objects may be gone when it returns.
int ShowInstallerMessageBox(HWND owner, const std::wstring& text, UINT type);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_MESSAGE_BOX_H_
