#include "components/crash_report/test/crashed_child.h"

#include <windows.h>

#include <map>
#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/win/scoped_handle.h"

namespace crash_report {

namespace {

constexpr DWORD kCrashTimeoutMs = 30000;
int g_child_count = 0;

std::wstring ChildPath() {
  wchar_t self[MAX_PATH];
  std::wstring path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  path.resize(path.rfind(L'\\') + 1);
  return path + L"crash_report_test_child.exe";
}

}  // namespace

CrashedChild::CrashedChild() = default;

CrashedChild::~CrashedChild() {
  if (process_.IsValid())
    process_.Terminate(1, true);
}

bool CrashedChild::Start(int threads, uint32_t assertion_type) {
  if (!dir_.CreateUniqueTempDir())
    return false;
  base::FilePath report = dir_.GetPath().AppendASCII("report.txt");
  std::wstring event_name = L"KelvoCrashReportTestChild" +
                            base::NumberToString16(::GetCurrentProcessId()) +
                            L"_" + base::NumberToString16(++g_child_count);
  base::win::ScopedHandle crashed(
      ::CreateEventW(nullptr, TRUE, FALSE, event_name.c_str()));
  process_ = base::LaunchProcess(
      L"\"" + ChildPath() + L"\" \"" + report.value() + L"\" " + event_name +
          L" " + base::NumberToString16(threads) + L" " +
          base::NumberToString16(assertion_type),
      base::LaunchOptions());
  if (!crashed.IsValid() || !process_.IsValid())
    return false;
  HANDLE waits[] = {crashed.Get(), process_.Handle()};
  if (::WaitForMultipleObjects(2, waits, FALSE, kCrashTimeoutMs) !=
      WAIT_OBJECT_0) {
    LOG(ERROR) << "The test child did not crash as planned";
    return false;
  }
  std::string text;
  if (!base::ReadFileToString(report, &text))
    return false;
  std::map<std::string, uint64_t> values;
  for (const auto& line : base::SplitString(text, "\n", base::TRIM_WHITESPACE,
                                            base::SPLIT_WANT_NONEMPTY)) {
    size_t equals = line.find('=');
    uint64_t value = 0;
    if (equals != std::string::npos &&
        base::HexStringToUInt64(line.substr(equals + 1), &value)) {
      values[line.substr(0, equals)] = value;
    }
  }
  pointers_ = values["pointers"];
  thread_ = values["thread"];
  record_ = values["record"];
  marker_ = values["marker"];
  tid_ = static_cast<uint32_t>(values["tid"]);
  return pointers_ && thread_ && record_ && marker_ && tid_;
}

}  // namespace crash_report
