// The product's identity (names, company, file names, signer, server
// addresses, a few behaviour switches), read once per process from the JSON
// text resource "TXT" 133 of the host executable and looked up by dotted
// path. Nothing else in the installer hard-codes these values.

#ifndef DESKTOP_WINDOWS_INSTALLER_PRODUCT_BRANDING_CONFIG_H_
#define DESKTOP_WINDOWS_INSTALLER_PRODUCT_BRANDING_CONFIG_H_

#include <memory>
#include <string>

namespace base {
class DictionaryValue;
}

namespace installer {

class BrandingConfig {
 public:
  BrandingConfig() = delete;

  // The process's document, parsed on first use. A missing or malformed
  // resource gives an empty document (logged once); every getter then
  // answers its default.
  static const base::DictionaryValue& GetInstance();

  // Typed lookups by dotted path; a value of another type counts as
  // missing. Integers are JSON integers only (2.0 is missing).
  static std::string GetString(const base::DictionaryValue& document,
                               const std::string& path);
  static bool GetBoolean(const base::DictionaryValue& document,
                         const std::string& path);
  static int GetInteger(const base::DictionaryValue& document,
                        const std::string& path);

  // The document made of |text|, or null when it is not a JSON object.
  static std::unique_ptr<base::DictionaryValue> Parse(const std::string& text);

  // Replaces the process's document until the returned object goes away.
  class ScopedOverrideForTesting {
   public:
    explicit ScopedOverrideForTesting(const std::string& json_text);
    ScopedOverrideForTesting(const ScopedOverrideForTesting&) = delete;
    ScopedOverrideForTesting& operator=(const ScopedOverrideForTesting&) =
        delete;
    ~ScopedOverrideForTesting();

   private:
    std::unique_ptr<base::DictionaryValue> document_;
    const base::DictionaryValue* previous_;
  };
};

// The raw resource text; empty when neither the main module nor the test
// framework's module carries it.
std::string LoadBrandingText();

std::string GetCompanyName();
std::string GetCrashLogProductSuffix();
std::string GetCrashUploadProductName();
std::string GetDefaultProfilePathTemplate();
std::string GetAllowedDomain();
std::string GetExpectedSigner();
std::string GetFileNameBase();
int GetMajorDelta();
std::string GetBrandingProductName();
bool ShouldScheduleAutoupdateTask();
int GetScheduledAutoupdateDelayMin();
std::string GetShortcutSuffix();
// The entry |name| of "urls", e.g. "autoupdate".
std::string GetBrandingUrl(const std::string& name);
bool UseEngineMajorForMinor();
std::string GetBrandingUserAgentName();
std::string GetVisibleProductName();
bool IsWhiteLabeled();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PRODUCT_BRANDING_CONFIG_H_
