// Pictures of windows for tests and the screenshot tool: what the screen
// shows of a window, saved as PNG through GDI+.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_WINDOW_CAPTURE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_WINDOW_CAPTURE_H_

#include <windows.h>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Lets queued window messages and tasks run until nothing is left, then
// paints what is invalid.
void PumpUntilIdle(HWND window);

// Saves the screen's pixels of |window|'s client area as a PNG file;
// false (logged) on failure. GDI+ must be started.
bool SaveWindowAsPng(HWND window, const base::FilePath& path);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_WINDOW_CAPTURE_H_
