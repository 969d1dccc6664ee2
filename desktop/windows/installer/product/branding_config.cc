#include "desktop/windows/installer/product/branding_config.h"

#include <windows.h>

#include <atomic>

#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/values.h"
#include "desktop/windows/installer/host/resource_ids.h"

namespace installer {

namespace {

// Present only in test runs of the browser's test framework.
constexpr wchar_t kTestFrameworkModule[] = L"_testriglib.pyd";

std::atomic<const base::DictionaryValue*> g_override{nullptr};

std::string ReadTextResource(HMODULE module) {
  HRSRC resource =
      ::FindResourceW(module, MAKEINTRESOURCEW(IDR_BRANDING), L"TXT");
  if (!resource)
    return std::string();
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = ::SizeofResource(module, resource);
  if (!data || size == 0)
    return std::string();
  return std::string(static_cast<const char*>(data), size);
}

const base::DictionaryValue& LoadDocument() {
  // Destroyed by the runtime at process exit; never reloaded.
  static const std::unique_ptr<base::DictionaryValue> document = [] {
    std::unique_ptr<base::DictionaryValue> parsed =
        BrandingConfig::Parse(LoadBrandingText());
    if (!parsed) {
      LOG(ERROR) << "The branding resource is missing or is not a JSON "
                    "object; every branding value is empty";
      parsed = std::make_unique<base::DictionaryValue>();
    }
    return parsed;
  }();
  return *document;
}

std::string GetStringValue(const char* key) {
  return BrandingConfig::GetString(BrandingConfig::GetInstance(), key);
}

bool GetBooleanValue(const char* key) {
  return BrandingConfig::GetBoolean(BrandingConfig::GetInstance(), key);
}

int GetIntegerValue(const char* key) {
  return BrandingConfig::GetInteger(BrandingConfig::GetInstance(), key);
}

}  // namespace

// static
const base::DictionaryValue& BrandingConfig::GetInstance() {
  if (const base::DictionaryValue* override_document = g_override.load())
    return *override_document;
  return LoadDocument();
}

// static
std::string BrandingConfig::GetString(const base::DictionaryValue& document,
                                      const std::string& path) {
  std::string value;
  if (!document.GetString(path, &value))
    return std::string();
  return value;
}

// static
bool BrandingConfig::GetBoolean(const base::DictionaryValue& document,
                                const std::string& path) {
  bool value = false;
  return document.GetBoolean(path, &value) && value;
}

// static
int BrandingConfig::GetInteger(const base::DictionaryValue& document,
                               const std::string& path) {
  int value = 0;
  if (!document.GetInteger(path, &value))
    return 0;
  return value;
}

// static
std::unique_ptr<base::DictionaryValue> BrandingConfig::Parse(
    const std::string& text) {
  return base::DictionaryValue::From(base::JSONReader::Read(text));
}

BrandingConfig::ScopedOverrideForTesting::ScopedOverrideForTesting(
    const std::string& json_text)
    : document_(Parse(json_text)) {
  if (!document_)
    document_ = std::make_unique<base::DictionaryValue>();
  previous_ = g_override.exchange(document_.get());
}

BrandingConfig::ScopedOverrideForTesting::~ScopedOverrideForTesting() {
  g_override.store(previous_);
}

std::string LoadBrandingText() {
  std::string text = ReadTextResource(::GetModuleHandleW(nullptr));
  if (!text.empty())
    return text;
  // Deliberately left loaded: the resource data lives in the module.
  HMODULE test_module = ::LoadLibraryW(kTestFrameworkModule);
  if (!test_module)
    return std::string();
  return ReadTextResource(test_module);
}

std::string GetCompanyName() {
  return GetStringValue("company_name");
}
std::string GetCrashLogProductSuffix() {
  return GetStringValue("crash_log_product_sufix");
}
std::string GetCrashUploadProductName() {
  return GetStringValue("crash_upload_socorro_product_name");
}
std::string GetDefaultProfilePathTemplate() {
  return GetStringValue("default_profile_path_template");
}
std::string GetAllowedDomain() {
  return GetStringValue("domain");
}
std::string GetExpectedSigner() {
  return GetStringValue("expected_signer");
}
std::string GetFileNameBase() {
  return GetStringValue("file_name_base");
}
int GetMajorDelta() {
  return GetIntegerValue("major_delta");
}
std::string GetBrandingProductName() {
  return GetStringValue("product_name");
}
bool ShouldScheduleAutoupdateTask() {
  return GetBooleanValue("schedule_autoupdate_task");
}
int GetScheduledAutoupdateDelayMin() {
  return GetIntegerValue("scheduled_autoupdate_delay_min");
}
std::string GetShortcutSuffix() {
  return GetStringValue("shortcut_suffix");
}
std::string GetBrandingUrl(const std::string& name) {
  return GetStringValue(("urls." + name).c_str());
}
bool UseEngineMajorForMinor() {
  return GetBooleanValue("use_chromium_major_for_minor");
}
std::string GetBrandingUserAgentName() {
  return GetStringValue("user_agent_name");
}
std::string GetVisibleProductName() {
  return GetStringValue("visible_product_name");
}
bool IsWhiteLabeled() {
  return GetBooleanValue("white_labeled");
}

}  // namespace installer
