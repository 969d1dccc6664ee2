// Reads a table of crash keys as the reporter got it out of a crashed
// process: the names and values are the client's, so each is read only up
// to its terminator or the end of its array.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_READER_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_READER_H_

#include <string>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_reporter {

// The text of a key's name or value array.
std::wstring GetCrashKeyName(const crash_handler::CustomInfoEntry& entry);
std::wstring GetCrashKeyText(const crash_handler::CustomInfoEntry& entry);

// The first entry called |name|, or null.
const crash_handler::CustomInfoEntry* FindCrashKey(
    const crash_handler::CustomClientInfo& keys,
    const wchar_t* name);

// The value of the first entry called |name|; false when there is none.
bool GetCrashKeyValue(const crash_handler::CustomClientInfo& keys,
                      const wchar_t* name,
                      std::wstring* value);

// The values of every entry called |name| in entry order: a value spread
// over a range of entries, rejoined. False when that gives empty text.
bool GetJoinedCrashKeyValue(const crash_handler::CustomClientInfo& keys,
                            const wchar_t* name,
                            std::wstring* value);

// Whether the process said it is the browser.
bool IsBrowserProcessType(const crash_handler::CustomClientInfo& keys);

// Where the crashed process ran: "Vorn" for a test-rig test, "Testrig"
// when its origin says so, else empty.
std::wstring GetCrashOrigin(const crash_handler::CustomClientInfo& keys);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_KEY_READER_H_
