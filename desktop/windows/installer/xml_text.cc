#include "desktop/windows/installer/xml_text.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

void Utf8ToBstr(std::string_view utf8, base::win::ScopedBstr* bstr) {
  std::wstring wide = base::UTF8ToWide(utf8);
  CHECK(bstr->Allocate(wide)) << "Out of memory converting text for MSXML";
}

void Utf8ToVariant(std::string_view utf8, base::win::ScopedVariant* variant) {
  base::win::ScopedBstr bstr;
  Utf8ToBstr(utf8, &bstr);
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = bstr.Release();
  variant->Reset(value);
}

std::string BstrToUtf8(BSTR bstr) {
  if (!bstr)
    return std::string();
  return base::WideToUTF8(std::wstring_view(bstr, ::SysStringLen(bstr)));
}

}  // namespace installer
