// Text crossing the XML document wrapper is UTF-8 on our side and UTF-16
// BSTRs on MSXML's.

#ifndef DESKTOP_WINDOWS_INSTALLER_XML_TEXT_H_
#define DESKTOP_WINDOWS_INSTALLER_XML_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"

namespace installer {

// Fills |bstr| with the UTF-16 form of |utf8|. Without memory for the BSTR
// the process ends: no caller could do anything sensible with half a
// document.
void Utf8ToBstr(std::string_view utf8, base::win::ScopedBstr* bstr);

// The same, as a VT_BSTR variant.
void Utf8ToVariant(std::string_view utf8, base::win::ScopedVariant* variant);

// A null BSTR is the empty text.
std::string BstrToUtf8(BSTR bstr);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_XML_TEXT_H_
