// GDI+'s C++ headers, which need min and max in their namespace and the
// COM stream types before them; NOMINMAX hides the Windows macros they
// were written for.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_GDIPLUS_INCLUDE_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_GDIPLUS_INCLUDE_H_

#include <windows.h>

#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_GDIPLUS_INCLUDE_H_
