#include "desktop/windows/installer/package_fetcher/archive_entry_path.h"

namespace installer {

namespace {

wchar_t ToUpperAscii(wchar_t c) {
  return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
}

bool EqualsIgnoringAsciiCase(std::wstring_view text, std::wstring_view upper) {
  if (text.size() != upper.size())
    return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (ToUpperAscii(text[i]) != upper[i])
      return false;
  }
  return true;
}

bool IsDeviceName(std::wstring_view component) {
  // Windows finds devices by the name before the first dot, without
  // trailing blanks: "nul.txt" and "com1 .log" are devices too.
  std::wstring_view stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ')
    stem.remove_suffix(1);
  for (std::wstring_view device :
       {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
    if (EqualsIgnoringAsciiCase(stem, device))
      return true;
  }
  if (stem.size() != 4 ||
      (!EqualsIgnoringAsciiCase(stem.substr(0, 3), L"COM") &&
       !EqualsIgnoringAsciiCase(stem.substr(0, 3), L"LPT"))) {
    return false;
  }
  // COM1 to COM9 and LPT1 to LPT9, with superscript digits as well.
  const wchar_t digit = stem[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' ||
         digit == L'\u00B2' || digit == L'\u00B3';
}

bool IsSafeComponent(std::wstring_view component) {
  if (component.empty() || component.back() == L'.' ||
      component.back() == L' ') {
    return false;
  }
  for (wchar_t c : component) {
    if (c < 0x20 ||
        std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  return !IsDeviceName(component);
}

}  // namespace

bool ArchiveEntryNameToRelativePath(std::wstring_view name,
                                    base::FilePath* relative) {
  std::wstring path;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of(L"/\\", start);
    const std::wstring_view component =
        name.substr(start, end == std::wstring_view::npos ? end : end - start);
    if (!IsSafeComponent(component))
      return false;
    if (!path.empty())
      path.push_back(L'\\');
    path.append(component);
    if (end == std::wstring_view::npos)
      break;
    start = end + 1;
  }
  *relative = base::FilePath(path);
  return true;
}

}  // namespace installer
