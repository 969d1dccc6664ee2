#include "desktop/windows/installer/ui/installer_window.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <uxtheme.h>

#include <utility>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "base/win/wrapped_window_proc.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration.h"
#include "desktop/windows/installer/status.h"
#include "desktop/windows/installer/ui/installer_message_box.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

struct InstallerWindow::PathBox {
  int combo;
  int browse;
  const char* changed_counter;
  const char* edited_counter;
};

namespace {

constexpr COLORREF kHeadlineColor = 0x2C1BFF;
constexpr COLORREF kLinkColor = 0x686868;
constexpr COLORREF kWarningColor = RGB(0xD0, 0x10, 0x10);
constexpr int kFullInstallerPadding = 30;
// Space kept between the widened full-installer button and Back.
constexpr int kButtonGap = 8;
constexpr UINT_PTR kBannerSubclass = 1;
constexpr UINT_PTR kNoCaretSubclass = 2;

struct PageRow {
  std::vector<int> shown;
  int focus;  // 0: none.
};

// The controls that pages show and hide; any other control stays as it is.
const int kPageControls[] = {
    IDC_BANNER,
    IDC_OPTIONS_BUTTON,
    IDC_CANCEL_BUTTON,
    IDC_ACCEPT_BUTTON,
    IDC_FULL_INSTALLER_BUTTON,
    IDC_TRY_AGAIN_BUTTON,
    IDC_UNINSTALL_BUTTON,
    IDC_HEADLINE,
    IDC_TERMS_LINE,
    IDC_PROGRESS_HEADING,
    IDC_ERROR_HEADING,
    IDC_STATUS_TEXT,
    IDC_TERMS_TEXT,
    IDC_BACK_BUTTON,
    IDC_MAIN_PATH_COMBO,
    IDC_MAIN_BROWSE_BUTTON,
    IDC_PROGRESS_BAR,
    IDC_RED_NOTE,
    IDC_UNINSTALL_QUESTION,
    IDC_DELETE_PROFILE_CHECK,
    IDC_UNINSTALL_ERROR_HEADING,
};

const PageRow& GetPageRow(InstallerWindow::Page page) {
  static const PageRow kRows[] = {
      {{IDC_BANNER, IDC_HEADLINE, IDC_TERMS_LINE, IDC_MAIN_PATH_COMBO,
        IDC_MAIN_BROWSE_BUTTON, IDC_OPTIONS_BUTTON, IDC_ACCEPT_BUTTON},
       IDC_ACCEPT_BUTTON},
      {{IDC_BANNER, IDC_CANCEL_BUTTON, IDC_UNINSTALL_BUTTON,
        IDC_DELETE_PROFILE_CHECK, IDC_UNINSTALL_QUESTION},
       IDC_UNINSTALL_BUTTON},
      {{IDC_TERMS_TEXT, IDC_BACK_BUTTON, IDC_ACCEPT_BUTTON}, IDC_ACCEPT_BUTTON},
      {{IDC_BACK_BUTTON, IDC_ACCEPT_BUTTON}, IDC_ACCEPT_BUTTON},
      {{IDC_BANNER, IDC_PROGRESS_HEADING, IDC_STATUS_TEXT, IDC_PROGRESS_BAR},
       0},
      {{IDC_BANNER, IDC_BACK_BUTTON, IDC_STATUS_TEXT, IDC_ERROR_HEADING,
        IDC_UNINSTALL_ERROR_HEADING, IDC_TRY_AGAIN_BUTTON,
        IDC_FULL_INSTALLER_BUTTON},
       IDC_TRY_AGAIN_BUTTON},
  };
  return kRows[page];
}

struct ControlText {
  int control;
  int string_id;
};

constexpr ControlText kInstallTexts[] = {
    {IDC_OPTIONS_BUTTON, IDS_OPTIONS},
    {IDC_BACK_BUTTON, IDS_BACK},
    {IDC_LANGUAGE_LABEL, IDS_LANGUAGE},
    {IDC_INSTALL_MODE_LABEL, IDS_INSTALL_FOR},
    {IDC_PATH_LABEL, IDS_INSTALL_PATH},
    {IDC_BROWSE_BUTTON, IDS_CHANGE},
    {IDC_MAIN_BROWSE_BUTTON, IDS_CHANGE},
    {IDC_INVALID_PATH_NOTE, IDS_INVALID_INSTALL_PATH},
    {IDC_DEFAULT_BROWSER_CHECK, IDS_MAKE_DEFAULT_BROWSER},
    {IDC_IMPORT_CHECK, IDS_IMPORT_FROM_DEFAULT_BROWSER},
    {IDC_STATS_CHECK, IDS_SHARE_USAGE_DATA},
    {IDC_PROGRESS_HEADING, IDS_THANK_YOU},
    {IDC_ERROR_HEADING, IDS_INSTALL_FAILED},
    {IDC_TRY_AGAIN_BUTTON, IDS_TRY_AGAIN},
    {IDC_FULL_INSTALLER_BUTTON, IDS_GET_FULL_INSTALLER},
    {IDC_CANCEL_BUTTON, IDS_CANCEL},
};

constexpr ControlText kUninstallTexts[] = {
    {IDC_BACK_BUTTON, IDS_BACK},
    {IDC_ERROR_HEADING, IDS_UNINSTALL_FAILED},
    {IDC_UNINSTALL_ERROR_HEADING, IDS_UNINSTALL_FAILED},
    {IDC_TRY_AGAIN_BUTTON, IDS_TRY_AGAIN},
    {IDC_CANCEL_BUTTON, IDS_CANCEL},
    {IDC_UNINSTALL_BUTTON, IDS_UNINSTALL},
    {IDC_UNINSTALL_QUESTION, IDS_UNINSTALL_CONFIRMATION},
    {IDC_DELETE_PROFILE_CHECK, IDS_DELETE_USER_DATA},
};

ScopedFont MakeFont(int points,
                    int weight,
                    DWORD quality,
                    DWORD pitch,
                    const wchar_t* face) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return ScopedFont(::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, weight,
                                  FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS,
                                  quality, pitch, face));
}

void SetFont(HWND control, HFONT font) {
  if (control && font)
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

std::wstring GetText(HWND control) {
  if (!control)
    return std::wstring();
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(length + 1, L'\0');
  text.resize(::GetWindowTextW(control, text.data(), length + 1));
  return text;
}

// The text of item |index| of a combo box.
std::wstring GetComboItemText(HWND combo, LRESULT index) {
  const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR)
    return std::wstring();
  std::wstring text(length + 1, L'\0');
  const LRESULT copied = ::SendMessageW(combo, CB_GETLBTEXT, index,
                                        reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == CB_ERR ? 0 : copied);
  return text;
}

