#include "desktop/windows/crash_reporter/crash_metadata.h"

#include <wchar.h>

#include <algorithm>
#include <iterator>

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "components/crash_report/crash_info.h"
#include "desktop/windows/crash_reporter/crash_key_reader.h"
#include "desktop/windows/crash_reporter/crash_report_static_info.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

namespace {

using crash_handler::CustomInfoEntry;

// Keys that are no metadata: they go into uploads and records.
const wchar_t* const kNonMetadataKeys[] = {L"ptime", L"URL", L"crash_guid",
                                           L"modules"};

// Keys spread over a range of entries, rejoined and listed after the
// others, in this order.
const wchar_t* const kJoinedKeys[] = {L"testrig_test",
                                      L"enabled_extensions",
                                      L"disabled_extensions",
                                      L"blacklisted_extensions",
                                      L"terminated_extensions",
                                      L"third_party_installs",
                                      L"ab_tests"};

bool IsPlainName(const CustomInfoEntry& entry) {
  size_t length = wcsnlen(entry.name, CustomInfoEntry::kNameMaxLength);
  if (length == 0 || length == CustomInfoEntry::kNameMaxLength)
    return false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = entry.name[i];
    if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != L'.' &&
        c != L'-' && c != L'_') {
      return false;
    }
  }
  return true;
}

bool IsOneOf(const std::wstring& name,
             const wchar_t* const* names,
             size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (name == names[i])
      return true;
  }
  return false;
}

// A client's text on one line of the log: control characters would let it
// forge lines of its own.
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
  std::wstring joined[std::size(kJoinedKeys)];
  for (size_t i = 0; i < keys.count; ++i) {
    const CustomInfoEntry& entry = keys.entries[i];
    if (!IsPlainName(entry))
      continue;
    const std::wstring name = GetCrashKeyName(entry);
    const std::wstring value = GetCrashKeyText(entry);
    if (IsOneOf(name, kNonMetadataKeys, std::size(kNonMetadataKeys)))
      continue;
    auto* joined_key =
        std::find(std::begin(kJoinedKeys), std::end(kJoinedKeys), name);
    if (joined_key != std::end(kJoinedKeys)) {
      joined[joined_key - std::begin(kJoinedKeys)] += value;
    } else if (name == L"Version") {
      info->version = OneLine(value);
    } else if (name == L"build_number") {
      info->build_number = OneLine(value);
    } else if (!value.empty()) {
      info->metadata.emplace_back(base::WideToUTF8(name), OneLine(value));
    }
  }
  for (size_t i = 0; i < std::size(kJoinedKeys); ++i) {
    if (!joined[i].empty()) {
      info->metadata.emplace_back(base::WideToUTF8(kJoinedKeys[i]),
                                  OneLine(joined[i]));
    }
  }
  const CrashReportStaticInfo& system = CrashReportStaticInfo::GetInstance();
  info->metadata.emplace_back("os_version", system.os_version());
  info->metadata.emplace_back("os_service_pack_version",
                              system.os_service_pack_version());
  info->metadata.emplace_back("cpu_architecture", system.cpu_architecture());
  info->metadata.emplace_back("cpu_level", system.cpu_level());
  info->metadata.emplace_back("cpu_revision", system.cpu_revision());
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

}  // namespace crash_reporter
