#include "desktop/windows/installer/roles/usage.h"

#include <memory>

#include "base/features/feature_registry.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/product/installer_features.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/roles/usage_console.h"

namespace installer {

namespace {

// "%s" in descriptions and defaults stands for the product name.
struct UsageRow {
  const char* name;
  const char* placeholder;
  const char* description;
  const char* default_value;
};

constexpr char kBoolValue[] = "[0|1]";

const UsageRow kUsageRows[] = {
    {switches::kSilent, nullptr,
     "Run the installer fully unattended. No dialog will be displayed in "
     "this mode. If it isn't running with sufficient privileges, the "
     "installer will fail instead of prompting the user.",
     nullptr},
    {switches::kRunimmediately, nullptr,
     "Run the installer mostly unattended. The installation will start "
     "immediately and the progress dialog will be displayed. The installer "
     "will prompt the user for elevation if needed.",
     nullptr},
    {switches::kLanguage, "LANGUAGE",
     "Install %s in the specified language.This language will also be used "
     "during installation.",
     "The Operating system UI language."},
    {switches::kInstallfolder, "FOLDER", "Install %s in the specified folder.",
     nullptr},
    {switches::kAllusers, kBoolValue,
     "If true, install %s for all users on the system.",
     "True when running from an administrative acount."},
    {switches::kCopyonly, kBoolValue,
     "If true, the installer will only copy the files to the installation "
     "folder and will otherwise not perform any modification on the system.",
     "False."},
    {switches::kSingleprofile, kBoolValue,
     "If true, the installer will set up %s to use a singleprofile located "
     "in the installation folder.",
     "False."},
    {switches::kSetdefaultbrowser, kBoolValue,
     "If true, make %s the default browser for this user or computer.",
     "True for %s Stable."},
    {switches::kDesktopshortcut, kBoolValue,
     "If true, create a shortcut for %s on the desktop.", "True."},
    {switches::kStartmenushortcut, kBoolValue,
     "If true, create a shortcut for %s on the start menu.", "True."},
    {switches::kQuicklaunchshortcut, kBoolValue,
     "If true, create a shortcut for %s on the quick launch menu.",
     "False on Window 7 and later. True otherwise"},
    {switches::kPintotaskbar, kBoolValue, "If true, pin %s to the taskbar.",
     "True on Window 7 and later. False otherwise."},
    {switches::kImportBrowserData, kBoolValue,
     "If true, %s is set up to import user data from the previously default "
     "browser when creating new user profiles.",
     "True."},
    {switches::kEnableStats, kBoolValue,
     "If true, %s will by default gather and report statistics.", "True."},
    {switches::kEnableInstallerStats, kBoolValue,
     "If true, installer will by default gather and report statistics.",
     "True."},
    {switches::kLaunchbrowser, kBoolValue,
     "If true, %s is launched once the installation is completed.", "True."},
};

std::string WithProductName(const char* text) {
  std::string result = text;
  base::ReplaceSubstringsAfterOffset(&result, 0, "%s", GetProductName());
  return result;
}

void AppendUsageRow(const UsageRow& row, std::string* text) {
  base::StringAppendF(text, "  %s", row.name);
  if (row.placeholder)
    base::StringAppendF(text, "=%s", row.placeholder);
  base::StringAppendF(text, "\n    %s\n",
                      WithProductName(row.description).c_str());
  if (row.default_value) {
    base::StringAppendF(text, "    Default value: %s\n",
                        WithProductName(row.default_value).c_str());
  }
}

void AppendFeatures(std::string* text) {
  text->append("\nFeatures available through command-line switches:\n");
  size_t count = 0;
  const FeatureRow* rows = GetInstallerFeatures(&count);
  for (size_t i = 0; i < count; ++i) {
    base::StringAppendF(text, "\t--%s [Enabled by default: %s]\n",
                        GetFeatureSwitchName(rows[i].name).c_str(),
                        IsFeatureEnabledByDefault(rows[i]) ? "true" : "false");
  }
}

constexpr Sse2CheckFunctions kSystemSse2CheckFunctions = {
    &::IsProcessorFeaturePresent, &::MessageBoxW, &::ExitProcess};

// Any code of the library may have been compiled with SSE2, so the check
// runs when the library is loaded, before any export is called.
[[maybe_unused]] const bool g_sse2_checked = (CheckSse2Support(), true);

}  // namespace

std::string GetUsageText(const std::vector<std::wstring>& available_languages) {
  std::string text =
      base::StringPrintf("%s Installer %s %s\n\n", GetProductName().c_str(),
                         GetProductVersion().c_str(), GetStream().c_str());
  text.append(
      "The following command line parameters affect the behavior of the "
      "installer:\n");
  for (const UsageRow& row : kUsageRows)
    AppendUsageRow(row, &text);
  base::StringAppendF(&text, "\nLanguages available for the %s option:\n",
                      switches::kLanguage);
  base::StringAppendF(
      &text, "%s\n",
      base::WideToUTF8(base::JoinString(available_languages, L", ")).c_str());
  AppendFeatures(&text);
  return text;
}

void PrintUsage(const std::vector<std::wstring>& available_languages) {
  std::unique_ptr<UsageConsole> console = CreateSystemUsageConsole();
  PrintUsage(available_languages, console.get());
}

void PrintUsage(const std::vector<std::wstring>& available_languages,
                UsageConsole* console) {
  if (!console->Open())
    return;
  console->Print(GetUsageText(available_languages));
  console->WaitForKey();
}

void CheckSse2Support() {
  CheckSse2Support(kSystemSse2CheckFunctions);
}

void CheckSse2Support(const Sse2CheckFunctions& functions) {
  if (functions.is_processor_feature_present(PF_XMMI64_INSTRUCTIONS_AVAILABLE))
    return;
  functions.message_box(nullptr,
                        L"This program requires a computer that supports SSE2 "
                        L"instructions.",
                        L"Error", MB_OK);
  functions.exit_process(1);
}

}  // namespace installer
