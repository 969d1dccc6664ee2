#include "desktop/windows/crash_reporter/crash_server_urls.h"

#include "base/strings/escape.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/crash_reporter/crash_report_static_info.h"
#include "desktop/windows/crash_reporter/crash_reporter_settings.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/version_info.h"

namespace crash_reporter {

const char kCrashServerUrlEnvVar[] = "KELVO_CRASH_SERVER_URL";
const char kCollectorUrlEnvVar[] = "KELVO_ALTERNATIVE_CRASH_SERVER_URL";

namespace {

struct CrashServerUrls {
  std::wstring crash_server;
  std::wstring collector;
  std::wstring user_agent_suffix;
};

CrashServerUrls& Urls() {
  static CrashServerUrls urls;
  return urls;
}

std::wstring GetUrl(const char* variable, const char* branding_name) {
  std::string url = GetEnvironmentVariableString(variable);
  if (url.empty())
    url = installer::GetBrandingUrl(branding_name);
  return base::UTF8ToWide(url);
}

}  // namespace

void InitCrashServerUrls() {
  CrashServerUrls& urls = Urls();
  urls.collector = GetUrl(kCollectorUrlEnvVar, "crashstats_collector");
  urls.crash_server =
      AppendEmailToUrl(GetUrl(kCrashServerUrlEnvVar, "crash"),
                       CrashReportStaticInfo::GetInstance().email());
  urls.user_agent_suffix = base::UTF8ToWide(installer::GetEditionSuffix());
}

const std::wstring& GetCrashServerUrl() {
  return Urls().crash_server;
}

const std::wstring& GetCollectorUrl() {
  return Urls().collector;
}

const std::wstring& GetUserAgentSuffix() {
  return Urls().user_agent_suffix;
}

std::wstring AppendEmailToUrl(const std::wstring& url,
                              const std::wstring& email) {
  if (email.empty())
    return url;
  // Unescaped, an address holding "&", "#", "+" or a blank would change
  // the request or name someone else.
  return url + (url.find(L'?') == std::wstring::npos ? L"?" : L"&") +
         L"email=" +
         base::UTF8ToWide(base::EscapeQueryParamValue(base::WideToUTF8(email)));
}

}  // namespace crash_reporter
