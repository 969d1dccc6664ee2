// Drives the installer window as a user would, for tests: clicks, list
// selections, the terms link, message boxes answered from another thread,
// and the page sequence that the statistics recorded.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_WINDOW_DRIVER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_WINDOW_DRIVER_H_

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/time/time.h"

namespace installer {

class InstallerStats;

namespace test {

// The control |id| of |dialog| is clicked: a check box toggles first.
void ClickControl(HWND dialog, int id);
// Item |index| of the combo box |id| is chosen as by the user.
void SelectComboItem(HWND dialog, int id, int index);
// The terms line's link (or the character |position| when not -1) is
// clicked.
void ClickTermsLink(HWND dialog, long position = -1);
// The visible message box (a dialog) that |owner| owns, or null.
HWND FindMessageBox(HWND owner);
// Whether control |id| of |dialog| has the visible style (its own flag,
// whatever its parent's state).
bool HasVisibleStyle(HWND dialog, int id);
std::wstring GetControlText(HWND dialog, int id);

// "page_type" of each entry of "ui.page_sequence", in order.
std::vector<std::string> GetPageSequence(InstallerStats* stats);
// The value of |key| in page entry |index| of the sequence (counted from
// the end when negative: -1 is the last); empty when absent.
std::string GetPageValue(InstallerStats* stats,
                         int index,
                         const std::string& key);

// Answers the next message box that |owner| shows, from another thread:
// records the texts of its Yes, No and OK buttons and clicks |button|, at
// the earliest |delay| after it was made.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer(HWND owner,
                     int button,
                     base::TimeDelta delay = base::TimeDelta());
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
  // Gives up looking and joins.
  ~MessageBoxAnswerer();

  // Waits until the box was answered (or the limit passed).
  bool Wait(base::TimeDelta limit = base::TimeDelta::FromSeconds(20));
  // "YES=...;NO=...;OK=..." for the buttons the box had.
  const std::wstring& buttons() const { return buttons_; }
  const std::wstring& text() const { return text_; }

 private:
  void Run(HWND owner, int button, base::TimeDelta delay);

  std::atomic<bool> stop_{false};
  std::atomic<bool> answered_{false};
  std::wstring buttons_;
  std::wstring text_;
  std::thread thread_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_WINDOW_DRIVER_H_
