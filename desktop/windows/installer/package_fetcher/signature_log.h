// The report of a signer search. Only a caller that keeps the reasons for a
// failed check (for the statistics) needs the text: without one, the log
// drops what it is given, and the search skips work done only to report.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_LOG_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_LOG_H_

#include <string>
#include <string_view>

namespace installer {

class SignatureLog {
 public:
  explicit SignatureLog(bool collects) : collects_(collects) {}
  SignatureLog(const SignatureLog&) = delete;
  SignatureLog& operator=(const SignatureLog&) = delete;
  ~SignatureLog() = default;

  bool collects() const { return collects_; }
  // Appends |text| as it is: writers end their own lines.
  void Write(std::string_view text);
  // Everything written so far; always empty when not collecting.
  const std::string& text() const { return text_; }

 private:
  const bool collects_;
  std::string text_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_SIGNATURE_LOG_H_
