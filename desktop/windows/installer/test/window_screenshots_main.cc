// Walks the installer window through its pages in a few languages and saves
// a PNG of each page, for the documentation and for people to look at:
//
//   installer_window_screenshots.exe OUTPUT_FOLDER [LANGUAGE...]
//
// writes OUTPUT_FOLDER\LANGUAGE_PAGE.png for the pages welcome, options,
// terms, progress, error and uninstall. Without languages: en-US, he and
// zh-CN (left to right, right to left, and CJK). Needs a display. Exits
// with 0 when every picture was saved.

#include <windows.h>

#include <richedit.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/window_capture.h"
#include "desktop/windows/installer/ui/installer_window.h"
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
  auto settings =
      std::make_unique<Settings>(uninstall, false, false, folder, false, 1);
  settings->SetLanguage(language);
  while (settings->IsStatusPending())
    test::PumpUntilIdle(nullptr);
  return settings;
}

void Command(HWND dialog, int id) {
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// What the terms line's rich edit sends when its link is clicked.
void ClickTermsLink(HWND dialog) {
  ENLINK link = {};
  link.nmhdr.hwndFrom = ::GetDlgItem(dialog, IDC_TERMS_LINE);
  link.nmhdr.idFrom = IDC_TERMS_LINE;
  link.nmhdr.code = EN_LINK;
  link.msg = WM_LBUTTONUP;
  const int length = ::GetWindowTextLengthW(link.nmhdr.hwndFrom);
  link.chrg = {length - 2, length - 1};
  ::SendMessageW(dialog, WM_NOTIFY, IDC_TERMS_LINE,
                 reinterpret_cast<LPARAM>(&link));
}

void ShootLanguage(const std::wstring& language,
                   const base::FilePath& install_folder,
                   ScreenshotTaker* taker) {
  {
    std::unique_ptr<Settings> settings =
        MakeSettings(false, install_folder, language);
    InstallerStats stats;
    std::unique_ptr<InstallerWindow> window =
        InstallerWindow::Init(settings.get(), stats.root(), false);
    if (!window) {
      LOG(ERROR) << "No window";
      return;
    }
    HWND dialog = window->hwnd();
    taker->Shoot(dialog, language, "welcome");
    Command(dialog, IDC_OPTIONS_BUTTON);
    taker->Shoot(dialog, language, "options");
    Command(dialog, IDC_BACK_BUTTON);
    ClickTermsLink(dialog);
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
  InstallerStats stats;
  std::unique_ptr<InstallerWindow> window =
      InstallerWindow::Init(settings.get(), stats.root(), false);
  if (window)
    taker->Shoot(window->hwnd(), language, "uninstall");
}

int Run() {
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine::StringVector args =
      base::CommandLine::ForCurrentProcess()->GetArgs();
  if (args.empty()) {
    LOG(ERROR) << "usage: installer_window_screenshots OUTPUT [LANGUAGE...]";
    return 2;
  }
  base::AtExitManager at_exit;
  base::win::ScopedCOMInitializer com;
  base::MessageLoopForUI loop;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR gdiplus = 0;
  Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
  const base::FilePath folder(args[0]);
  base::CreateDirectory(folder);
  std::vector<std::wstring> languages(args.begin() + 1, args.end());
  if (languages.empty())
    languages = {L"en-US", L"he", L"zh-CN"};
  base::ScopedTempDir temp;
  if (!temp.CreateUniqueTempDir())
    return 1;
  ScreenshotTaker taker(folder);
  for (const std::wstring& language : languages)
    ShootLanguage(language, temp.GetPath().Append(L"Kelvo"), &taker);
  Gdiplus::GdiplusShutdown(gdiplus);
  return taker.ok() ? 0 : 1;
}

}  // namespace
}  // namespace installer

int wmain() {
  return installer::Run();
}