void SetCharFormat(HWND rich_edit,
                   long start,
                   long end,
                   DWORD mask,
                   DWORD effects,
                   COLORREF color) {
  CHARRANGE range = {start, end};
  ::SendMessageW(rich_edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = mask;
  format.dwEffects = effects;
  format.crTextColor = color;
  ::SendMessageW(rich_edit, EM_SETCHARFORMAT, SCF_SELECTION,
                 reinterpret_cast<LPARAM>(&format));
}

void ClearSelection(HWND rich_edit) {
  CHARRANGE range = {0, 0};
  ::SendMessageW(rich_edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// The terms as the host carries them, with Windows line ends.
std::wstring LoadTermsOfService() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource =
      ::FindResourceW(module, MAKEINTRESOURCEW(IDR_TERMS_OF_SERVICE), L"TXT");
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const char* data =
      loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  if (!data) {
    LOG(ERROR) << "The terms of service are missing";
    return std::wstring();
  }
  std::string text(data, ::SizeofResource(module, resource));
  base::ReplaceSubstringsAfterOffset(&text, 0, "\r\n", "\n");
  base::ReplaceSubstringsAfterOffset(&text, 0, "\n", "\r\n");
  return base::UTF8ToWide(text);
}

using PathBox = InstallerWindow::PathBox;

// The path boxes: the options panel's, and the one a template may put on
// the main screen, whose changes the statistics count apart.
const PathBox kPathBoxes[] = {
    {IDC_PATH_COMBO, IDC_BROWSE_BUTTON, "changed_install_path",
     "edited_install_path"},
    {IDC_MAIN_PATH_COMBO, IDC_MAIN_BROWSE_BUTTON,
     "changed_install_path_from_main_screen",
     "edited_install_path_from_main_screen"},
};

// The path box whose combo box or browse button is |id|, or null.
const PathBox* FindPathBox(int id) {
  for (const PathBox& box : kPathBoxes) {
    if (box.combo == id || box.browse == id)
      return &box;
  }
  return nullptr;
}

// Where |control| lies in its parent's client area.
RECT GetControlRect(HWND control) {
  RECT rect = {0, 0, 0, 0};
  if (control && ::GetWindowRect(control, &rect)) {
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control),
                      reinterpret_cast<POINT*>(&rect), 2);
  }
  return rect;
}

void MoveControl(HWND control, const RECT& rect) {
  ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring GetUserNameForDisplay() {
  std::wstring name;
  if (GetUserDisplayName(&name) && !name.empty())
    return name;
  name.clear();
  GetUserName(&name);
  return name;
}

// GDI+ stays up until the process ends: shutting it down and starting it
// again for every window costs seconds under some systems.
void StartGdiplus() {
  static GdiplusSession* session = new GdiplusSession();
  DCHECK(session);
}

HMODULE LoadRichEditLibrary() {
  static HMODULE module = [] {
    HMODULE library = ::LoadLibraryW(L"Msftedit.dll");
    if (!library)
      PLOG(ERROR) << "Loading library Msftedit.dll failed.";
    return library;
  }();
  return module;
}

}  // namespace

// static
const char* InstallerWindow::GetPageName(int page) {
  static const char* const kNames[] = {"WELCOME", "UNINSTALL", "TOS",
                                       "OPTIONS", "PROGRESS",  "ERROR"};
  if (page < 0 || page >= static_cast<int>(std::size(kNames)))
    return "invalid";
  return kNames[page];
}

// static
std::unique_ptr<InstallerWindow> InstallerWindow::Init(Settings* settings,
                                                       InstallerStatsNode stats,
                                                       bool run_immediately) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls)};
  controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                   ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                   ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS |
                   ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS;
  if (!::InitCommonControlsEx(&controls))
    PLOG(ERROR) << "InitCommonControlsEx failed.";
  LoadRichEditLibrary();
  std::unique_ptr<InstallerWindow> window(
      new InstallerWindow(settings, std::move(stats), run_immediately));
  if (!window->Create()) {
    PLOG(ERROR) << "Window creation failed.";
    return nullptr;
  }
  return window;
}

InstallerWindow::InstallerWindow(Settings* settings,
                                 InstallerStatsNode stats,
                                 bool run_immediately)
    : settings_(settings),
      run_immediately_(run_immediately),
      languages_(l10n::LoadAvailableLanguages()),
      white_brush_(::CreateSolidBrush(RGB(255, 255, 255))),
      stats_(std::move(stats)) {
  if (!run_immediately_)
    settings_->AddObserver(this);
}

InstallerWindow::~InstallerWindow() {
  weak_factory_.InvalidateWeakPtrs();
  if (tooltip_)
    ::DestroyWindow(tooltip_);
  if (options_dialog_) {
    ::SetWindowLongPtrW(options_dialog_, DWLP_USER, 0);
    ::DestroyWindow(options_dialog_);
  }
  if (!run_immediately_)
    settings_->RemoveObserver(this);
  if (main_dialog_) {
    Win32DialogDispatcher::GetInstance()->ClearActiveDialog(main_dialog_);
    // Messages sent while the dialog goes away must not reach this object.
    ::SetWindowLongPtrW(main_dialog_, DWLP_USER, 0);
    ::DestroyWindow(main_dialog_);
  }
}

bool InstallerWindow::uninstalling() const {
  return settings_->GetOption(UNINSTALL_FLAG);
}

// static
template <void (InstallerWindow::*init)(HWND),
          INT_PTR (InstallerWindow::*handle)(UINT, WPARAM, LPARAM)>
INT_PTR CALLBACK InstallerWindow::DialogProc(HWND dialog,
                                             UINT message,
                                             WPARAM wparam,
                                             LPARAM lparam) {
  // Messages come before WM_INITDIALOG brings the window along.
  if (message == WM_INITDIALOG) {
    auto* window = reinterpret_cast<InstallerWindow*>(lparam);
    ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    (window->*init)(dialog);
    return FALSE;  // The page decides the focus.
  }
  auto* window = reinterpret_cast<InstallerWindow*>(
      ::GetWindowLongPtrW(dialog, DWLP_USER));
  return window ? (window->*handle)(message, wparam, lparam) : FALSE;
}

