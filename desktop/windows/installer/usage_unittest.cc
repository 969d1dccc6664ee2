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

TEST(UsageTextTest, HeadRowsLanguagesAndFeatures) {
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Kelvo Installer 45.0.2531.0 developer\n\n"
                          "The following command line parameters affect the "
                          "behavior of the installer:\n"
                          "  silent\n"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "\n  allusers=[0|1]\n"
                       "    If true, install Kelvo for all users on the "
                       "system.\n"
                       "    Default value: True when running from an "
                       "administrative acount.\n"));
  EXPECT_FALSE(Contains(text, "%s"));
  EXPECT_TRUE(Contains(text,
                       "\nLanguages available for the language option:\n"
                       "en-US, de, pt-BR\n"
                       "\nFeatures available through command-line switches:\n"
                       "\t--with-feature:installer-experiment-test [Enabled by "
                       "default: false]\n"));
  EXPECT_TRUE(
      Contains(GetUsageText({}), "for the language option:\n\n\nFeatures"));
}

TEST(UsageTextTest, ProductNameAndFeatureDefaultsComeFromTheBranding) {
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
  std::wstring text;
  int exits = 0;
  UINT exit_code = 0;
};
Sse2Calls g_sse2_calls;

BOOL WINAPI FakeIsProcessorFeaturePresent(DWORD feature) {
  g_sse2_calls.asked_feature = feature;
  return FALSE;
}
int WINAPI FakeMessageBox(HWND owner,
                          LPCWSTR text,
                          LPCWSTR caption,
                          UINT type) {
  g_sse2_calls.text = text;
  return IDOK;
}
void WINAPI FakeExitProcess(UINT exit_code) {
  ++g_sse2_calls.exits;
  g_sse2_calls.exit_code = exit_code;
}

constexpr Sse2CheckFunctions kFakeSse2Functions = {
    &FakeIsProcessorFeaturePresent, &FakeMessageBox, &FakeExitProcess};

TEST(CheckSse2SupportTest, RefusesAProcessorWithoutSse2) {
  CheckSse2Support(kFakeSse2Functions);
  EXPECT_EQ(static_cast<DWORD>(PF_XMMI64_INSTRUCTIONS_AVAILABLE),
            g_sse2_calls.asked_feature);
  EXPECT_EQ(
      L"This program requires a computer that supports SSE2 "
      L"instructions.",
      g_sse2_calls.text);
  EXPECT_EQ(1, g_sse2_calls.exits);
  EXPECT_EQ(1u, g_sse2_calls.exit_code);
}

}  // namespace
}  // namespace installer
