// The crash reporter's few settings: the user's consent to crash reporting
// and the extra minidump ("alternative-crash-logging"), read from the
// feature table, the "with-feature:" switches and the reporter's prefs
// file; the environment variables of the reporter and its clients; and the
// crash build id made from the compiled-in build facts.
//
// Consent is never presumed: it holds only when a readable prefs file says
// so with a boolean, and the reporter serves and uploads nothing without it.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_SETTINGS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_SETTINGS_H_

#include <stdint.h>

#include <string>

namespace base {
class CommandLine;
class FilePath;
}  // namespace base

namespace crash_reporter {

// Where the user's consent lives in the prefs file.
extern const char kReportingEnabledPref[];
// Environment variable suffixes, after the product name and "_".
extern const char kCrashEmailEnvSuffix[];
extern const char kCrashKeepLogsEnvSuffix[];

// Fills both settings from |command_line| and the prefs file at
// |prefs_path| (may be empty: then consent stays off). Every call starts
// again from the start values, so the last call counts.
void LoadCrashReporterFeatures(const base::CommandLine& command_line,
                               const base::FilePath& prefs_path);

// The settings; before LoadCrashReporterFeatures, the start values (no
// consent, no extra minidump).
bool IsCrashReportingEnabled();
bool IsAlternativeCrashLoggingEnabled();

// The variable's UTF-8 value, or empty text when it is not set.
std::string GetEnvironmentVariableString(const std::string& name);

// True for "1" and for "yes" or "true" in any ASCII case, false for any
// other value; |default_value| when the variable is not set.
bool GetEnvironmentBool(const std::string& name, bool default_value);

// The product name in ASCII upper case, "_" and |suffix|:
// "KELVO_CRASH_KEEP_LOGS".
std::string MakeProductEnvVarName(const std::string& suffix);

// Whether crash files stay after their upload.
bool IsKeepCrashLogsEnabled(bool default_value);

// The build time stamp's first 8 characters (padded with "0" at the end)
// and the revision's last 6 decimal digits (padded with "0" in front):
// "20170312286388". The first form is this build's.
std::wstring GetCrashBuildId();
std::wstring FormatCrashBuildId(const std::string& timestamp,
                                uint32_t revision);

// The channel as the crash-statistics collector names it: "nightly" for
// channel 2, "release" for channel 4, else the stream's name. The first
// form is this build's.
std::wstring GetCrashReleaseChannel();
std::wstring FormatCrashReleaseChannel(int channel, const std::string& stream);

// The symbols that resolve a crash of |process_type|: "tests-syms" for
// "browser_tests", else "browser-syms".
std::wstring GetSymbolsPackageName(const std::wstring& process_type);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORTER_SETTINGS_H_
