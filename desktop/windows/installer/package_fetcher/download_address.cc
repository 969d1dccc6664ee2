#include "desktop/windows/installer/package_fetcher/download_address.h"

#include <memory>

#include "base/command_line.h"
#include "base/json/json_reader.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

const char kInternalTestServerURL[] = "https://autoupdate.kelvo.test/";

std::wstring GetDownloadAddressURL(const base::CommandLine& command_line,
                                   int x64_download) {
  std::string base_url = GetBrandingUrl("autoupdate");
  if (command_line.HasSwitch(switches::kInternalPackageServer)) {
    const std::wstring value =
        command_line.GetSwitchValueNative(switches::kInternalPackageServer);
    if (!value.empty())
      return value;
    base_url = kInternalTestServerURL;
  }
  std::string url = base_url + "netinstaller/" + GetStream();
  if (x64_download == 1)
    url += "/windows/x64/";
  return base::UTF8ToWide(url);
}

DownloadAddressReply::DownloadAddressReply() = default;
DownloadAddressReply::DownloadAddressReply(const DownloadAddressReply& other) =
    default;
DownloadAddressReply& DownloadAddressReply::operator=(
    const DownloadAddressReply& other) = default;
DownloadAddressReply::~DownloadAddressReply() = default;

bool ParseDownloadAddressReply(const std::string& text,
                               bool want_suite,
                               DownloadAddressReply* reply) {
  std::unique_ptr<base::DictionaryValue> json =
      base::DictionaryValue::From(base::JSONReader::Read(text));
  *reply = DownloadAddressReply();
  if (!json || !json->GetString("installer", &reply->installer) ||
      !json->GetString("installer_checksum", &reply->installer_checksum)) {
    return false;
  }
  json->GetString("url_welcome", &reply->welcome_url);
  const base::ListValue* components = nullptr;
  if (!json->GetList("components", &components))
    return true;
  for (const auto& value : *components) {
    const base::DictionaryValue* entry = nullptr;
    std::string type;
    if (!value->GetAsDictionary(&entry) || !entry->GetString("type", &type))
      continue;
    if (type == kPartnerContentType || (want_suite && type == kSuiteType))
      reply->additional_files.push_back(ParseAdditionalFile(*entry));
  }
  return true;
}

}  // namespace installer
