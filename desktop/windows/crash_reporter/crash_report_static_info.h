// What every report of one reporter says about the machine and the user
// alike, found out once: the system's version and processor, the e-mail
// address the user gave for crash reports, and which crash keys travel as
// which minidump upload parameters.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORT_STATIC_INFO_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORT_STATIC_INFO_H_

#include <map>
#include <string>

namespace crash_reporter {

class CrashReportStaticInfo {
 public:
  CrashReportStaticInfo();
  CrashReportStaticInfo(const CrashReportStaticInfo&) = delete;
  CrashReportStaticInfo& operator=(const CrashReportStaticInfo&) = delete;
  ~CrashReportStaticInfo();

  // The process's instance, made on first use from any thread.
  static const CrashReportStaticInfo& GetInstance();

  // "major.minor.build"; empty when the system does not say.
  const std::string& os_version() const { return os_version_; }
  // "major.minor", empty without a service pack.
  const std::string& os_service_pack_version() const {
    return os_service_pack_version_;
  }
  // Lower-case hexadecimal with "0x": "0x9" for a 64-bit processor.
  const std::string& cpu_architecture() const { return cpu_architecture_; }
  const std::string& cpu_level() const { return cpu_level_; }
  const std::string& cpu_revision() const { return cpu_revision_; }
  // From KELVO_CRASH_EMAIL; empty when unset.
  const std::wstring& email() const { return email_; }
  // Crash key name to minidump upload parameter name.
  const std::map<std::wstring, std::wstring>& key_map() const {
    return key_map_;
  }

 private:
  std::string os_version_;
  std::string os_service_pack_version_;
  std::string cpu_architecture_;
  std::string cpu_level_;
  std::string cpu_revision_;
  std::wstring email_;
  std::map<std::wstring, std::wstring> key_map_;
};

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_REPORT_STATIC_INFO_H_
