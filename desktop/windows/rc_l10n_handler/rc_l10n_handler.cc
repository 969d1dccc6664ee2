#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "base/lazy_instance_helpers.h"
#include "base/logging.h"
#include "base/strings/string_split.h"
#include "base/strings/string_util.h"
#include "base/win/vista_function.h"
#include "desktop/windows/installer/host/resource_ids.h"

namespace l10n {

namespace {

struct LanguageCode {
  const char* code;  // Lower case.
  LANGID lcid;
};

// Searched from the top. "en-us" is what the host lists for English and
// what the region mapping below makes of every English variant but the
// British ones, so it must name the English table.
constexpr LanguageCode kLanguageCodes[] = {
    {"az", 1068},     {"el", 1032},          {"gu", 1095},    {"en", 1033},
    {"en-us", 1033},  {"userdefault", 1024}, {"fr-ca", 3084}, {"vi", 1066},
    {"ca", 1027},     {"fake-bidi", 1037},   {"am", 1118},    {"it", 1040},
    {"iw", 1037},     {"kn", 1099},          {"zh-hk", 3076}, {"ar", 1025},
    {"ml", 1100},     {"zu", 1077},          {"cs", 1029},    {"et", 1061},
    {"gl", 1110},     {"id", 1057},          {"es", 3082},    {"en-gb", 2057},
    {"ru", 1049},     {"eu", 1069},          {"nl", 1043},    {"nn", 2068},
    {"no", 1044},     {"nb", 1044},          {"af", 1078},    {"tr", 1055},
    {"tl", 1024},     {"lv", 1062},          {"lt", 1063},    {"pa", 1094},
    {"sw", 1089},     {"th", 1054},          {"te", 1098},    {"ro", 1048},
    {"is", 1039},     {"fil", 1124},         {"ta", 1097},    {"be", 1059},
    {"fr", 1036},     {"bg", 1026},          {"ms", 1086},    {"sl", 1060},
    {"hr", 1050},     {"fy", 1122},          {"bn", 1093},    {"de", 1031},
    {"hu", 1038},     {"fa", 1065},          {"neutral", 0},  {"hi", 1081},
    {"pt-br", 1046},  {"sa", 1103},          {"fi", 1035},    {"da", 1030},
    {"ja", 1041},     {"kk", 1087},          {"he", 1037},    {"me", 2074},
    {"es-419", 2058}, {"ne", 1121},          {"pt-pt", 2070}, {"zh-tw", 1028},
    {"uz", 1091},     {"ko", 1042},          {"sv", 1053},    {"mk", 1071},
    {"ur", 1056},     {"sk", 1051},          {"zh-cn", 2052}, {"si", 1115},
    {"gd", 1169},     {"pl", 1045},          {"uk", 1058},    {"sr", 3098},
    {"ti", 2163},     {"mr", 1102},          {"or", 1096},
};

// Two-letter codes that older installations and command lines still use,
// and the codes the host lists for the same languages.
struct OlderLanguageCode {
  const char* older;  // Lower case.
  const wchar_t* current;
};
constexpr OlderLanguageCode kOlderLanguageCodes[] = {
    {"no", L"nb"},
    {"pt", L"pt-PT"},
    {"tl", L"fil"},
};

constexpr wchar_t kTextResourceType[] = L"TXT";
constexpr int kStringsPerBlock = 16;

base::LazySingleton<LANGID> g_current_language;

ScopedLanguagesForTesting* g_languages_for_testing = nullptr;

void LogStringFailure(const char* what,
                      int string_id,
                      LANGID lcid,
                      logging::SystemErrorCode error) {
  LOG(ERROR) << what << " " << string_id << " (language " << lcid
             << "): " << logging::SystemErrorCodeToString(error);
}

// The code units of entry |string_id| of the string table in |lcid|. False,
// with the failure logged, when there is no such entry.
bool ReadStringTableEntry(LANGID lcid, int string_id, std::wstring* text) {
  if (string_id < 0 || string_id > 0xFFFF) {
    LOG(ERROR) << "Failed to find string " << string_id << ": not an id";
    return false;
  }
  HMODULE module = ::GetModuleHandleW(nullptr);
  const int block_id = string_id / kStringsPerBlock + 1;
  HRSRC resource =
      ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block_id), lcid);
  if (!resource) {
    LogStringFailure("Failed to find string", string_id, lcid,
                     ::GetLastError());
    return false;
  }
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (!loaded) {
    LogStringFailure("Failed to load string", string_id, lcid,
                     ::GetLastError());
    return false;
  }
  const WORD* entry = static_cast<const WORD*>(::LockResource(loaded));
  if (!entry) {
    LogStringFailure("Failed to lock string", string_id, lcid,
                     ::GetLastError());
    return false;
  }
  // Each entry is its length followed by that many code units; the walk
  // stays inside the block even when the block is malformed.
  const WORD* const end =
      entry + ::SizeofResource(module, resource) / sizeof(WORD);
  for (int skip = string_id % kStringsPerBlock; skip > 0 && entry < end;
       --skip) {
    entry += 1 + *entry;
  }
  if (entry >= end || *entry > end - entry - 1 || *entry == 0) {
    LOG(ERROR) << "Failed to find string " << string_id << " (language " << lcid
               << "): no such entry in its block";
    return false;
  }
  text->assign(reinterpret_cast<const wchar_t*>(entry + 1), *entry);
  return true;
}

