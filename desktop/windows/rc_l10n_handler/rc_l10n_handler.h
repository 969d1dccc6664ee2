// The installer's user-visible texts: string-table entries of the process's
// main module (the host executable), one table per language, looked up in
// the installer's current language with "$1".."$9" placeholders filled in.
// The language is chosen once from the command line, the existing
// installation or the Windows preferred UI languages, among the languages
// that the host lists as available (its "TXT" resource 134).
//
//   l10n::SelectLanguage(l10n::GetCurrentLanguageId(), &language);
//   std::wstring text =
//       l10n::GetLocalizedStringF(IDS_ERROR_CREATE_FOLDER, folder.value());

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"

namespace l10n {

// The text of |string_id| in exactly the language |lcid| (no fallback to
// another language; only 0, the neutral language, lets Windows pick the
// thread's language or any table). With |args|, "$1".."$9" are replaced by them
// in one pass and "$$" gives "$"; without, the text is returned as stored.
// Empty, with an error logged, when the language has no such string.
std::wstring LoadStringFromResource(LANGID lcid,
                                    int string_id,
                                    const std::vector<std::wstring>& args);

// The text of |string_id| in the current language (*GetCurrentLanguageId()).
std::wstring GetLocalizedString(int string_id);
// As GetLocalizedString, with "$1" replaced by |arg|.
std::wstring GetLocalizedStringF(int string_id, const std::wstring& arg);
// As GetLocalizedString, with "$1".."$9" replaced by |args|.
std::wstring GetLocalizedStringWithArgs(int string_id,
                                        const std::vector<std::wstring>& args);
// The text of |string_id| in the language named by the code |language|.
std::wstring GetLocalizedStringForLanguage(const std::wstring& language,
                                           int string_id);

// The language codes that the host offers, one per line of its resource,
// trimmed; empty lines give empty entries. Empty (logged) when the host has
// no such resource.
std::vector<std::wstring> LoadAvailableLanguages();
// Whether |language| is offered, ignoring ASCII case. The empty code and
// codes that are not ASCII never are.
bool IsLanguageAvailable(const std::wstring& language);
// The Windows language id of a code such as "de" or "pt-BR" (ASCII case
// ignored); 0 for the empty code and codes it does not know.
LANGID LanguageToLCID(const std::wstring& language);

// Settles |language| on an available code: the caller's code (older ISO 639
// codes converted) when it is available, else the first Windows preferred UI
// language that is available as it is or after mapping its region onto the
// codes the installer ships, else "en". Stores the id of the result in
// |lcid|. Both must not be null.
void SelectLanguage(LANGID* lcid, std::wstring* language);

// The process's current language id, 0 until the first SelectLanguage on
// it. Created on first use; the at-exit manager frees it.
LANGID* GetCurrentLanguageId();

// The Windows preferred UI languages of this thread as names ("de-AT"), in
// order of preference, system and user fallbacks merged; when Windows cannot
// tell, the user's default UI language alone.
std::vector<std::wstring> GetSystemPreferredUILanguages();

// While alive, replaces the host's language list and the Windows preferred
// UI languages, so that tests can try any combination of the two (Wine
// reports a single preferred language). Not nestable.
class ScopedLanguagesForTesting {
 public:
  ScopedLanguagesForTesting(std::vector<std::wstring> available,
                            std::vector<std::wstring> preferred);
  ScopedLanguagesForTesting(const ScopedLanguagesForTesting&) = delete;
  ScopedLanguagesForTesting& operator=(const ScopedLanguagesForTesting&) =
      delete;
  ~ScopedLanguagesForTesting();

  const std::vector<std::wstring>& available() const { return available_; }
  const std::vector<std::wstring>& preferred() const { return preferred_; }

 private:
  const std::vector<std::wstring> available_;
  const std::vector<std::wstring> preferred_;
};

}  // namespace l10n

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_RC_L10N_HANDLER_H_
