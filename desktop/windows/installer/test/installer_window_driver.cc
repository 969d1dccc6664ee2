#include "desktop/windows/installer/test/installer_window_driver.h"

#include <richedit.h>

#include <memory>

#include "base/json/json_reader.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/host/resource_ids.h"
#include "desktop/windows/installer/installer_stats.h"
#include "desktop/windows/installer/ui/rich_text_links.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

namespace installer {
namespace test {

namespace {

const base::ListValue* GetPages(const base::Value* root) {
  const base::DictionaryValue* dictionary = nullptr;
  const base::ListValue* pages = nullptr;
  if (root && root->GetAsDictionary(&dictionary))
    dictionary->GetList("ui.page_sequence", &pages);
  return pages;
}

struct BoxSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  wchar_t class_name[16] = {};
  ::GetClassNameW(window, class_name, 16);
  if (::GetWindow(window, GW_OWNER) == search->owner &&
      std::wstring(class_name) == L"#32770" && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void ClickControl(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  const LRESULT code = ::SendMessageW(control, WM_GETDLGCODE, 0, 0);
  if (code & DLGC_BUTTON) {
    // Check boxes toggle themselves before they tell their dialog.
    const LONG_PTR type = ::GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
      const LRESULT state = ::SendMessageW(control, BM_GETCHECK, 0, 0);
      ::SendMessageW(control, BM_SETCHECK,
                     state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    }
  }
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
}

void SelectComboItem(HWND dialog, int id, int index) {
  HWND combo = ::GetDlgItem(dialog, id);
  ::SendMessageW(combo, CB_SETCURSEL, index, 0);
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void ClickTermsLink(HWND dialog, long position) {
  ENLINK link = {};
  link.nmhdr.hwndFrom = ::GetDlgItem(dialog, IDC_TERMS_LINE);
  link.nmhdr.idFrom = IDC_TERMS_LINE;
  link.nmhdr.code = EN_LINK;
  link.msg = WM_LBUTTONUP;
  if (position < 0) {
    // Where the current language puts the link in the line.
    const std::wstring accept = GetControlText(dialog, IDC_ACCEPT_BUTTON);
    const LinkedText line = ParseLinkedText(
        l10n::GetLocalizedStringF(IDS_TERMS_OF_SERVICE_AGREEMENT, accept));
    position = line.links.empty() ? 0 : line.links.front().start;
  }
  link.chrg = {position, position + 1};
  ::SendMessageW(dialog, WM_NOTIFY, IDC_TERMS_LINE,
                 reinterpret_cast<LPARAM>(&link));
}

HWND FindMessageBox(HWND owner) {
  BoxSearch search = {owner, nullptr};
  ::EnumWindows(&FindOwnedBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool HasVisibleStyle(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  return control && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE);
}

std::wstring GetControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  ::GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

std::vector<std::string> GetPageSequence(InstallerStats* stats) {
  std::unique_ptr<base::Value> root = base::JSONReader::Read(stats->GetJson());
  std::vector<std::string> sequence;
  const base::ListValue* pages = GetPages(root.get());
  for (size_t i = 0; pages && i < pages->GetSize(); ++i) {
    const base::DictionaryValue* page = nullptr;
    std::string type;
    if (pages->GetDictionary(i, &page) && page->GetString("page_type", &type))
      sequence.push_back(type);
  }
  return sequence;
}

std::string GetPageValue(InstallerStats* stats,
                         int index,
                         const std::string& key) {
  std::unique_ptr<base::Value> root = base::JSONReader::Read(stats->GetJson());
  const base::ListValue* pages = GetPages(root.get());
  const base::DictionaryValue* page = nullptr;
  std::string text;
  int number = 0;
  if (!pages)
    return text;
  const int size = static_cast<int>(pages->GetSize());
  if (index < 0)
    index += size;
  if (index < 0 || index >= size || !pages->GetDictionary(index, &page))
    return text;
  if (!page->GetString(key, &text) && page->GetInteger(key, &number))
    text = std::to_string(number);
  return text;
}

MessageBoxAnswerer::MessageBoxAnswerer(HWND owner,
                                       int button,
                                       base::TimeDelta delay)
    : thread_(&MessageBoxAnswerer::Run, this, owner, button, delay) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  stop_ = true;
  thread_.join();
}

bool MessageBoxAnswerer::Wait(base::TimeDelta limit) {
  const base::TimeTicks deadline = base::TimeTicks::Now() + limit;
  while (!answered_ && base::TimeTicks::Now() < deadline)
    ::Sleep(10);
  return answered_;
}

void MessageBoxAnswerer::Run(HWND owner, int button, base::TimeDelta delay) {
  const base::TimeTicks start = base::TimeTicks::Now() + delay;
  while (!stop_ && base::TimeTicks::Now() < start)
    ::Sleep(10);
  while (!stop_) {
    const HWND box = FindMessageBox(owner);
    if (!box) {
      ::Sleep(10);
      continue;
    }
    // The buttons are renamed when the box activates; give it the moment.
    ::Sleep(50);
    const struct {
      int id;
      const wchar_t* name;
    } kButtons[] = {{IDYES, L"YES"}, {IDNO, L"NO"}, {IDOK, L"OK"}};
    for (const auto& entry : kButtons) {
      if (::GetDlgItem(box, entry.id)) {
        buttons_ += std::wstring(entry.name) + L"=" +
                    GetControlText(box, entry.id) + L";";
      }
    }
    wchar_t text[1024] = {};
    // The static that holds a message box's text.
    ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
    text_ = text;
    answered_ = true;
    ::SendMessageW(::GetDlgItem(box, button), BM_CLICK, 0, 0);
    return;
  }
}

}  // namespace test
}  // namespace installer
