// The form fields that travel with a crash file: those of the text-log
// upload to the crash server and those of the minidump upload to the
// crash-statistics collector, made from the crashed process's crash keys
// and the product's own facts. A field set first is never replaced, so
// what the crashed process said of itself wins over the reporter's own
// values.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_UPLOAD_PARAMS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_UPLOAD_PARAMS_H_

#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

// Field name to value, sent in name order.
using UploadParams = std::map<std::wstring, std::wstring>;

// The text log of a crashed installer process.
void BuildTextLogUploadParams(const crash_handler::CustomClientInfo& keys,
                              UploadParams* params);
// The crash id the crash server gave the report, when there is one.
void AddStacktraceIdParam(const std::wstring& crash_id, UploadParams* params);

// The minidump of a crashed installer process, whose |process| (may be
// null) tells its times.
void BuildMinidumpUploadParams(HANDLE process,
                               const crash_handler::CustomClientInfo& keys,
                               UploadParams* params);
// The minidump of a crashed reporter.
void BuildCrashReporterMinidumpParams(DWORD pid, UploadParams* params);

// The user's e-mail address, when given, as "email" and as "Email".
void AddEmailParam(UploadParams* params);
void AddEmailParamCapitalized(UploadParams* params);

// "StartupTime" and "CrashTime" in whole seconds since 1970, from the
// creation time of |process| (may be null) and the run time the "ptime"
// key of |keys| (may be null) holds in milliseconds; "InstallTime" from the
// creation time of the process's executable file.
void AddCrashTimeParams(HANDLE process,
                        const crash_handler::CustomClientInfo* keys,
                        UploadParams* params);

// The product, version, channel, build id and symbols package.
void AddProductUploadParams(UploadParams* params);

// Microseconds since 1970 as whole seconds in decimal.
std::wstring FormatUnixSeconds(int64_t microseconds);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_UPLOAD_PARAMS_H_
