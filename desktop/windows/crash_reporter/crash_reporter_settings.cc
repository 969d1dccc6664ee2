#include "desktop/windows/crash_reporter/crash_reporter_settings.h"

#include <memory>

#include "base/command_line.h"
#include "base/environment.h"
#include "base/features/browser_features.h"
#include "base/features/feature_registry.h"
#include "base/features/feature_table.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

const char kReportingEnabledPref[] =
    "user_experience_metrics.reporting_enabled";
const char kCrashEmailEnvSuffix[] = "CRASH_EMAIL";
const char kCrashKeepLogsEnvSuffix[] = "CRASH_KEEP_LOGS";

namespace {

// The browser's prefs file holds far less; a larger one is not read.
constexpr size_t kMaxPrefsFileSize = 16 * 1024 * 1024;

// One settings row: a feature of the browser's table, or a pref.
struct SettingsRow {
  const char* feature_name;
  const char* pref_path;
  bool start_value;
  bool value;
  bool readable;
};

SettingsRow g_consent = {nullptr, kReportingEnabledPref, false, false, true};
SettingsRow g_alternative_crash_logging = {installer::kAlternativeCrashLogging,
                                           nullptr, false, false, true};
SettingsRow* const kRows[] = {&g_consent, &g_alternative_crash_logging};

void ApplyFeatureTable(SettingsRow* row) {
  const installer::FeatureRow* feature =
      installer::FindFeatureByName(row->feature_name);
  if (!feature)
    return;
  row->value = installer::IsFeatureEnabledByDefault(*feature);
  row->readable = installer::IsFeatureOverridable(*feature);
}

void ApplyFeatureSwitch(const base::CommandLine& command_line,
                        SettingsRow* row) {
  std::string state = command_line.GetSwitchValueASCII(
      installer::GetFeatureSwitchName(row->feature_name));
  if (state == "on")
    row->value = true;
  else if (state == "off")
    row->value = false;
}

void ApplyPrefs(const base::DictionaryValue& prefs, SettingsRow* row) {
  if (row->feature_name) {
    int state = 0;
    if (prefs.GetInteger(std::string("browser.flags.") + row->feature_name,
                         &state)) {
      if (state == 1)
        row->value = true;
      else if (state == 2)
        row->value = false;
    }
    return;
  }
  bool value = false;
  if (prefs.GetBoolean(row->pref_path, &value))
    row->value = value;
}

std::unique_ptr<base::DictionaryValue> ReadPrefs(const base::FilePath& path) {
  if (path.empty()) {
    LOG(INFO) << "No crash reporter prefs file";
    return nullptr;
  }
  std::string text;
  if (!base::ReadFileToStringWithMaxSize(path, &text, kMaxPrefsFileSize)) {
    LOG(INFO) << "Cannot read the crash reporter prefs " << path;
    return nullptr;
  }
  std::unique_ptr<base::DictionaryValue> prefs =
      base::DictionaryValue::From(base::JSONReader::Read(text));
  if (!prefs)
    LOG(WARNING) << "The crash reporter prefs " << path << " are not JSON";
  return prefs;
}

}  // namespace

void LoadCrashReporterFeatures(const base::CommandLine& command_line,
                               const base::FilePath& prefs_path) {
  for (SettingsRow* row : kRows) {
    row->value = row->start_value;
    row->readable = true;
    if (!row->feature_name)
      continue;
    ApplyFeatureTable(row);
    if (row->readable)
      ApplyFeatureSwitch(command_line, row);
  }
  std::unique_ptr<base::DictionaryValue> prefs = ReadPrefs(prefs_path);
  if (!prefs)
    return;
  for (SettingsRow* row : kRows) {
    if (row->readable)
      ApplyPrefs(*prefs, row);
  }
}

bool IsCrashReportingEnabled() {
  return g_consent.value;
}

bool IsAlternativeCrashLoggingEnabled() {
  return g_alternative_crash_logging.value;
}

std::string GetEnvironmentVariableString(const std::string& name) {
  std::string value;
  base::Environment::Create()->GetVar(name, &value);
  return value;
}

bool GetEnvironmentBool(const std::string& name, bool default_value) {
  std::string value;
  if (!base::Environment::Create()->GetVar(name, &value))
    return default_value;
  return value == "1" || base::EqualsCaseInsensitiveASCII(value, "yes") ||
         base::EqualsCaseInsensitiveASCII(value, "true");
}

std::string MakeProductEnvVarName(const std::string& suffix) {
  return base::ToUpperASCII(installer::GetProductName()) + "_" + suffix;
}

bool IsKeepCrashLogsEnabled(bool default_value) {
  return GetEnvironmentBool(MakeProductEnvVarName(kCrashKeepLogsEnvSuffix),
                            default_value);
}

std::wstring GetCrashBuildId() {
  return FormatCrashBuildId(installer::GetBuildTimestamp(),
                            installer::GetBuildRevision());
}

std::wstring FormatCrashBuildId(const std::string& timestamp,
                                uint32_t revision) {
  std::string date = timestamp.substr(0, 8);
  date.resize(8, '0');
  std::string digits = base::NumberToString(revision % 1000000);
  digits.insert(0, 6 - digits.size(), '0');
  return base::ASCIIToWide(date + digits);
}

std::wstring GetCrashReleaseChannel() {
  return FormatCrashReleaseChannel(installer::GetChannel(),
                                   installer::GetStream());
}

std::wstring FormatCrashReleaseChannel(int channel, const std::string& stream) {
  // The collector's names, which do not follow the channels' own.
  if (channel == installer::CHANNEL_DEVELOPER)
    return L"nightly";
  if (channel == installer::CHANNEL_STABLE)
    return L"release";
  return base::UTF8ToWide(stream);
}

std::wstring GetSymbolsPackageName(const std::wstring& process_type) {
  return process_type == L"browser_tests" ? L"tests-syms" : L"browser-syms";
}

}  // namespace crash_reporter