bool InstallerWindow::Create() {
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  // The procedures run under the process's window-procedure filter: a
  // crash in them is reported like any other instead of being swallowed
  // by the system's callback guard.
  ::CreateDialogParamW(
      module, MAKEINTRESOURCEW(IDD_INSTALLER_MAIN), nullptr,
      &base::win::WrappedDialogProc<&DialogProc<
          &InstallerWindow::InitMainDialog, &InstallerWindow::OnMainMessage>>,
      reinterpret_cast<LPARAM>(this));
  if (!main_dialog_)
    return false;
  ::CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_INSTALLER_OPTIONS),
                       main_dialog_,
                       &base::win::WrappedDialogProc<
                           &DialogProc<&InstallerWindow::InitOptionsDialog,
                                       &InstallerWindow::OnOptionsMessage>>,
                       reinterpret_cast<LPARAM>(this));
  if (!options_dialog_)
    return false;
  // Run-immediately mode stays on the progress page its dialog chose.
  if (!run_immediately_)
    SetPage(uninstalling() ? PAGE_UNINSTALL : PAGE_WELCOME);
  Retext();
  if (!settings_->IsStatusPending())
    RefreshTexts();
  ::ShowWindow(main_dialog_, SW_SHOW);
  ::SetForegroundWindow(main_dialog_);
  FocusPageControl();
  return true;
}

void InstallerWindow::AddObserver(InstallerWindowDelegate* delegate) {
  delegates_.AddObserver(delegate);
}

void InstallerWindow::RemoveObserver(InstallerWindowDelegate* delegate) {
  delegates_.RemoveObserver(delegate);
}

const SUBCLASSPROC InstallerWindow::kWrappedBannerProc =
    &base::win::WrappedSubclassProc<&InstallerWindow::BannerProc>;
const SUBCLASSPROC InstallerWindow::kWrappedNoCaretProc =
    &base::win::WrappedSubclassProc<&InstallerWindow::NoCaretProc>;

// static
LRESULT CALLBACK InstallerWindow::BannerProc(HWND control,
                                             UINT message,
                                             WPARAM wparam,
                                             LPARAM lparam,
                                             UINT_PTR id,
                                             DWORD_PTR data) {
  if (message == WM_PAINT) {
    reinterpret_cast<InstallerWindow*>(data)->PaintBanner(control);
    return 0;
  }
  if (message == WM_ERASEBKGND)
    return 1;
  if (message == WM_NCDESTROY)
    ::RemoveWindowSubclass(control, kWrappedBannerProc, id);
  return ::DefSubclassProc(control, message, wparam, lparam);
}

// static
LRESULT CALLBACK InstallerWindow::NoCaretProc(HWND control,
                                              UINT message,
                                              WPARAM wparam,
                                              LPARAM lparam,
                                              UINT_PTR id,
                                              DWORD_PTR data) {
  if (message == WM_NCDESTROY)
    ::RemoveWindowSubclass(control, kWrappedNoCaretProc, id);
  const LRESULT result = ::DefSubclassProc(control, message, wparam, lparam);
  // The headline and the terms line read like labels, not like fields.
  if (message == WM_SETFOCUS)
    ::HideCaret(control);
  return result;
}

void InstallerWindow::CreateFonts() {
  fonts_.normal =
      MakeFont(8, 378, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
  fonts_.bold = MakeFont(8, FW_BOLD, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                         L"MS Shell Dlg");
  fonts_.heading =
      MakeFont(14, 500, ANTIALIASED_QUALITY, VARIABLE_PITCH, L"MS Shell Dlg 2");
  fonts_.headline =
      MakeFont(22, 900, ANTIALIASED_QUALITY, VARIABLE_PITCH, L"Segoe UI");
}

void InstallerWindow::InitMainDialog(HWND dialog) {
  main_dialog_ = dialog;
  StartGdiplus();
  logo_ = ResourceImage::Load(L"PNG", IDR_LOGO_IMAGE);
  error_badge_ = ResourceImage::Load(L"PNG", IDR_ERROR_BADGE_IMAGE);
  background_ = ResourceImage::Load(L"JPG", IDR_BACKGROUND_IMAGE);
  CreateFonts();
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  for (int size : {ICON_SMALL, ICON_BIG}) {
    const int metric = size == ICON_SMALL ? SM_CXSMICON : SM_CXICON;
    HANDLE icon = ::LoadImageW(module, MAKEINTRESOURCEW(IDI_INSTALLER),
                               IMAGE_ICON, ::GetSystemMetrics(metric),
                               ::GetSystemMetrics(metric), LR_SHARED);
    if (icon)
      ::SendMessageW(main_dialog_, WM_SETICON, size,
                     reinterpret_cast<LPARAM>(icon));
  }
  ComposeBackground();

  if (HWND banner = GetControl(IDC_BANNER)) {
    ::SetWindowSubclass(banner, kWrappedBannerProc, kBannerSubclass,
                        reinterpret_cast<DWORD_PTR>(this));
  }
  SetFont(GetControl(IDC_UNINSTALL_QUESTION), fonts_.bold.get());
  if (HWND terms_line = GetControl(IDC_TERMS_LINE)) {
    ::SendMessageW(terms_line, EM_SETEVENTMASK, 0, ENM_LINK);
    ::SendMessageW(terms_line, EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
    SetFont(terms_line, fonts_.normal.get());
    ::SetWindowSubclass(terms_line, kWrappedNoCaretProc, kNoCaretSubclass,
                        reinterpret_cast<DWORD_PTR>(this));
  }
  for (int id :
       {IDC_PROGRESS_HEADING, IDC_ERROR_HEADING, IDC_UNINSTALL_ERROR_HEADING})
    SetFont(GetControl(id), fonts_.heading.get());
  if (HWND headline = GetControl(IDC_HEADLINE)) {
    ::SendMessageW(headline, EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
    ::SetWindowSubclass(headline, kWrappedNoCaretProc, kNoCaretSubclass,
                        reinterpret_cast<DWORD_PTR>(this));
    SetFont(headline, fonts_.headline.get());
  }

  if (run_immediately_) {
    SetPage(PAGE_PROGRESS);
  } else if (!uninstalling()) {
    AlignBrowseButton(kPathBoxes[1]);
    SetFont(GetControl(IDC_TERMS_TEXT), fonts_.normal.get());
    const std::wstring terms = LoadTermsOfService();
    if (HWND text = GetControl(IDC_TERMS_TEXT))
      ::SetWindowTextW(text, terms.c_str());
  }
}

void InstallerWindow::AlignBrowseButton(const PathBox& box) {
  HWND path = GetControl(box.combo);
  HWND browse = GetControl(box.browse);
  if (!path || !browse)
    return;
  // The combo box's window is as tall as its closed box only: its template
  // height includes the drop-down list.
  const RECT path_rect = GetControlRect(path);
  RECT combo_rect;
  ::GetWindowRect(path, &combo_rect);
  RECT rect = GetControlRect(browse);
  rect.top = path_rect.top;
  rect.bottom = path_rect.top + (combo_rect.bottom - combo_rect.top);
  MoveControl(browse, rect);
}

void InstallerWindow::InitOptionsDialog(HWND dialog) {
  options_dialog_ = dialog;
  // Run-immediately mode never shows the options.
  if (run_immediately_)
    return;
  ShowControl(IDC_DEFAULT_BROWSER_CHECK,
              base::win::GetVersion() < base::win::VERSION_WIN8);
  SetFont(GetControl(IDC_INVALID_PATH_NOTE), fonts_.bold.get());
  AlignBrowseButton(kPathBoxes[0]);
  HWND mode = GetControl(IDC_INSTALL_MODE_COMBO);
  tooltip_ = ::CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_USEVISUALSTYLE,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
      options_dialog_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!tooltip_ || !mode) {
    PLOG(WARNING) << "No tooltip for the install modes";
    return;
  }
  TOOLINFOW tool = {sizeof(tool)};
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = options_dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(mode);
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 300);
}

INT_PTR InstallerWindow::OnMainMessage(UINT message,
                                       WPARAM wparam,
                                       LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE)
        Win32DialogDispatcher::GetInstance()->ClearActiveDialog(main_dialog_);
      else
        Win32DialogDispatcher::GetInstance()->SetActiveDialog(main_dialog_);
      return FALSE;
    case WM_COMMAND:
      OnMainCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_NOTIFY:
      return OnMainNotify(reinterpret_cast<const NMHDR*>(lparam));
    case WM_CLOSE:
      ConfirmCancel();
      return TRUE;
    case WM_SIZE:
    case WM_THEMECHANGED:
      ComposeBackground();
      return FALSE;
    case WM_ERASEBKGND:
      if (current_page_ == PAGE_OPTIONS || !composed_background_)
        return FALSE;
      {
        HDC dc = reinterpret_cast<HDC>(wparam);
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(source, composed_background_.get());
        ::BitBlt(dc, 0, 0, composed_size_.cx, composed_size_.cy, source, 0, 0,
                 SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
      }
      ::SetWindowLongPtrW(main_dialog_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(white_brush_.get());
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          OnControlColor(main_dialog_, reinterpret_cast<HDC>(wparam),
                         reinterpret_cast<HWND>(lparam)));
    default:
      return FALSE;
  }
}

