// Asks the crash server for the id of a crash before its text log is sent,
// with a plain GET: the server answers "303 See Other" with a Location that
// holds the id, "503" when it wants no text log of this crash, or anything
// else when it has no id to give. The redirect is never followed.
//
// The crashed process stays frozen while the reporter asks, so the whole
// request, the server's reply included, ends within its time-out.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_ID_REQUEST_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_ID_REQUEST_H_

#include <string>

namespace crash_reporter {

enum CrashIdResult {
  kCrashIdReceived = 0,
  // The server answered 503: keep the text log to yourself.
  kCrashIdServerBusy = 1,
  kCrashIdFailed = 2,
};

// The user agent of the crash server's requests, before the edition suffix.
extern const wchar_t kCrashServerUserAgent[];

// GETs the crash server URL (GetCrashServerUrl). |url_header| and |origin|,
// when not empty, go along as "X-Kelvo-Crash-URL" and "X-Origin". On
// kCrashIdReceived, |crash_id| holds the text between "?id=" and the next
// "&" of the reply's Location, and |location| the whole Location. With
// |timeout_ms| above 0 the call returns kCrashIdFailed once that much time
// has passed without an answer.
CrashIdResult RequestCrashId(const std::wstring& url_header,
                             const std::wstring& origin,
                             std::wstring* crash_id,
                             std::wstring* location,
                             int timeout_ms);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_ID_REQUEST_H_
