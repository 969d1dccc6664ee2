#include "desktop/windows/crash_reporter/crash_metadata.h"

#include <wchar.h>

#include <map>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "components/crash_report/crash_info.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

using crash_handler::CustomInfoEntry;

// Keys that are no metadata: the header shows the first two, the others go
// into uploads and records.
const wchar_t* const kNonMetadataKeys[] = {
    L"Version", L"build_number", L"ptime", L"URL", L"crash_guid", L"modules"};

// The text of a fixed array that may lack its terminator.
std::wstring ArrayText(const wchar_t* text, size_t size) {
  return std::wstring(text, wcsnlen(text, size));
}

bool IsPlainName(const wchar_t* name) {
  size_t length = wcsnlen(name, CustomInfoEntry::kNameMaxLength);
  if (length == 0 || length == CustomInfoEntry::kNameMaxLength)
    return false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = name[i];
    if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != L'.' &&
        c != L'-' && c != L'_') {
      return false;
    }
  }
  return true;
}

bool IsMetadataKey(const std::wstring& name) {
  for (const wchar_t* key : kNonMetadataKeys) {
    if (name == key)
      return false;
  }
  return true;
}

// A client's text on one line of the log.
std::string OneLine(const std::wstring& text) {
  std::string utf8 = base::WideToUTF8(text);
  for (char& c : utf8) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      c = '?';
  }
  return utf8;
}

}  // namespace

void FillCrashInfoFromCrashKeys(const crash_handler::CustomClientInfo& keys,
                                crash_report::CrashInfo* info) {
  std::vector<std::wstring> order;
  std::map<std::wstring, std::wstring> values;
  for (size_t i = 0; i < keys.count; ++i) {
    const CustomInfoEntry& entry = keys.entries[i];
    if (!IsPlainName(entry.name))
      continue;
    std::wstring name = entry.name;
    std::wstring value =
        ArrayText(entry.value, CustomInfoEntry::kValueMaxLength);
    if (name == L"Version" && info->version.empty()) {
      info->version = OneLine(value);
    } else if (name == L"build_number" && info->build_number.empty()) {
      info->build_number = OneLine(value);
    } else if (IsMetadataKey(name)) {
      if (!values.count(name))
        order.push_back(name);
      values[name] += value;
    }
  }
  for (const std::wstring& name : order) {
    if (!values[name].empty())
      info->metadata.emplace_back(base::WideToUTF8(name),
                                  OneLine(values[name]));
  }
  FillCrashInfoHeader(info);
}

void AddProcessMemoryMetadata(uint64_t working_set_size,
                              uint64_t peak_working_set_size,
                              uint64_t private_usage,
                              crash_report::CrashInfo* info) {
  info->metadata.emplace_back("mem_working_set_size",
                              base::NumberToString(working_set_size));
  info->metadata.emplace_back("mem_peak_working_set_size",
                              base::NumberToString(peak_working_set_size));
  info->metadata.emplace_back("mem_private_usage",
                              base::NumberToString(private_usage));
}

void SetCrashReporterProcessType(crash_report::CrashInfo* info) {
  info->metadata.emplace_back("process_type", "crash_reporter");
  FillCrashInfoHeader(info);
}

void FillCrashInfoHeader(crash_report::CrashInfo* info) {
  if (info->version.empty())
    info->version = installer::GetProductVersion();
  if (info->build_number.empty())
    info->build_number = base::NumberToString(installer::GetBuildNumber());
  if (info->product_suffix.empty())
    info->product_suffix = installer::GetCrashLogProductSuffix();
}

std::string GetMinidumpVersionText() {
  return installer::GetProductVersion() + " " +
         base::NumberToString(installer::GetBuildNumber());
}

std::wstring GetJoinedCrashKeyValue(const crash_handler::CustomClientInfo& keys,
                                    const wchar_t* name) {
  std::wstring joined;
  for (size_t i = 0; i < keys.count; ++i) {
    const CustomInfoEntry& entry = keys.entries[i];
    if (!wcsncmp(entry.name, name, CustomInfoEntry::kNameMaxLength))
      joined += ArrayText(entry.value, CustomInfoEntry::kValueMaxLength);
  }
  return joined;
}

}  // namespace crash_reporter