INT_PTR InstallerWindow::OnOptionsMessage(UINT message,
                                          WPARAM wparam,
                                          LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnOptionsCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(white_brush_.get());
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          OnControlColor(options_dialog_, reinterpret_cast<HDC>(wparam),
                         reinterpret_cast<HWND>(lparam)));
    default:
      return FALSE;
  }
}

void InstallerWindow::OnMainCommand(int id, int code) {
  switch (id) {
    case IDC_ACCEPT_BUTTON:
    case IDC_TRY_AGAIN_BUTTON:
    case IDC_UNINSTALL_BUTTON:
      if (code != BN_CLICKED)
        return;
      RecordNavigation(id == IDC_ACCEPT_BUTTON      ? "ACCEPT"
                       : id == IDC_TRY_AGAIN_BUTTON ? "RETRY"
                                                    : "UNINSTALL");
      NotifyAccept();
      return;
    case IDC_OPTIONS_BUTTON:
      RecordNavigation("OPTIONS");
      SetPage(PAGE_OPTIONS);
      return;
    case IDC_BACK_BUTTON:
      RecordNavigation("BACK");
      SetPage(PAGE_WELCOME);
      return;
    case IDC_FULL_INSTALLER_BUTTON: {
      RecordNavigation("FULL_PACKAGE");
      for (InstallerWindowDelegate& delegate : delegates_)
        delegate.OnFullPackage();
      return;
    }
    case IDC_CANCEL_BUTTON:
    case IDCANCEL:
      ConfirmCancel();
      return;
    case IDC_DELETE_PROFILE_CHECK:
      if (code == BN_CLICKED)
        OnCheckBoxClicked(id);
      return;
    case IDC_MAIN_PATH_COMBO:
    case IDC_MAIN_BROWSE_BUTTON:
      OnPathBoxCommand(*FindPathBox(id), id, code);
      return;
    case IDC_TERMS_TEXT:
      // Nothing of the terms is ever shown selected.
      if (code == EN_SETFOCUS)
        ClearSelection(GetControl(IDC_TERMS_TEXT));
      return;
    default:
      return;
  }
}

void InstallerWindow::OnOptionsCommand(int id, int code) {
  if (filling_list_)
    return;
  switch (id) {
    case IDC_DEFAULT_BROWSER_CHECK:
    case IDC_IMPORT_CHECK:
    case IDC_STATS_CHECK:
      if (code == BN_CLICKED)
        OnCheckBoxClicked(id);
      return;
    case IDC_INSTALL_MODE_COMBO:
      if (code == CBN_SELCHANGE)
        OnInstallModeSelected();
      return;
    case IDC_LANGUAGE_COMBO:
      if (code == CBN_SELCHANGE)
        OnLanguageSelected();
      return;
    case IDC_PATH_COMBO:
    case IDC_BROWSE_BUTTON:
      OnPathBoxCommand(*FindPathBox(id), id, code);
      return;
    default:
      return;
  }
}

void InstallerWindow::OnPathBoxCommand(const PathBox& box, int id, int code) {
  // The window's own refills are not the user's choice.
  if (filling_list_)
    return;
  if (id == box.browse) {
    if (code == BN_CLICKED)
      BrowseForFolder(box);
    return;
  }
  if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)
    OnPathChosen(box, code == CBN_EDITCHANGE);
}

bool InstallerWindow::OnMainNotify(const NMHDR* header) {
  if (header->idFrom != IDC_TERMS_LINE || header->code != EN_LINK)
    return false;
  const ENLINK* link = reinterpret_cast<const ENLINK*>(header);
  if (link->msg != WM_LBUTTONUP)
    return false;
  RecordNavigation("TOS");
  const TextLink* target = FindLinkAt(terms_line_, link->chrg.cpMin);
  if (target && target->address == L"tos")
    SetPage(PAGE_TOS);
  return true;
}

void InstallerWindow::SetPage(Page page) {
  if (page == current_page_)
    return;
  current_page_ = page;
  page_node_.emplace(stats_.AppendListEntry("ui.page_sequence"));
  page_node_->SetString("page_type", GetPageName(page));
  const PageRow& row = GetPageRow(page);
  for (int id : kPageControls) {
    ShowControl(id, std::find(row.shown.begin(), row.shown.end(), id) !=
                        row.shown.end());
  }
  if (uninstalling()) {
    ShowControl(IDC_PROGRESS_HEADING, false);
    ShowControl(IDC_ERROR_HEADING, false);
  } else {
    ShowControl(IDC_UNINSTALL_ERROR_HEADING, false);
  }
  if (page == PAGE_UNINSTALL)
    ShowControl(IDC_DELETE_PROFILE_CHECK, settings_->offer_profile_deletion());
  if (options_dialog_)
    ::ShowWindow(options_dialog_, page == PAGE_OPTIONS ? SW_SHOW : SW_HIDE);
  error_page_shown_ = page == PAGE_ERROR;
  FocusPageControl();
  ::InvalidateRect(main_dialog_, nullptr, TRUE);
}