// The bytes of the host's "TXT" resource |id|; empty, logged, when missing.
std::string_view ReadTextResource(int id) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource =
      ::FindResourceW(module, MAKEINTRESOURCEW(id), kTextResourceType);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const char* data =
      loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  if (!data) {
    LOG(ERROR) << "Failed to read the text resource " << id << ": "
               << logging::SystemErrorCodeToString(::GetLastError());
    return std::string_view();
  }
  return std::string_view(data, ::SizeofResource(module, resource));
}

void ConvertOlderLanguageCode(std::wstring* language) {
  for (const OlderLanguageCode& code : kOlderLanguageCodes) {
    if (base::LowerCaseEqualsASCII(*language, code.older)) {
      LOG(INFO) << "Language converted from ISO631: " << *language << " to "
                << code.current;
      *language = code.current;
      return;
    }
  }
}

// What the host would list for the Windows language name |preferred|
// ("language-region"): the regions map onto the variants that the installer
// ships, other languages onto their bare code.
std::wstring AdjustPreferredLanguage(const std::wstring& preferred) {
  const size_t dash = preferred.find(L'-');
  if (dash == std::wstring::npos || dash == 0)
    return preferred;
  const std::wstring language = preferred.substr(0, dash);
  const std::wstring_view region =
      std::wstring_view(preferred).substr(dash + 1);
  auto region_is = [&region](std::initializer_list<const char*> regions) {
    for (const char* candidate : regions) {
      if (base::LowerCaseEqualsASCII(region, candidate))
        return true;
    }
    return false;
  };
  if (base::LowerCaseEqualsASCII(language, "es"))
    return region_is({"es"}) ? language : language + L"-419";
  if (base::LowerCaseEqualsASCII(language, "zh"))
    return language + (region_is({"hk", "mo"}) ? L"-TW" : L"-CN");
  if (base::LowerCaseEqualsASCII(language, "en"))
    return language + (region_is({"au", "ca", "nz", "za"}) ? L"-GB" : L"-US");
  if (base::LowerCaseEqualsASCII(language, "no"))
    return L"nb";
  // Filipino ("fil") stays as it is: the host lists it under that code, and
  // "tl" names no string table.
  return language;
}

// The name of |lcid| as Windows XP can tell it, ISO 639 language and ISO
// 3166 region ("de-AT"), or the language alone; empty when unknown.
std::wstring GetLocaleNameOf(LCID lcid) {
  wchar_t language[LOCALE_NAME_MAX_LENGTH];
  wchar_t region[LOCALE_NAME_MAX_LENGTH];
  if (!::GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, language,
                        LOCALE_NAME_MAX_LENGTH)) {
    return std::wstring();
  }
  if (!::GetLocaleInfoW(lcid, LOCALE_SISO3166CTRYNAME, region,
                        LOCALE_NAME_MAX_LENGTH)) {
    return language;
  }
  return std::wstring(language) + L"-" + region;
}

std::vector<std::wstring> GetPreferredLanguages() {
  if (g_languages_for_testing)
    return g_languages_for_testing->preferred();
  return GetSystemPreferredUILanguages();
}

// Moves |language| to the first preferred UI language that is available as
// it is or after adjustment; false when none is.
bool FindPreferredLanguage(std::wstring* language) {
  for (const std::wstring& preferred : GetPreferredLanguages()) {
    *language = preferred;
    LOG(INFO) << "Trying language from system preferred list: " << *language;
    if (IsLanguageAvailable(*language))
      return true;
    *language = AdjustPreferredLanguage(preferred);
    LOG(INFO) << "Retrying after adjustments: " << *language;
    if (IsLanguageAvailable(*language))
      return true;
  }
  return false;
}

}  // namespace

std::wstring LoadStringFromResource(LANGID lcid,
                                    int string_id,
                                    const std::vector<std::wstring>& args) {
  std::wstring text;
  if (!ReadStringTableEntry(lcid, string_id, &text))
    return std::wstring();
  if (args.empty())
    return text;
  return base::ReplaceStringPlaceholders(text, args, nullptr);
}

