// Walks the installer window through its pages in a few languages and saves
// a PNG of each page, for the documentation and for people to look at:
//
//   installer_window_screenshots.exe OUTPUT_FOLDER [LANGUAGE...]
//
// writes OUTPUT_FOLDER\LANGUAGE_PAGE.png for the pages welcome, options,
// terms, progress, error and uninstall. Without languages: en-US and zh-CN
// (a Latin and a CJK script). Needs a display. Exits with 0 when every
// picture was saved.
//
// Each language is shot by a process of its own, started with the dialog
// fonts of a system set up for that language: Wine's rich edit draws only
// with the font it is given, so CJK texts need a CJK font as the dialog
// font itself, as on a CJK system.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/download_test_util.h"
#include "desktop/windows/installer/test/installer_window_driver.h"
#include "desktop/windows/installer/test/window_capture.h"
#include "desktop/windows/installer/ui/installer_window.h"
#include "desktop/windows/installer/ui/resource_image.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {
namespace {

class ScreenshotTaker {
 public:
  explicit ScreenshotTaker(const base::FilePath& folder) : folder_(folder) {}

  bool ok() const { return ok_; }

  void Shoot(HWND window, const std::wstring& language, const char* page) {
    test::PumpUntilIdle(window);
    const base::FilePath path =
        folder_.Append(language + L"_" + base::UTF8ToWide(page) + L".png");
    if (test::SaveWindowAsPng(window, path))
      LOG(INFO) << "Saved " << path;
    else
      ok_ = false;
  }

 private:
  const base::FilePath folder_;
  bool ok_ = true;
};

std::unique_ptr<Settings> MakeSettings(bool uninstall,
                                       const base::FilePath& folder,
                                       const std::wstring& language) {
  // Settings of their own, whatever this process was started with.
  const base::CommandLine no_switches(base::CommandLine::NO_PROGRAM);
  auto settings = std::make_unique<Settings>(no_switches, uninstall, false,
                                             false, folder, false, 1);
  settings->SetLanguage(language);
  while (settings->IsStatusPending())
    test::PumpUntilIdle(nullptr);
  return settings;
}

void ShootLanguage(const std::wstring& language,
                   const base::FilePath& install_folder,
                   ScreenshotTaker* taker) {
  {
    // The folder a user is offered: the default one.
    std::unique_ptr<Settings> settings =
        MakeSettings(false, base::FilePath(), language);
    test::RefusingUICallbackRunner no_ui;
    InstallerStats stats(&no_ui);
    std::unique_ptr<InstallerWindow> window =
        InstallerWindow::Init(settings.get(), stats.root(), false);
    if (!window) {
      LOG(ERROR) << "No window";
      return;
    }
    HWND dialog = window->hwnd();
    taker->Shoot(dialog, language, "welcome");
    test::ClickControl(dialog, IDC_OPTIONS_BUTTON);
    taker->Shoot(dialog, language, "options");
    test::ClickControl(dialog, IDC_BACK_BUTTON);
    test::ClickTermsLink(dialog);
    taker->Shoot(dialog, language, "terms");
    window->StartProgress(5, 1303, false);
    window->SetPhase(5);
    window->SetProgress(700);
    taker->Shoot(dialog, language, "progress");
    window->ShowError(l10n::GetLocalizedString(IDS_ERROR_FOLDER_IN_USE), true,
                      "screenshot");
    taker->Shoot(dialog, language, "error");
  }
  std::unique_ptr<Settings> settings =
      MakeSettings(true, install_folder, language);
  test::RefusingUICallbackRunner no_ui;
  InstallerStats stats(&no_ui);
  std::unique_ptr<InstallerWindow> window =
      InstallerWindow::Init(settings.get(), stats.root(), false);
  if (window)
    taker->Shoot(window->hwnd(), language, "uninstall");
}

constexpr char kOneLanguageSwitch[] = "one-language";
constexpr wchar_t kFontSubstitutesKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
const wchar_t* const kDialogFontNames[] = {L"MS Shell Dlg", L"MS Shell Dlg 2",
                                           L"Tahoma", L"Segoe UI"};

// While alive, the dialog fonts stand for |face|; the old entries return
// afterwards.
class ScopedDialogFont {
 public:
  explicit ScopedDialogFont(const wchar_t* face) {
    base::win::RegKey key(HKEY_LOCAL_MACHINE, kFontSubstitutesKey,
                          KEY_READ | KEY_WRITE);
    for (const wchar_t* name : kDialogFontNames) {
      std::wstring old;
      saved_.push_back(key.ReadValue(name, &old) == ERROR_SUCCESS
                           ? std::optional<std::wstring>(old)
                           : std::nullopt);
      key.WriteValue(name, face);
    }
  }
  ScopedDialogFont(const ScopedDialogFont&) = delete;
  ScopedDialogFont& operator=(const ScopedDialogFont&) = delete;
  ~ScopedDialogFont() {
    base::win::RegKey key(HKEY_LOCAL_MACHINE, kFontSubstitutesKey,
                          KEY_READ | KEY_WRITE);
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        key.WriteValue(kDialogFontNames[i], saved_[i]->c_str());
      else
        key.DeleteValue(kDialogFontNames[i]);
    }
  }