void InstallerWindow::FocusPageControl() {
  const int focus =
      current_page_ == PAGE_NONE ? 0 : GetPageRow(current_page_).focus;
  HWND control = focus ? GetControl(focus) : nullptr;
  if (control && ::IsWindowVisible(control) && ::IsWindowEnabled(control)) {
    ::SendMessageW(main_dialog_, WM_NEXTDLGCTL,
                   reinterpret_cast<WPARAM>(control), TRUE);
  }
}

void InstallerWindow::RecordNavigation(const char* action) {
  if (!page_node_)
    return;
  page_node_->SetString("navigation_action", action);
  page_node_->RecordTime("navigation_time");
}

void InstallerWindow::IncrementCounter(const char* key) {
  if (page_node_)
    page_node_->IncrementInteger(key);
}

void InstallerWindow::SetPhase(int phase) {
  int string_id = IDS_INSTALLING;
  std::vector<std::wstring> args;
  if (phase <= 1) {
    string_id = IDS_DOWNLOADING;
  } else if (phase == 2) {
    string_id = IDS_EXTRACTING;
  } else if (uninstalling()) {
    string_id = IDS_UNINSTALLING;
  } else if (!settings_->GetOption(COPY_ONLY) &&
             !settings_->GetOption(ALL_USERS_FLAG)) {
    string_id = IDS_INSTALLING_FOR_CURRENT_USER;
    args.push_back(GetUserNameForDisplay());
  }
  SetControlText(IDC_STATUS_TEXT,
                 l10n::GetLocalizedStringWithArgs(string_id, args));
}

