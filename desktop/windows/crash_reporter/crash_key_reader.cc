#include "desktop/windows/crash_reporter/crash_key_reader.h"

#include <wchar.h>

namespace crash_reporter {

using crash_handler::CustomInfoEntry;

std::wstring GetCrashKeyName(const CustomInfoEntry& entry) {
  return std::wstring(entry.name,
                      wcsnlen(entry.name, CustomInfoEntry::kNameMaxLength));
}

std::wstring GetCrashKeyText(const CustomInfoEntry& entry) {
  return std::wstring(entry.value,
                      wcsnlen(entry.value, CustomInfoEntry::kValueMaxLength));
}

const CustomInfoEntry* FindCrashKey(const crash_handler::CustomClientInfo& keys,
                                    const wchar_t* name) {
  for (size_t i = 0; i < keys.count; ++i) {
    if (!wcsncmp(keys.entries[i].name, name, CustomInfoEntry::kNameMaxLength))
      return &keys.entries[i];
  }
  return nullptr;
}

bool GetCrashKeyValue(const crash_handler::CustomClientInfo& keys,
                      const wchar_t* name,
                      std::wstring* value) {
  const CustomInfoEntry* entry = FindCrashKey(keys, name);
  if (!entry)
    return false;
  *value = GetCrashKeyText(*entry);
  return true;
}

bool GetJoinedCrashKeyValue(const crash_handler::CustomClientInfo& keys,
                            const wchar_t* name,
                            std::wstring* value) {
  value->clear();
  for (size_t i = 0; i < keys.count; ++i) {
    if (!wcsncmp(keys.entries[i].name, name, CustomInfoEntry::kNameMaxLength))
      *value += GetCrashKeyText(keys.entries[i]);
  }
  return !value->empty();
}

bool IsBrowserProcessType(const crash_handler::CustomClientInfo& keys) {
  std::wstring type;
  return GetCrashKeyValue(keys, L"process_type", &type) && type == L"browser";
}

std::wstring GetCrashOrigin(const crash_handler::CustomClientInfo& keys) {
  std::wstring value;
  if (GetCrashKeyValue(keys, L"testrig_test", &value) && !value.empty())
    return L"Vorn";
  if (GetCrashKeyValue(keys, L"origin", &value) && value == L"Testrig")
    return L"Testrig";
  return std::wstring();
}

}  // namespace crash_reporter