 private:
  std::vector<std::optional<std::wstring>> saved_;
};

bool IsCjk(const std::wstring& language) {
  const std::wstring code = base::ToLowerASCII(language);
  return code.rfind(L"zh", 0) == 0 || code == L"ja" || code == L"ko";
}

// Shoots |language| in a process of its own.
bool ShootInChild(const base::FilePath& folder, const std::wstring& language) {
  std::optional<ScopedDialogFont> font;
  if (IsCjk(language))
    font.emplace(L"WenQuanYi Micro Hei");
  base::FilePath self;
  base::PathService::Get(base::FILE_EXE, &self);
  base::CommandLine command_line(self);
  command_line.AppendSwitchNative(kOneLanguageSwitch, language);
  command_line.AppendArgPath(folder);
  base::LaunchOptions options;
  options.wait = true;
  options.wait_timeout = base::TimeDelta::FromSeconds(120);
  base::Process process =
      base::LaunchProcess(command_line.GetCommandLineString(), options);
  int exit_code = -1;
  return process.IsValid() &&
         process.WaitForExitWithTimeout(base::TimeDelta(), &exit_code) &&
         exit_code == 0;
}

int Run() {
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line =
      *base::CommandLine::ForCurrentProcess();
  const base::CommandLine::StringVector args = command_line.GetArgs();
  if (args.empty()) {
    LOG(ERROR) << "usage: installer_window_screenshots OUTPUT [LANGUAGE...]";
    return 2;
  }
  const base::FilePath folder(args[0]);
  if (!command_line.HasSwitch(kOneLanguageSwitch)) {
    base::CreateDirectory(folder);
    std::vector<std::wstring> languages(args.begin() + 1, args.end());
    if (languages.empty())
      languages = {L"en-US", L"zh-CN"};
    bool all_saved = true;
    for (const std::wstring& language : languages) {
      if (!ShootInChild(folder, language)) {
        LOG(ERROR) << "The pictures of " << language << " failed";
        all_saved = false;
      }
    }
    return all_saved ? 0 : 1;
  }
  base::AtExitManager at_exit;
  base::win::ScopedCOMInitializer com;
  base::MessageLoopForUI loop;
  GdiplusSession gdiplus;
  base::ScopedTempDir temp;
  if (!temp.CreateUniqueTempDir())
    return 1;
  l10n::ScopedLanguagesForTesting languages(
      l10n::LoadAvailableLanguages(), l10n::GetSystemPreferredUILanguages());
  const std::wstring language =
      command_line.GetSwitchValueNative(kOneLanguageSwitch);
  ScreenshotTaker taker(folder);
  ShootLanguage(language, temp.GetPath().Append(L"Kelvo"), &taker);
  // A language without a table falls back to another one: pictures of
  // that would be saved under the wrong name.
  if (*l10n::GetCurrentLanguageId() != l10n::LanguageToLCID(language)) {
    LOG(ERROR) << "No string table for " << language;
    return 1;
  }
  return taker.ok() ? 0 : 1;
}

}  // namespace
}  // namespace installer

int wmain() {
  return installer::Run();
}
