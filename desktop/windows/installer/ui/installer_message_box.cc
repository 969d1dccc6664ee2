#include "desktop/windows/installer/ui/installer_message_box.h"

#include "base/logging.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {

namespace {

// One box at a time per thread; a box opened from inside another box's
// modal loop chains to the outer hook.
thread_local HHOOK g_hook = nullptr;

LRESULT CALLBACK RenameButtonsHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    const struct {
      int button;
      int string_id;
    } kButtons[] = {{IDYES, IDS_YES}, {IDNO, IDS_NO}, {IDOK, IDS_OK}};
    for (const auto& entry : kButtons) {
      HWND button = ::GetDlgItem(box, entry.button);
      if (!button)
        continue;
      const std::wstring text = l10n::GetLocalizedString(entry.string_id);
      if (!text.empty())
        ::SetWindowTextW(button, text.c_str());
    }
  }
  return ::CallNextHookEx(g_hook, code, wparam, lparam);
}

}  // namespace

int ShowInstallerMessageBox(HWND owner, const std::wstring& text, UINT type) {
  HHOOK outer = g_hook;
  g_hook = ::SetWindowsHookExW(WH_CBT, &RenameButtonsHook, nullptr,
                               ::GetCurrentThreadId());
  if (!g_hook)
    PLOG(WARNING) << "The message box buttons keep the system's language";
  const std::wstring title = l10n::GetLocalizedString(IDS_INSTALLER_TITLE);
  const int result = ::MessageBoxW(owner, text.c_str(), title.c_str(), type);
  if (g_hook)
    ::UnhookWindowsHookEx(g_hook);
  g_hook = outer;
  return result;
}

}  // namespace installer