void InstallerWindow::StartProgress(int position, int maximum, bool marquee) {
  SetPage(PAGE_PROGRESS);
  HWND bar = GetControl(IDC_PROGRESS_BAR);
  if (!bar)
    return;
  const LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
  if (marquee) {
    ::SetWindowLongPtrW(bar, GWL_STYLE, style | PBS_MARQUEE);
    ::SendMessageW(bar, PBM_SETMARQUEE, TRUE, 0);
    return;
  }
  ::SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
  ::SetWindowLongPtrW(bar, GWL_STYLE, style & ~PBS_MARQUEE);
  ::SendMessageW(bar, PBM_SETRANGE32, position, maximum);
  ::SendMessageW(bar, PBM_SETSTEP, 1, 0);
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void InstallerWindow::SetProgress(int position) {
  HWND bar = GetControl(IDC_PROGRESS_BAR);
  if (!bar)
    return;
  const int current = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
  if (position <= current)
    return;
  if (position - current > 10) {
    ::SendMessageW(bar, PBM_SETPOS, position, 0);
    return;
  }
  for (int step = current; step < position; ++step)
    ::SendMessageW(bar, PBM_STEPIT, 0, 0);
}

void InstallerWindow::ShowError(const std::wstring& message,
                                bool offer_full_installer,
                                const std::string& detail) {
  SetPage(PAGE_ERROR);
  ShowControl(IDC_FULL_INSTALLER_BUTTON, offer_full_installer);
  LOG(INFO) << "Displaying error: \"" << message << "\" and "
            << (offer_full_installer ? "" : "don't ") << "offer full package";
  if (run_immediately_ || uninstalling())
    ShowControl(IDC_BACK_BUTTON, false);
  SetControlText(IDC_STATUS_TEXT, message);
  stats_.SetString("failure_reason", detail);
  // The badge joins the logo.
  if (HWND banner = GetControl(IDC_BANNER))
    ::InvalidateRect(banner, nullptr, TRUE);
  FocusPageControl();
}

void InstallerWindow::ShowErrorMessageBox(const std::wstring& message) {
  base::WeakPtr<InstallerWindow> alive = weak_factory_.GetWeakPtr();
  stats_.SetString("error_displayed", base::WideToUTF8(message));
  ShowInstallerMessageBox(main_dialog_, message, MB_OK | MB_ICONERROR);
  if (alive)
    NotifyCancel();
}

void InstallerWindow::Hide() {
  if (tooltip_)
    ::ShowWindow(tooltip_, SW_HIDE);
  if (main_dialog_) {
    ::ShowWindow(main_dialog_, SW_HIDE);
    Win32DialogDispatcher::GetInstance()->ClearActiveDialog(main_dialog_);
  }
}

void InstallerWindow::OnOptionChanged() {
  RefreshTexts();
}

void InstallerWindow::OnLanguageChanged() {
  Retext();
}

void InstallerWindow::OnPathChanged() {
  RefreshTexts();
}

void InstallerWindow::Retext() {
  const bool uninstall = uninstalling();
  const ControlText* table = uninstall ? kUninstallTexts : kInstallTexts;
  const size_t count =
      uninstall ? std::size(kUninstallTexts) : std::size(kInstallTexts);
  for (size_t i = 0; i < count; ++i) {
    const std::wstring text = l10n::GetLocalizedString(table[i].string_id);
    if (!text.empty())
      SetControlText(table[i].control, text);
  }
  SetHeadline();
  const std::wstring title = l10n::GetLocalizedString(IDS_INSTALLER_TITLE);
  ::SetWindowTextW(main_dialog_, title.c_str());
  if (!uninstall) {
    FillLanguageList();
    FillInstallModeList();
    UpdateTooltip();
    // The terms line names the Accept button.
    SetTermsLine(GetText(GetControl(IDC_ACCEPT_BUTTON)));
  }
  WidenFullInstallerButton();
  ::RedrawWindow(main_dialog_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void InstallerWindow::SetHeadline() {
  HWND headline = GetControl(IDC_HEADLINE);
  if (!headline)
    return;
  const std::wstring pattern = l10n::GetLocalizedString(IDS_DO_MORE);
  const std::wstring caption = l10n::GetLocalizedString(IDS_BRAND_CAPTION);
  const std::wstring text = l10n::GetLocalizedStringF(IDS_DO_MORE, caption);
  ::SetWindowTextW(headline, text.c_str());
  SetCharFormat(headline, 0, -1, CFM_COLOR, 0, kHeadlineColor);
  const size_t placeholder = pattern.find(L"$1");
  if (placeholder != std::wstring::npos) {
    const long start = static_cast<long>(placeholder);
    SetCharFormat(headline, start, start + static_cast<long>(caption.size()),
                  CFM_COLOR, 0, RGB(0, 0, 0));
  }
}

void InstallerWindow::SetTermsLine(const std::wstring& accept_text) {
  HWND terms_line = GetControl(IDC_TERMS_LINE);
  if (!terms_line)
    return;
  std::wstring accept = accept_text;
  base::ReplaceSubstringsAfterOffset(&accept, 0, L"&", L"");
  terms_line_ = ParseLinkedText(
      l10n::GetLocalizedStringF(IDS_TERMS_OF_SERVICE_AGREEMENT, accept));
  ::SetWindowTextW(terms_line, terms_line_.text.c_str());
  for (const TextLink& link : terms_line_.links) {
    SetCharFormat(terms_line, link.start, link.end,
                  CFM_LINK | CFM_UNDERLINE | CFM_COLOR,
                  CFE_LINK | CFE_UNDERLINE, kLinkColor);
  }
}

void InstallerWindow::FillLanguageList() {
  HWND list = GetControl(IDC_LANGUAGE_COMBO);
  if (!list)
    return;
  filling_list_ = true;
  ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
  LRESULT selection = CB_ERR;
  for (size_t i = 0; i < languages_.size(); ++i) {
    // The list's last line end leaves an empty code: nothing to offer.
    if (languages_[i].empty())
      continue;
    // A code without a language id of its own would show, and select,
    // whatever table Windows picks for the neutral language.
    const std::wstring name = l10n::LanguageToLCID(languages_[i]) == 0
                                  ? std::wstring()
                                  : l10n::GetLocalizedStringForLanguage(
                                        languages_[i], IDS_LANGUAGE_NAME);
    const LRESULT item =
        name.empty() ? CB_ERR
                     : ::SendMessageW(list, CB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(name.c_str()));
    if (item == CB_ERR || item == CB_ERRSPACE) {
      LOG(ERROR) << "Adding item #" << i << "to the language dropdown failed";
      continue;
    }
    // The item remembers its code: a skipped language must not shift the
    // codes of the items after it.
    ::SendMessageW(list, CB_SETITEMDATA, item, static_cast<LPARAM>(i));
    if (base::EqualsCaseInsensitiveASCII(languages_[i], settings_->language()))
      selection = item;
  }
  // Items are sorted only when the template asks; find the item again.
  if (selection == CB_ERR)
    selection = 0;
  ::SendMessageW(list, CB_SETCURSEL, selection, 0);
  filling_list_ = false;
}

void InstallerWindow::FillInstallModeList() {
  HWND list = GetControl(IDC_INSTALL_MODE_COMBO);
  if (!list)
    return;
  filling_list_ = true;
  LRESULT selection = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (selection == CB_ERR)
    selection = 0;
  ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
  std::wstring current_user = l10n::GetLocalizedString(IDS_CURRENT_USER);
  const std::wstring user_name = GetUserNameForDisplay();
  if (!user_name.empty())
    current_user += L" (" + user_name + L")";
  for (const std::wstring& text :
       {l10n::GetLocalizedString(IDS_ALL_USERS), current_user,
        l10n::GetLocalizedString(IDS_STANDALONE)}) {
    ::SendMessageW(list, CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(text.c_str()));
  }
  ::SendMessageW(list, CB_SETCURSEL, selection, 0);
  filling_list_ = false;
}

void InstallerWindow::UpdateTooltip() {
  HWND mode = GetControl(IDC_INSTALL_MODE_COMBO);
  if (!tooltip_ || !mode)
    return;
  std::vector<std::wstring> parts;
  for (int id = IDS_ALL_USERS_TITLE; id <= IDS_STANDALONE_DESCRIPTION; ++id)
    parts.push_back(l10n::GetLocalizedString(id));
  std::wstring text = L"$1\n\t$2\n\n$3\n\t$4\n\n$5\n\t$6";
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::wstring placeholder = L"$" + std::to_wstring(i + 1);
    base::ReplaceSubstringsAfterOffset(&text, 0, placeholder, parts[i]);
  }
  TOOLINFOW tool = {sizeof(tool)};
  tool.hwnd = options_dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(mode);
  tool.lpszText = text.data();
  ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

void InstallerWindow::WidenFullInstallerButton() {
  HWND button = GetControl(IDC_FULL_INSTALLER_BUTTON);
  HWND try_again = GetControl(IDC_TRY_AGAIN_BUTTON);
  if (!button || !try_again)
    return;
  std::wstring text = GetText(button);
  base::ReplaceSubstringsAfterOffset(&text, 0, L"&", L"");
  HDC dc = ::GetDC(button);
  HGDIOBJ old = ::SelectObject(
      dc, reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)));
  SIZE extent = {0, 0};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()),
                          &extent);
  ::SelectObject(dc, old);
  ::ReleaseDC(button, dc);
  RECT rect = GetControlRect(button);
  const RECT try_again_rect = GetControlRect(try_again);
  LONG width = std::max(extent.cx + kFullInstallerPadding,
                        try_again_rect.right - try_again_rect.left);
  // Wider than the room beside Back, the text is cut rather than the
  // buttons overlapping.
  if (HWND back = GetControl(IDC_BACK_BUTTON)) {
    const LONG room = rect.right - GetControlRect(back).right - kButtonGap;
    width = std::min(width, room);
  }
  rect.left = rect.right - width;
  MoveControl(button, rect);
}

