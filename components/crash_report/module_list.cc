#include "components/crash_report/module_list.h"

#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"

namespace crash_report {

namespace {

// The text from |*position| to the next |separator|, after which the
// position moves; false when there is no separator.
bool TakeField(std::wstring_view text,
               std::wstring_view separator,
               size_t* position,
               std::wstring_view* field) {
  size_t end = text.find(separator, *position);
  if (end == std::wstring_view::npos)
    return false;
  *field = text.substr(*position, end - *position);
  *position = end + separator.size();
  return true;
}

bool ParseHex(std::wstring_view field, uint64_t* value) {
  if (field.empty())
    return false;
  for (wchar_t c : field) {
    if (c > 0x7F)
      return false;
  }
  return base::HexStringToUInt64(base::WideToUTF8(field), value);
}

}  // namespace

std::vector<ModuleRecord> ParseModuleList(std::wstring_view text) {
  std::vector<ModuleRecord> modules;
  size_t position = 0;
  while (position < text.size()) {
    std::wstring_view name, base, size, path;
    ModuleRecord record;
    if (!TakeField(text, L":", &position, &name) || name.empty() ||
        !TakeField(text, L":", &position, &base) ||
        !ParseHex(base, &record.base_address) ||
        !TakeField(text, L":", &position, &size) ||
        !ParseHex(size, &record.size) ||
        !TakeField(text, L"::", &position, &path) || path.empty()) {
      break;
    }
    record.name = name;
    record.path = path;
    modules.push_back(std::move(record));
  }
  return modules;
}

}  // namespace crash_report
