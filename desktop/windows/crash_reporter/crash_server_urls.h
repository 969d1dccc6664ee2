// Where crash reports go: the crash server, which hands out crash ids and
// takes text logs, and the crash-statistics collector, which takes
// minidumps. Both come from the branding unless the environment names
// others; they are set once, before any report is sent, and only read
// afterwards.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_SERVER_URLS_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_SERVER_URLS_H_

#include <string>

namespace crash_reporter {

extern const char kCrashServerUrlEnvVar[];
extern const char kCollectorUrlEnvVar[];

// Sets the two addresses and the user agent's suffix.
void InitCrashServerUrls();

// With the user's e-mail address in its query when one was given.
const std::wstring& GetCrashServerUrl();
const std::wstring& GetCollectorUrl();
// " (Edition <stream>)".
const std::wstring& GetUserAgentSuffix();

// |url| with "email=<escaped address>" added to its query (started with
// "?", or joined with "&" when |url| has one already); |url| itself when
// |email| is empty.
std::wstring AppendEmailToUrl(const std::wstring& url,
                              const std::wstring& email);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_SERVER_URLS_H_
