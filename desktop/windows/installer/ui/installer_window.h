// The interactive installer's window: a modeless main dialog (template 101
// of the host executable) with the options panel (template 138) laid over
// it. It shows one page at a time (welcome, uninstall, terms, options,
// progress, error), lets the user change the Settings (language, install
// mode, folder, options; the folder also on the welcome page, when the
// template puts a path box there), and tells its delegates when the user
// accepts, cancels or asks for the full installer. Every page change is
// recorded in the statistics as the page sequence.
//
//   std::unique_ptr<InstallerWindow> window =
//       InstallerWindow::Init(&settings, stats.root(), run_immediately);
//   if (!window) ...;  // Logged.
//   window->AddObserver(controller);
//   window->StartProgress(position, maximum, false);
//
// The dialogs are modeless: their messages reach them through the UI run
// loop and the Win32DialogDispatcher. Everything runs on the UI thread.
// Delegates are called from inside the window's message handling and must
// not delete the window synchronously; code of the window that runs after
// a modal loop (message box, folder dialog) checks that it still exists.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/memory/weak_ptr.h"
#include "base/observer_list.h"
#include "desktop/windows/installer/installer_stats_node.h"
#include "desktop/windows/installer/settings_observer.h"
#include "desktop/windows/installer/ui/installer_window_delegate.h"
#include "desktop/windows/installer/ui/resource_image.h"
#include "desktop/windows/installer/ui/rich_text_links.h"
#include "desktop/windows/installer/ui/scoped_gdi_object.h"

namespace installer {

class Settings;

class InstallerWindow : public SettingsObserver {
 public:
  enum Page : int {
    PAGE_WELCOME = 0,
    PAGE_UNINSTALL = 1,
    PAGE_TOS = 2,
    PAGE_OPTIONS = 3,
    PAGE_PROGRESS = 4,
    PAGE_ERROR = 5,
    PAGE_NONE = 6,
  };

  // A path box with its browse button (defined with the window's code).
  struct PathBox;

  // The name a page has in the statistics; "invalid" for any other value.
  static const char* GetPageName(int page);

  // Creates and shows the window for |settings|, recording into |stats|.
  // In |run_immediately| mode the window starts on the progress page and
  // leaves the settings alone. Null (logged) when the dialogs cannot be
  // created.
  static std::unique_ptr<InstallerWindow> Init(Settings* settings,
                                               InstallerStatsNode stats,
                                               bool run_immediately);

  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;
  ~InstallerWindow() override;

  void AddObserver(InstallerWindowDelegate* delegate);
  void RemoveObserver(InstallerWindowDelegate* delegate);

  // The progress text of the controller's |phase| (0 to 5).
  void SetPhase(int phase);
  // Shows the progress page with an empty bar running from |position| to
  // |maximum|, or a marquee.
  void StartProgress(int position, int maximum, bool marquee);
  // Moves the bar forward to |position|: in single steps when close, at once
  // when far; never backwards.
  void SetProgress(int position);
  // Shows the error page with |message|; |detail| goes to the statistics.
  void ShowError(const std::wstring& message,
                 bool offer_full_installer,
                 const std::string& detail);
  // An error message box; closing it cancels the installation.
  void ShowErrorMessageBox(const std::wstring& message);
  // Takes the window off the screen; it is deleted later.
  void Hide();

  // The main dialog: the owner of dialogs that others open for the window.
  HWND hwnd() const { return main_dialog_; }
  HWND options_hwnd() const { return options_dialog_; }
  Page current_page() const { return current_page_; }

  // SettingsObserver:
  void OnOptionChanged() override;
  void OnLanguageChanged() override;
  void OnPathChanged() override;

 private:
  struct Fonts {
    ScopedFont normal;
    ScopedFont bold;
    ScopedFont heading;
    ScopedFont headline;
  };

  InstallerWindow(Settings* settings,
                  InstallerStatsNode stats,
                  bool run_immediately);

