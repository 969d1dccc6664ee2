#include "desktop/windows/installer/usage.h"

#include <string>
#include <vector>

#include "desktop/windows/installer/branding_config.h"
#include "desktop/windows/installer/usage_console.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const std::vector<std::wstring> kLanguages = {L"en-US", L"de", L"pt-BR"};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(UsageTextTest, HeadAndSwitchRows) {
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Kelvo Installer 45.0.2531.0 developer\n\n"
                          "The following command line parameters affect the "
                          "behavior of the installer:\n"
                          "  silent\n"
                          "    Run the installer fully unattended. No dialog "
                          "will be displayed in this mode. If it isn't "
                          "running with sufficient privileges, the installer "
                          "will fail instead of prompting the user.\n"
                          "  runimmediately\n"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "\n  installfolder=FOLDER\n"
                       "    Install Kelvo in the specified folder.\n"
                       "  allusers=[0|1]\n"
                       "    If true, install Kelvo for all users on the "
                       "system.\n"
                       "    Default value: True when running from an "
                       "administrative acount.\n"));
  EXPECT_TRUE(Contains(text,
                       "  setdefaultbrowser=[0|1]\n"
                       "    If true, make Kelvo the default browser for this "
                       "user or computer.\n"
                       "    Default value: True for Kelvo Stable.\n"));
  EXPECT_TRUE(Contains(text,
                       "    Default value: False on Window 7 and later. True "
                       "otherwise\n"));
  EXPECT_FALSE(Contains(text, "%s"));
  for (const char* name :
       {"allusers", "copyonly", "singleprofile", "setdefaultbrowser",
        "desktopshortcut", "startmenushortcut", "quicklaunchshortcut",
        "pintotaskbar", "import-browser-data", "enable-stats",
        "enable-installer-stats", "launchbrowser"}) {
    EXPECT_TRUE(Contains(text, std::string("\n  ") + name + "=[0|1]\n"))
        << name;
  }
}

TEST(UsageTextTest, LanguagesAndFeatures) {
  std::string text = GetUsageText(kLanguages);
  const std::string kTail =
      "    Default value: True.\n"
      "\nLanguages available for the language option:\n"
      "en-US, de, pt-BR\n"
      "\nFeatures available through command-line switches:\n"
      "\t--with-feature:installer-experiment-test [Enabled by default: "
      "false]\n"
      "\t--with-feature:installer-hide-from-program-and-features [Enabled by "
      "default: false]\n"
      "\t--with-feature:installer-pref-default-overrides-support [Enabled by "
      "default: true]\n"
      "\t--with-feature:installer-support-x64-download [Enabled by default: "
      "true]\n";
  ASSERT_GE(text.size(), kTail.size());
  EXPECT_EQ(kTail, text.substr(text.size() - kTail.size()));

  EXPECT_TRUE(
      Contains(GetUsageText({}), "for the language option:\n\n\nFeatures"));
}

TEST(UsageTextTest, ProductNameComesFromTheBranding) {
  BrandingConfig::ScopedOverrideForTesting branding(
      "{\"product_name\": \"Other\", \"user_agent_name\": \"QRN\"}");
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Other Installer "));
  EXPECT_TRUE(Contains(text, "    Default value: True for Other Stable.\n"));
  EXPECT_TRUE(Contains(text,
                       "installer-hide-from-program-and-features [Enabled by "
                       "default: true]\n"));
}

class FakeConsole : public UsageConsole {
 public:
  explicit FakeConsole(bool opens) : opens_(opens) {}

  bool Open() override {
    calls.push_back("open");
    return opens_;
  }
  void Print(const std::string& text) override {
    calls.push_back("print");
    printed += text;
  }
  void WaitForKey() override { calls.push_back("wait"); }

  std::vector<std::string> calls;
  std::string printed;

 private:
  const bool opens_;
};

TEST(PrintUsageTest, PrintsThenWaitsForAKeyOnlyWithAConsole) {
  FakeConsole console(true);
  PrintUsage(kLanguages, &console);
  EXPECT_EQ((std::vector<std::string>{"open", "print", "wait"}), console.calls);
  EXPECT_EQ(GetUsageText(kLanguages), console.printed);

  FakeConsole no_console(false);
  PrintUsage(kLanguages, &no_console);
  EXPECT_EQ(std::vector<std::string>{"open"}, no_console.calls);
}

// What the fake system calls of the SSE2 check saw.
struct Sse2Calls {
  DWORD asked_feature = 0;
  int message_boxes = 0;
  HWND owner = reinterpret_cast<HWND>(1);
  std::wstring text;
  std::wstring caption;
  UINT type = 0;
  int exits = 0;
  UINT exit_code = 0;
};
Sse2Calls g_sse2_calls;
bool g_has_sse2 = false;

BOOL WINAPI FakeIsProcessorFeaturePresent(DWORD feature) {
  g_sse2_calls.asked_feature = feature;
  return g_has_sse2;
}
int WINAPI FakeMessageBox(HWND owner,
                          LPCWSTR text,
                          LPCWSTR caption,
                          UINT type) {
  ++g_sse2_calls.message_boxes;
  g_sse2_calls.owner = owner;
  g_sse2_calls.text = text;
  g_sse2_calls.caption = caption;
  g_sse2_calls.type = type;
  return IDOK;
}
void WINAPI FakeExitProcess(UINT exit_code) {
  ++g_sse2_calls.exits;
  g_sse2_calls.exit_code = exit_code;
}

constexpr Sse2CheckFunctions kFakeSse2Functions = {
    &FakeIsProcessorFeaturePresent, &FakeMessageBox, &FakeExitProcess};

TEST(CheckSse2SupportTest, RefusesAProcessorWithoutSse2) {
  g_sse2_calls = Sse2Calls();
  g_has_sse2 = false;
  CheckSse2Support(kFakeSse2Functions);
  EXPECT_EQ(static_cast<DWORD>(PF_XMMI64_INSTRUCTIONS_AVAILABLE),
            g_sse2_calls.asked_feature);
  EXPECT_EQ(1, g_sse2_calls.message_boxes);
  EXPECT_EQ(nullptr, g_sse2_calls.owner);
  EXPECT_EQ(
      L"This program requires a computer that supports SSE2 "
      L"instructions.",
      g_sse2_calls.text);
  EXPECT_EQ(L"Error", g_sse2_calls.caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK), g_sse2_calls.type);
  EXPECT_EQ(1, g_sse2_calls.exits);
  EXPECT_EQ(1u, g_sse2_calls.exit_code);
}

TEST(CheckSse2SupportTest, SilentWithSse2) {
  g_sse2_calls = Sse2Calls();
  g_has_sse2 = true;
  CheckSse2Support(kFakeSse2Functions);
  EXPECT_EQ(0, g_sse2_calls.message_boxes);
  EXPECT_EQ(0, g_sse2_calls.exits);
  // And this process, which loaded the check, is still here.
  CheckSse2Support();
}

}  // namespace
}  // namespace installer
