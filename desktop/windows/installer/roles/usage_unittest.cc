#include "desktop/windows/installer/roles/usage.h"

#include <string>
#include <vector>

#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/roles/usage_console.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const std::vector<std::wstring> kLanguages = {L"en-US", L"de", L"pt-BR"};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(UsageTextTest, HeadRowsLanguagesAndFeatures) {
  std::string text = GetUsageText(kLanguages);
  EXPECT_EQ(0u, text.find("Kelvo Installer 45.0.2531.0 developer\n")) << text;
  EXPECT_TRUE(Contains(text, "    If true, install Kelvo for all users"));
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

TEST(UsageTextTest, ValueFormsOfTheRows) {
  const std::string text = GetUsageText(kLanguages);
  EXPECT_TRUE(Contains(text, "\n  silent\n    Run the installer fully"));
  EXPECT_TRUE(Contains(text, "\n  installfolder=FOLDER\n    Install Kelvo in"));
  EXPECT_TRUE(Contains(text, "\n  language=LANGUAGE\n"));
  EXPECT_TRUE(Contains(text, "\n  allusers=[0|1]\n    "));
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

// Records what the usage text does with its console.
class RecordingConsole : public UsageConsole {
 public:
  explicit RecordingConsole(bool opens) : opens_(opens) {}

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

TEST(PrintUsageTest, PrintsAndWaitsOnlyOnAConsole) {
  RecordingConsole console(true);
  PrintUsage(kLanguages, &console);
  EXPECT_EQ((std::vector<std::string>{"open", "print", "wait"}), console.calls);
  EXPECT_EQ(GetUsageText(kLanguages), console.printed);

  // Without a console nothing is shown and nothing waits for a key.
  RecordingConsole none(false);
  PrintUsage(kLanguages, &none);
  EXPECT_EQ((std::vector<std::string>{"open"}), none.calls);
}

// The SSE2 check's system calls, recorded.
struct Sse2Calls {
  static BOOL WINAPI IsPresent(DWORD feature) {
    feature_asked = feature;
    return present;
  }
  static int WINAPI MessageBox(HWND owner,
                               LPCWSTR text,
                               LPCWSTR caption,
                               UINT type) {
    box = std::wstring(caption) + L": " + text;
    box_type = type;
    box_owner = owner;
    return IDOK;
  }
  static void WINAPI Exit(UINT code) { exit_code = static_cast<int>(code); }

  static inline BOOL present = TRUE;
  static inline DWORD feature_asked = 0;
  static inline std::wstring box;
  static inline UINT box_type = 0;
  static inline HWND box_owner = nullptr;
  static inline int exit_code = -1;
};

TEST(Sse2CheckTest, OnlyAProcessorWithoutSse2IsStopped) {
  const Sse2CheckFunctions functions = {
      &Sse2Calls::IsPresent, &Sse2Calls::MessageBox, &Sse2Calls::Exit};
  CheckSse2Support(functions);
  EXPECT_EQ(static_cast<DWORD>(PF_XMMI64_INSTRUCTIONS_AVAILABLE),
            Sse2Calls::feature_asked);
  EXPECT_TRUE(Sse2Calls::box.empty());
  EXPECT_EQ(-1, Sse2Calls::exit_code);

  Sse2Calls::present = FALSE;
  CheckSse2Support(functions);
  EXPECT_EQ(
      L"Error: This program requires a computer that supports SSE2 "
      L"instructions.",
      Sse2Calls::box);
  EXPECT_EQ(static_cast<UINT>(MB_OK), Sse2Calls::box_type);
  EXPECT_EQ(nullptr, Sse2Calls::box_owner);
  EXPECT_EQ(1, Sse2Calls::exit_code);
}

}  // namespace
}  // namespace installer