  bool Create();
  bool uninstalling() const;

  // The procedure of either dialog, and the subclasses of single controls.
  template <void (InstallerWindow::*init)(HWND),
            INT_PTR (InstallerWindow::*handle)(UINT, WPARAM, LPARAM)>
  static INT_PTR CALLBACK
  DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK BannerProc(HWND control,
                                     UINT message,
                                     WPARAM wparam,
                                     LPARAM lparam,
                                     UINT_PTR id,
                                     DWORD_PTR data);
  static LRESULT CALLBACK NoCaretProc(HWND control,
                                      UINT message,
                                      WPARAM wparam,
                                      LPARAM lparam,
                                      UINT_PTR id,
                                      DWORD_PTR data);
  // The subclass procedures as they are installed: under the process's
  // window-procedure filter.
  static const SUBCLASSPROC kWrappedBannerProc;
  static const SUBCLASSPROC kWrappedNoCaretProc;
  INT_PTR OnMainMessage(UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnOptionsMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void InitMainDialog(HWND dialog);
  void InitOptionsDialog(HWND dialog);
  // Makes the browse button of |box| as tall as its path box.
  void AlignBrowseButton(const PathBox& box);
  void CreateFonts();
  void OnMainCommand(int id, int code);
  void OnOptionsCommand(int id, int code);
  bool OnMainNotify(const NMHDR* header);

  // Pages.
  void SetPage(Page page);
  void FocusPageControl();
  void RecordNavigation(const char* action);
  void IncrementCounter(const char* key);

  // Texts.
  void Retext();
  void RefreshTexts();
  void SetHeadline();
  void SetTermsLine(const std::wstring& accept_text);
  void FillLanguageList();
  void FillInstallModeList();
  void FillPathList(const PathBox& box);
  void UpdateTooltip();
  void WidenFullInstallerButton();

  // The user's changes.
  void OnCheckBoxClicked(int id);
  void OnInstallModeSelected();
  void OnLanguageSelected();
  void OnPathBoxCommand(const PathBox& box, int id, int code);
  void OnPathChosen(const PathBox& box, bool edited);
  void BrowseForFolder(const PathBox& box);
  void ConfirmCancel();
  void NotifyAccept();
  void NotifyCancel();

  // Painting.
  void ComposeBackground();
  void PaintBanner(HWND banner);
  HBRUSH OnControlColor(HWND dialog, HDC dc, HWND control);

  // A control of either dialog, or null.
  HWND GetControl(int id) const;
  void SetControlText(int id, const std::wstring& text);
  void ShowControl(int id, bool show);
  void EnableControl(int id, bool enable);
  void SetCheck(int id, bool checked);
  bool IsChecked(int id) const;
  void SetShield(int id, bool shield);
  void Repaint(HWND control);

  Settings* const settings_;
  const bool run_immediately_;
  HWND main_dialog_ = nullptr;
  HWND options_dialog_ = nullptr;
  HWND tooltip_ = nullptr;
  Fonts fonts_;
  const std::vector<std::wstring> languages_;
  base::ObserverList<InstallerWindowDelegate> delegates_;
  ResourceImage logo_;
  ResourceImage error_badge_;
  ResourceImage background_;
  ScopedBitmap composed_background_;
  SIZE composed_size_ = {0, 0};
  bool error_page_shown_ = false;
  Page current_page_ = PAGE_NONE;
  // Pattern brushes cut from the composed background for controls drawn
  // over it while visual styles are on.
  std::map<HWND, ScopedBrush> control_brushes_;
  ScopedBrush white_brush_;
  LinkedText terms_line_;
  // Set while the window fills a list itself: the list's notifications are
  // not the user's.
  bool filling_list_ = false;
  InstallerStatsNode stats_;
  std::optional<InstallerStatsNode> page_node_;

  base::WeakPtrFactory<InstallerWindow> weak_factory_{this};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALLER_WINDOW_H_