void InstallerWindow::RefreshTexts() {
  const Status& status = settings_->GetStatus();
  const bool valid = status.valid_install_path();
  const bool needs_elevation =
      valid && NeedsElevation(settings_->GetOption(ALL_USERS_FLAG),
                              status.has_write_access());
  const bool vista = base::win::GetVersion() >= base::win::VERSION_VISTA;
  if (uninstalling()) {
    if (vista)
      SetShield(IDC_UNINSTALL_BUTTON, needs_elevation);
    if (current_page_ == PAGE_UNINSTALL) {
      ShowControl(IDC_DELETE_PROFILE_CHECK,
                  settings_->offer_profile_deletion());
    }
    SetCheck(IDC_DELETE_PROFILE_CHECK, settings_->GetOption(DELETE_PROFILE));
    return;
  }
  EnableControl(IDC_INSTALL_MODE_COMBO,
                settings_->operation() == OPERATION_INSTALLING);
  if (HWND mode = GetControl(IDC_INSTALL_MODE_COMBO)) {
    const int selection = settings_->GetOption(COPY_ONLY)        ? 2
                          : settings_->GetOption(ALL_USERS_FLAG) ? 0
                                                                 : 1;
    filling_list_ = true;
    ::SendMessageW(mode, CB_SETCURSEL, selection, 0);
    filling_list_ = false;
  }
  const std::wstring accept = l10n::GetLocalizedString(
      status.existing_installation() || status.existing_installation_traces()
          ? IDS_ACCEPT_AND_UPGRADE
          : IDS_ACCEPT_AND_INSTALL);
  SetControlText(IDC_ACCEPT_BUTTON, accept);
  SetTermsLine(accept);
  if (vista) {
    SetShield(IDC_ACCEPT_BUTTON, needs_elevation);
    SetShield(IDC_TRY_AGAIN_BUTTON, needs_elevation);
  }
  const bool replaces_default =
      settings_->GetOption(REPLACE_TAVREL_INSTALLATION) &&
      status.tavrel_installation() && status.is_http_handler();
  EnableControl(IDC_DEFAULT_BROWSER_CHECK,
                !settings_->GetOption(COPY_ONLY) && !replaces_default);
  SetCheck(IDC_DEFAULT_BROWSER_CHECK, settings_->GetOption(DEFAULT_BROWSER));
  SetCheck(IDC_IMPORT_CHECK, settings_->GetOption(IMPORT_BROWSER_DATA));
  SetCheck(IDC_STATS_CHECK, settings_->GetOption(ENABLE_KELVO_STATS) ||
                                settings_->GetOption(ENABLE_INSTALLER_STATS));
  for (const PathBox& box : kPathBoxes)
    FillPathList(box);
  EnableControl(IDC_ACCEPT_BUTTON, valid);
  EnableControl(IDC_BACK_BUTTON, valid);
  ShowControl(IDC_INVALID_PATH_NOTE, !valid);
}

void InstallerWindow::FillPathList(const PathBox& box) {
  HWND combo = GetControl(box.combo);
  if (!combo)
    return;
  const base::FilePath& folder = settings_->GetStatus().folder();
  filling_list_ = true;
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  LRESULT selection = CB_ERR;
  for (const base::FilePath& candidate :
       settings_->GetInstallFolderCandidates()) {
    const LRESULT item =
        ::SendMessageW(combo, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(candidate.value().c_str()));
    if (item >= 0 && base::FilePath::CompareEqualIgnoreCase(candidate.value(),
                                                            folder.value())) {
      selection = item;
    }
  }
  if (selection != CB_ERR) {
    ::SendMessageW(combo, CB_SETCURSEL, selection, 0);
  } else {
    ::SetWindowTextW(combo, folder.value().c_str());
  }
  // The caret at the end and nothing selected: a user typing the folder
  // types on, and a box without the focus shows no selection.
  const LPARAM end = static_cast<LPARAM>(GetText(combo).size());
  ::SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(end, end));
  filling_list_ = false;
}

void InstallerWindow::OnCheckBoxClicked(int id) {
  if (!settings_->IsEditable()) {
    RefreshTexts();
    return;
  }
  const bool checked = IsChecked(id);
  switch (id) {
    case IDC_DEFAULT_BROWSER_CHECK:
      IncrementCounter("changed_make_default_browser");
      settings_->SetDefaultBrowser(checked);
      break;
    case IDC_IMPORT_CHECK:
      IncrementCounter("changed_import_data");
      settings_->SetImportBrowserData(checked);
      break;
    case IDC_STATS_CHECK:
      IncrementCounter("changed_enable_stats");
      settings_->SetEnableStats(checked);
      settings_->SetEnableInstallerStats(checked);
      break;
    case IDC_DELETE_PROFILE_CHECK:
      IncrementCounter("changed_delete_profile");
      settings_->SetDeleteProfile(checked);
      break;
    default:
      return;
  }
  // A setter that refused leaves the box as the settings are.
  SetCheck(
      id,
      id == IDC_STATS_CHECK ? settings_->GetOption(ENABLE_KELVO_STATS) ||
                                  settings_->GetOption(ENABLE_INSTALLER_STATS)
      : id == IDC_DEFAULT_BROWSER_CHECK ? settings_->GetOption(DEFAULT_BROWSER)
      : id == IDC_IMPORT_CHECK ? settings_->GetOption(IMPORT_BROWSER_DATA)
                               : settings_->GetOption(DELETE_PROFILE));
  Repaint(GetControl(id));
}

void InstallerWindow::OnInstallModeSelected() {
  if (!settings_->IsEditable()) {
    RefreshTexts();
    return;
  }
  IncrementCounter("changed_install_mode");
  const LRESULT index =
      ::SendMessageW(GetControl(IDC_INSTALL_MODE_COMBO), CB_GETCURSEL, 0, 0);
  if (index < INSTALL_MODE_ALL_USERS || index > INSTALL_MODE_STANDALONE)
    return;
  settings_->SetMode(static_cast<InstallMode>(index));
}

void InstallerWindow::OnLanguageSelected() {
  if (!settings_->IsEditable()) {
    Retext();
    return;
  }
  IncrementCounter("changed_language");
  HWND list = GetControl(IDC_LANGUAGE_COMBO);
  const LRESULT item = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
  const LRESULT index =
      item == CB_ERR ? CB_ERR : ::SendMessageW(list, CB_GETITEMDATA, item, 0);
  if (index < 0 || static_cast<size_t>(index) >= languages_.size())
    return;
  settings_->SetLanguage(languages_[index]);
  RefreshTexts();
}

void InstallerWindow::OnPathChosen(const PathBox& box, bool edited) {
  if (!settings_->IsEditable()) {
    RefreshTexts();
    return;
  }
  IncrementCounter(edited ? box.edited_counter : box.changed_counter);
  HWND combo = GetControl(box.combo);
  std::wstring text;
  const LRESULT selection =
      edited ? CB_ERR : ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  text =
      selection == CB_ERR ? GetText(combo) : GetComboItemText(combo, selection);
  settings_->SelectInstallFolder(base::FilePath(text));
}

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data)
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

// The folder of |pidl| as a parsing name, else as a file-system path.
std::wstring GetFolderPath(LPITEMIDLIST pidl) {
  IShellFolder* desktop = nullptr;
  std::wstring path;
  if (SUCCEEDED(::SHGetDesktopFolder(&desktop))) {
    STRRET name = {};
    wchar_t buffer[MAX_PATH * 2] = {};
    if (SUCCEEDED(desktop->GetDisplayNameOf(pidl, SHGDN_FORPARSING, &name)) &&
        SUCCEEDED(::StrRetToBufW(&name, pidl, buffer,
                                 static_cast<UINT>(std::size(buffer))))) {
      path = buffer;
    }
    desktop->Release();
  }
  if (path.empty()) {
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(pidl, buffer))
      path = buffer;
  }
  return path;
}

}  // namespace

