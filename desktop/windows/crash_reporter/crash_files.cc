#include "desktop/windows/crash_reporter/crash_files.h"

#include <windows.h>

#include <atomic>

#include "base/command_line.h"
#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/utils.h"

namespace crash_reporter {

const wchar_t kCrashCountersFileName[] = L"crash_counters.json";
const wchar_t kCrashIdRecordFileName[] = L"last_crash_id.txt";
const wchar_t kCrashReporterPrefsFileName[] = L"Local State";
const char kCrashLogDirEnvVar[] = "KELVO_CRASH_LOG_DIR";

namespace {

// Numbers taken while claiming one; each costs a few file probes.
constexpr int kMaxClaimAttempts = 1000;

struct CrashFileState {
  base::FilePath crash_log_dir;
  base::FilePath counter_file;
  base::FilePath reporter_prefs;
  base::FilePath crash_id_record_base;
  bool overridden = false;
};

CrashFileState& State() {
  static CrashFileState state;
  return state;
}

std::atomic<uint32_t> g_last_crash_file_number{0};
std::atomic<uint64_t> g_max_crash_reporter_minidump_size{
    kMaxCrashReporterMinidumpSize};

bool CrashPathProvider(int key, base::FilePath* result) {
  if (key == DIR_USER_DATA)
    return installer::GetBrandedUserDataDir(installer::GetChannel(), result);
  base::FilePath user_data;
  if (!base::PathService::Get(DIR_USER_DATA, &user_data))
    return false;
  switch (key) {
    case FILE_CRASH_COUNTERS:
      *result = user_data.Append(kCrashCountersFileName);
      return true;
    case FILE_CRASH_ID_RECORD:
      *result = user_data.Append(kCrashIdRecordFileName);
      return true;
    case FILE_CRASH_REPORTER_PREFS:
      *result = user_data.Append(kCrashReporterPrefsFileName);
      return true;
  }
  return false;
}

void RegisterCrashPathProvider() {
  static bool registered = false;
  if (registered)
    return;
  registered = true;
  base::PathService::RegisterProvider(&CrashPathProvider, DIR_USER_DATA,
                                      DIR_USER_DATA + 1);
  base::PathService::RegisterProvider(&CrashPathProvider, FILE_CRASH_COUNTERS,
                                      FILE_CRASH_REPORTER_PREFS + 1);
}

base::FilePath GetPathOrEmpty(int key) {
  base::FilePath path;
  if (!base::PathService::Get(key, &path))
    path.clear();
  return path;
}

}  // namespace

bool InitCrashLogDirectories(const base::CommandLine& command_line) {
  RegisterCrashPathProvider();
  CrashFileState& state = State();
  state = CrashFileState();
  base::FilePath user_data_dir =
      command_line.GetSwitchValuePath(installer::switches::kUserDataDir);
  if (!user_data_dir.empty() &&
      !base::PathService::OverrideAndCreateIfNeeded(
          DIR_USER_DATA, user_data_dir, false, true)) {
    LOG(WARNING) << "Cannot use the user-data folder " << user_data_dir;
  }
  state.counter_file = GetPathOrEmpty(FILE_CRASH_COUNTERS);
  state.reporter_prefs = GetPathOrEmpty(FILE_CRASH_REPORTER_PREFS);
  state.crash_id_record_base = GetPathOrEmpty(FILE_CRASH_ID_RECORD);

  base::FilePath override_dir(
      base::UTF8ToWide(GetEnvironmentVariableString(kCrashLogDirEnvVar)));
  if (!override_dir.empty()) {
    if (base::CreateDirectory(override_dir) &&
        base::DirectoryExists(override_dir)) {
      state.crash_log_dir = override_dir;
      if (!state.crash_id_record_base.empty()) {
        state.crash_id_record_base =
            override_dir.Append(state.crash_id_record_base.BaseName());
      }
      state.overridden = true;
    } else {
      LOG(WARNING) << "Cannot create the crash directory " << override_dir;
    }
  }
  if (state.crash_log_dir.empty() && !base::GetTempDir(&state.crash_log_dir)) {
    LOG(ERROR) << "No crash directory";
    return false;
  }
  return true;
}

const base::FilePath& GetCrashLogDir() {
  return State().crash_log_dir;
}

const base::FilePath& GetCrashCounterFilePath() {
  return State().counter_file;
}

const base::FilePath& GetCrashReporterPrefsPath() {
  return State().reporter_prefs;
}

bool IsCrashLogDirOverridden() {
  return State().overridden;
}

uint32_t NextCrashFileNumber() {
  return ++g_last_crash_file_number;
}

uint64_t GetMaxCrashReporterMinidumpSize() {
  return g_max_crash_reporter_minidump_size;
}

void SetMaxCrashReporterMinidumpSizeForTesting(uint64_t max_size) {
  g_max_crash_reporter_minidump_size = max_size;
}

std::string FormatCrashFileName(uint32_t n, const char* extension) {
  return base::StringPrintf(
      "%s-crashlog-%lu-%u%s",
      base::ToLowerASCII(installer::GetProductName()).c_str(),
      ::GetCurrentProcessId(), n, extension);
}

std::string GetCrashLogTextFileName(uint32_t n) {
  return FormatCrashFileName(n, ".txt");
}

std::string GetCrashDumpFileName(uint32_t n) {
  return FormatCrashFileName(n, ".dmp");
}

std::string GetCrashLogZipFileName(uint32_t n) {
  return FormatCrashFileName(n, ".zip");
}

base::FilePath GetCrashIdRecordPath(uint32_t n) {
  const CrashFileState& state = State();
  if (state.crash_id_record_base.empty() || !state.overridden)
    return state.crash_id_record_base;
  return state.crash_id_record_base.InsertBeforeExtensionASCII(
      base::StringPrintf("-%lu-%u", ::GetCurrentProcessId(), n));
}

uint32_t ClaimCrashFileNumber(const base::FilePath& folder) {
  for (int attempt = 0; attempt < kMaxClaimAttempts; ++attempt) {
    uint32_t n = NextCrashFileNumber();
    base::FilePath record = GetCrashIdRecordPath(n);
    if (base::PathExists(folder.AppendASCII(GetCrashDumpFileName(n))) ||
        base::PathExists(folder.AppendASCII(GetCrashLogZipFileName(n))) ||
        (IsCrashLogDirOverridden() && base::PathExists(record))) {
      continue;
    }
    base::File text(folder.AppendASCII(GetCrashLogTextFileName(n)),
                    base::File::FLAG_CREATE | base::File::FLAG_WRITE);
    if (text.IsValid())
      return n;
    if (text.error_details() != base::File::FILE_ERROR_EXISTS) {
      LOG(ERROR) << "Cannot create a crash file in " << folder << ": "
                 << base::File::ErrorToString(text.error_details());
      return 0;
    }
  }
  LOG(ERROR) << "Every crash file number is taken in " << folder;
  return 0;
}

}  // namespace crash_reporter