std::wstring GetLocalizedString(int string_id) {
  return LoadStringFromResource(*GetCurrentLanguageId(), string_id, {});
}

std::wstring GetLocalizedStringF(int string_id, const std::wstring& arg) {
  return LoadStringFromResource(*GetCurrentLanguageId(), string_id, {arg});
}

std::wstring GetLocalizedStringWithArgs(int string_id,
                                        const std::vector<std::wstring>& args) {
  return LoadStringFromResource(*GetCurrentLanguageId(), string_id, args);
}

std::wstring GetLocalizedStringForLanguage(const std::wstring& language,
                                           int string_id) {
  return LoadStringFromResource(LanguageToLCID(language), string_id, {});
}

std::vector<std::wstring> LoadAvailableLanguages() {
  if (g_languages_for_testing)
    return g_languages_for_testing->available();
  const std::string_view text = ReadTextResource(IDR_LANGUAGES);
  // The list is ASCII; any other byte is widened as it is and then simply
  // matches no language code.
  std::wstring wide;
  wide.reserve(text.size());
  for (char c : text)
    wide.push_back(static_cast<unsigned char>(c));
  return base::SplitString(wide, L"\n", base::TRIM_WHITESPACE,
                           base::SPLIT_WANT_ALL);
}

bool IsLanguageAvailable(const std::wstring& language) {
  // The list keeps its empty lines (a trailing line end gives one), and an
  // empty code must not select the empty language.
  if (language.empty() || !base::IsStringASCII(language))
    return false;
  for (const std::wstring& available : LoadAvailableLanguages()) {
    if (base::EqualsCaseInsensitiveASCII(available, language))
      return true;
  }
  return false;
}

LANGID LanguageToLCID(const std::wstring& language) {
  if (language.empty() || !base::IsStringASCII(language))
    return 0;
  for (const LanguageCode& entry : kLanguageCodes) {
    if (base::LowerCaseEqualsASCII(language, entry.code))
      return entry.lcid;
  }
  return 0;
}

void SelectLanguage(LANGID* lcid, std::wstring* language) {
  DCHECK(lcid);
  DCHECK(language);
  ConvertOlderLanguageCode(language);
  if (!IsLanguageAvailable(*language)) {
    LOG(INFO) << "Language not in the available languages list: " << *language;
    if (!FindPreferredLanguage(language)) {
      *language = L"en";
      LOG(WARNING) << "Falling back to english";
    }
  }
  *lcid = LanguageToLCID(*language);
}

LANGID* GetCurrentLanguageId() {
  return g_current_language.Get();
}

std::vector<std::wstring> GetSystemPreferredUILanguages() {
  static const auto get_preferred =
      base::win::GetVistaFunction<decltype(&::GetThreadPreferredUILanguages)>(
          "GetThreadPreferredUILanguages");
  const DWORD flags =
      MUI_LANGUAGE_NAME | MUI_MERGE_SYSTEM_FALLBACK | MUI_MERGE_USER_FALLBACK;
  ULONG count = 0;
  ULONG size = 0;
  std::vector<std::wstring> languages;
  std::wstring names;
  if (!get_preferred) {
    LOG(INFO) << "Before Windows Vista there is no preferred UI language list";
  } else if (get_preferred(flags, &count, nullptr, &size) && size > 0) {
    names.resize(size);
    if (!get_preferred(flags, &count, names.data(), &size))
      names.clear();
  }
  // A list of names, each ended by a NUL, the whole ended by another.
  for (size_t start = 0; start < names.size();) {
    const size_t end = names.find(L'\0', start);
    if (end == start || end == std::wstring::npos)
      break;
    languages.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  if (!languages.empty())
    return languages;

  LOG(WARNING) << "No preferred UI languages; using the default UI language";
  const LCID user_default =
      MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
  std::wstring name = GetLocaleNameOf(user_default);
  if (!name.empty()) {
    languages.push_back(std::move(name));
  } else {
    LOG(ERROR) << "No name for the default UI language " << user_default << ": "
               << logging::SystemErrorCodeToString(::GetLastError());
  }
  return languages;
}

ScopedLanguagesForTesting::ScopedLanguagesForTesting(
    std::vector<std::wstring> available,
    std::vector<std::wstring> preferred)
    : available_(std::move(available)), preferred_(std::move(preferred)) {
  DCHECK(!g_languages_for_testing);
  g_languages_for_testing = this;
}

ScopedLanguagesForTesting::~ScopedLanguagesForTesting() {
  DCHECK_EQ(g_languages_for_testing, this);
  g_languages_for_testing = nullptr;
}

}  // namespace l10n
