// Reading back what the reporter sent to the loopback crash servers.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_TEST_CRASH_UPLOAD_TEST_UTIL_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_TEST_CRASH_UPLOAD_TEST_UTIL_H_

#include <string>
#include <utility>
#include <vector>

#include "testing/servers/http_test_server.h"

namespace crash_reporter {

// The one entry of a zip archive: false unless |zip| holds exactly one
// deflated entry whose sizes and CRC match its data.
bool ReadSingleEntryZip(const std::string& zip,
                        std::string* name,
                        std::string* content);

// The text fields of a recorded form, in the order they were sent.
std::vector<std::pair<std::string, std::string>> GetFormFields(
    const test_server::RecordedRequest& request);

// The form's file parts, in order.
std::vector<test_server::FormPart> GetFileParts(
    const test_server::RecordedRequest& request);

// The recorded requests of |method|.
std::vector<test_server::RecordedRequest> FilterRequests(
    const std::vector<test_server::RecordedRequest>& requests,
    const std::string& method);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_TEST_CRASH_UPLOAD_TEST_UTIL_H_