void InstallerWindow::BrowseForFolder(const PathBox& box) {
  HWND combo = GetControl(box.combo);
  const std::wstring start = GetText(combo);
  const std::wstring title = l10n::GetLocalizedString(IDS_BROWSE_FOR_FOLDER);
  BROWSEINFOW info = {};
  info.hwndOwner = main_dialog_;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  base::WeakPtr<InstallerWindow> alive = weak_factory_.GetWeakPtr();
  LPITEMIDLIST pidl = ::SHBrowseForFolderW(&info);
  std::wstring path;
  if (pidl) {
    path = GetFolderPath(pidl);
    ::CoTaskMemFree(pidl);
  }
  if (!alive || path.empty())
    return;
  filling_list_ = true;
  ::SetWindowTextW(combo, path.c_str());
  filling_list_ = false;
  OnPathChosen(box, true);
}

void InstallerWindow::ConfirmCancel() {
  base::WeakPtr<InstallerWindow> alive = weak_factory_.GetWeakPtr();
  const int answer = ShowInstallerMessageBox(
      main_dialog_,
      l10n::GetLocalizedString(uninstalling()
                                   ? IDS_QUIT_UNINSTALLATION_CONFIRMATION
                                   : IDS_QUIT_INSTALLATION_CONFIRMATION),
      MB_YESNO | MB_ICONQUESTION);
  if (!alive || answer != IDYES)
    return;
  RecordNavigation("CANCEL");
  NotifyCancel();
}

void InstallerWindow::NotifyAccept() {
  for (InstallerWindowDelegate& delegate : delegates_)
    delegate.OnAccept();
}

void InstallerWindow::NotifyCancel() {
  for (InstallerWindowDelegate& delegate : delegates_)
    delegate.OnCancel();
}

void InstallerWindow::ComposeBackground() {
  RECT client;
  if (!main_dialog_ || !::GetClientRect(main_dialog_, &client) ||
      client.right <= 0 || client.bottom <= 0) {
    return;
  }
  HDC screen = ::GetDC(main_dialog_);
  HDC dc = ::CreateCompatibleDC(screen);
  composed_background_.reset(
      ::CreateCompatibleBitmap(screen, client.right, client.bottom));
  composed_size_ = {client.right, client.bottom};
  HGDIOBJ old = ::SelectObject(dc, composed_background_.get());
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  background_.DrawStretched(dc, 0, 0, client.right, client.bottom);
  control_brushes_.clear();
  // Themed check boxes paint their own background: give them the picture
  // that lies behind them.
  if (::IsThemeActive() && ::IsAppThemed()) {
    HWND check = GetControl(IDC_DELETE_PROFILE_CHECK);
    if (check) {
      RECT rect = GetControlRect(check);
      HDC piece_dc = ::CreateCompatibleDC(screen);
      HBITMAP piece = ::CreateCompatibleBitmap(screen, rect.right - rect.left,
                                               rect.bottom - rect.top);
      HGDIOBJ old_piece = ::SelectObject(piece_dc, piece);
      ::BitBlt(piece_dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               dc, rect.left, rect.top, SRCCOPY);
      ::SelectObject(piece_dc, old_piece);
      ::DeleteDC(piece_dc);
      control_brushes_[check] = ScopedBrush(::CreatePatternBrush(piece));
      ::DeleteObject(piece);  // The brush keeps its own copy.
    }
  }
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(main_dialog_, screen);
}

void InstallerWindow::PaintBanner(HWND banner) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(banner, &paint);
  RECT client;
  ::GetClientRect(banner, &client);
  if (composed_background_) {
    const RECT place = GetControlRect(banner);
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, composed_background_.get());
    ::BitBlt(dc, 0, 0, client.right, client.bottom, source, place.left,
             place.top, SRCCOPY);
    ::SelectObject(source, old);
    ::DeleteDC(source);
  }
  const SIZE logo = logo_.size();
  const int x = (client.right - logo.cx) / 2;
  const int y = (client.bottom - logo.cy) / 2;
  logo_.Draw(dc, x, y);
  if (error_page_shown_) {
    // The badge's bottom right lies 10 pixels beyond the logo's.
    const SIZE badge = error_badge_.size();
    error_badge_.Draw(dc, x + logo.cx + 10 - badge.cx,
                      y + logo.cy + 10 - badge.cy);
  }
  ::EndPaint(banner, &paint);
}

HBRUSH InstallerWindow::OnControlColor(HWND dialog, HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  if (dialog == options_dialog_ &&
      (id == IDC_DEFAULT_BROWSER_CHECK || id == IDC_IMPORT_CHECK ||
       id == IDC_STATS_CHECK)) {
    ::SetBkColor(dc, RGB(255, 255, 255));
    return white_brush_.get();
  }
  const bool warning =
      (dialog == main_dialog_ && id == IDC_RED_NOTE) ||
      (dialog == options_dialog_ && id == IDC_INVALID_PATH_NOTE);
  ::SetTextColor(dc, warning ? kWarningColor : RGB(0, 0, 0));
  auto brush = control_brushes_.find(control);
  if (dialog == main_dialog_ && brush != control_brushes_.end())
    return brush->second.get();
  ::SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
}

HWND InstallerWindow::GetControl(int id) const {
  HWND control = main_dialog_ ? ::GetDlgItem(main_dialog_, id) : nullptr;
  if (!control && options_dialog_)
    control = ::GetDlgItem(options_dialog_, id);
  return control;
}

void InstallerWindow::SetControlText(int id, const std::wstring& text) {
  HWND control = GetControl(id);
  if (!control || GetText(control) == text)
    return;
  ::SetWindowTextW(control, text.c_str());
  Repaint(control);
}

void InstallerWindow::ShowControl(int id, bool show) {
  if (HWND control = GetControl(id))
    ::ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void InstallerWindow::EnableControl(int id, bool enable) {
  if (HWND control = GetControl(id))
    ::EnableWindow(control, enable);
}

void InstallerWindow::SetCheck(int id, bool checked) {
  if (HWND control = GetControl(id)) {
    ::SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                   0);
  }
}

bool InstallerWindow::IsChecked(int id) const {
  HWND control = GetControl(id);
  return control && ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void InstallerWindow::SetShield(int id, bool shield) {
  if (HWND control = GetControl(id))
    ::SendMessageW(control, BCM_SETSHIELD, 0, shield ? TRUE : FALSE);
}

void InstallerWindow::Repaint(HWND control) {
  if (!control)
    return;
  // Transparent controls draw no background: the dialog repaints what lies
  // behind their old text first.
  HWND parent = ::GetParent(control);
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  ::RedrawWindow(parent, &rect, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace installer
