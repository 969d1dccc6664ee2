#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "base/test/scoped_log_capture.h"
#include "gtest/gtest.h"

namespace l10n {
namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kGerman = 1031;
// The Windows language ids of the string tables the installer ships, in
// order; none of them is written right to left.
constexpr LANGID kShippedLanguages[] = {
    1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1035, 1036, 1038, 1040,
    1041, 1042, 1043, 1044, 1045, 1046, 1048, 1049, 1050, 1051, 1053, 1054,
    1055, 1057, 1058, 1059, 1062, 1063, 1066, 1068, 1071, 1077, 1078, 1081,
    1086, 1087, 1089, 1091, 1093, 1094, 1097, 1098, 1122, 1124, 1169, 2052,
    2057, 2058, 2068, 2070, 2074, 3082, 3084, 3098};

using base::ScopedLogCapture;

size_t CountOf(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

TEST(LanguageToLCIDTest, CodesIgnoreCaseAndUnknownOnesGiveZero) {
  EXPECT_EQ(2057, LanguageToLCID(L"EN-GB"));
  EXPECT_EQ(1068, LanguageToLCID(L"az"));  // First row.
  EXPECT_EQ(1096, LanguageToLCID(L"Or"));  // Last row.
  for (const wchar_t* unknown : {L"xx", L"", L"en-gbx", L"d\x00e9", L"pt"}) {
    EXPECT_EQ(0, LanguageToLCID(unknown)) << unknown;
  }
}

TEST(LoadStringFromResourceTest, FindsTheTableOfExactlyThatLanguage) {
  EXPECT_EQ(L"Kelvo Installer",
            LoadStringFromResource(kEnglish, IDS_INSTALLER_TITLE, {}));
  // The last entry of a block.
  EXPECT_EQ(L"Stand-alone installation (USB)",
            LoadStringFromResource(kEnglish, 37034, {}));
  EXPECT_EQ(L"Abbrechen", LoadStringFromResource(kGerman, IDS_CANCEL, {}));
}

TEST(LoadStringFromResourceTest, NonAsciiTextSurvivesTheResourceCompiler) {
  EXPECT_EQ(L"Downloading\x2026",
            LoadStringFromResource(kEnglish, IDS_DOWNLOADING, {}));
  // Escapes followed by letters that are hex digits, and a capital umlaut.
  EXPECT_EQ(L"\x00c4&ndern", LoadStringFromResource(kGerman, IDS_CHANGE, {}));
}

TEST(LoadStringFromResourceTest, FillsPlaceholdersOnlyWhenGivenArguments) {
  EXPECT_EQ(L"The folder $1 could not be created.",
            LoadStringFromResource(kEnglish, IDS_ERROR_CREATE_FOLDER, {}));
  // Substituted text is not scanned again.
  EXPECT_EQ(L"The folder $2 could not be created.",
            LoadStringFromResource(kEnglish, IDS_ERROR_CREATE_FOLDER,
                                   {L"$2", L"second"}));
}

TEST(LoadStringFromResourceTest, MissingStringsAreEmptyAndLogged) {
  ScopedLogCapture log;
  // The block exists in English, but not this entry of it.
  EXPECT_EQ(L"", LoadStringFromResource(kEnglish, 37066, {}));
  EXPECT_TRUE(log.Contains("Failed to find string 37066 (language 1033)"));
  // A language without a table, and an id outside every block.
  EXPECT_EQ(L"", LoadStringFromResource(1025, IDS_OK, {}));
  EXPECT_TRUE(log.Contains("Failed to find string 37001 (language 1025): "));
  EXPECT_EQ(L"", LoadStringFromResource(kEnglish, -1, {}));
}

// Every language the host offers must name a table that holds every string,
// translated with the same placeholders and an accelerator where English
// has one.
TEST(LoadStringFromResourceTest, EveryOfferedLanguageHasTheWholeTable) {
  std::vector<std::wstring> languages = LoadAvailableLanguages();
  ASSERT_FALSE(languages.empty());
  std::vector<LANGID> seen;
  for (const std::wstring& language : languages) {
    if (language.empty())
      continue;
    const LANGID lcid = LanguageToLCID(language);
    ASSERT_NE(0, lcid) << language;
    EXPECT_EQ(seen.end(), std::find(seen.begin(), seen.end(), lcid))
        << language << " shares its table with another code";
    seen.push_back(lcid);
    int as_in_english = 0;
    for (int id = IDS_FIRST_INSTALLER_STRING; id <= IDS_LAST_INSTALLER_STRING;
         ++id) {
      const std::wstring text = LoadStringFromResource(lcid, id, {});
      const std::wstring english = LoadStringFromResource(kEnglish, id, {});
      EXPECT_FALSE(text.empty()) << language << " " << id;
      EXPECT_EQ(CountOf(english, L"$1"), CountOf(text, L"$1"))
          << language << " " << id;
      EXPECT_EQ(CountOf(english, L"&"), CountOf(text, L"&"))
          << language << " " << id;
      EXPECT_EQ(CountOf(english, L"<a href=\"tos\">"),
                CountOf(text, L"<a href=\"tos\">"))
          << language << " " << id;
      as_in_english += text == english;
    }
    // The brand caption, "OK" and the like read the same in many
    // languages; a table copied from English reads the same throughout.
    if (PRIMARYLANGID(lcid) != LANG_ENGLISH) {
      EXPECT_LE(as_in_english, 4) << language;
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::vector<LANGID>(std::begin(kShippedLanguages),
                                std::end(kShippedLanguages)),
            seen);
}

BOOL CALLBACK
AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<LANGID>*>(languages)->push_back(language);
  return TRUE;
}

// Lookups made before the first selection use the neutral language, for
// which Windows picks the table of the thread's language: a table that the
// list does not offer could show up that way, so none may ship.
TEST(LoadStringFromResourceTest, NoTableBeyondTheOfferedLanguages) {
  for (int id : {IDS_FIRST_INSTALLER_STRING, IDS_LAST_INSTALLER_STRING}) {
    std::vector<LANGID> tables;
    ASSERT_TRUE(::EnumResourceLanguagesW(
        ::GetModuleHandleW(nullptr), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
        &AddLanguage, reinterpret_cast<LONG_PTR>(&tables)));
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(std::vector<LANGID>(std::begin(kShippedLanguages),
                                  std::end(kShippedLanguages)),
              tables)
        << id;
  }
}

TEST(AvailableLanguagesTest, HostListKeepsItsEmptyLines) {
  // The list ends with a line end, so the last piece is empty.
  const std::vector<std::wstring> languages = LoadAvailableLanguages();
  ASSERT_EQ(57u, languages.size());
  EXPECT_EQ(L"bg", languages.front());
  EXPECT_EQ(L"", languages.back());
  EXPECT_TRUE(IsLanguageAvailable(L"EN-us"));
  EXPECT_FALSE(IsLanguageAvailable(L"en"));
  EXPECT_FALSE(IsLanguageAvailable(L""));
}

struct SelectionCase {
  std::vector<std::wstring> available;
  std::vector<std::wstring> preferred;
  std::wstring code;
  std::wstring expected_code;
  LANGID expected_lcid;
};

class SelectLanguageTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectLanguageTest, SettlesOnAnAvailableCode) {
  const SelectionCase& test = GetParam();
  ScopedLanguagesForTesting languages(test.available, test.preferred);
  LANGID lcid = 0xFFFF;
  std::wstring code = test.code;
  SelectLanguage(&lcid, &code);
  EXPECT_EQ(test.expected_code, code);
  EXPECT_EQ(test.expected_lcid, lcid);
}

using Case = SelectionCase;
INSTANTIATE_TEST_SUITE_P(
    ,
    SelectLanguageTest,
    testing::Values(
        // An available code is kept as given; older codes are converted.
        Case{{L"en-US", L"de"}, {L"en-US"}, L"DE", L"DE", 1031},
        Case{{L"en-US", L"de", L"pt-BR"}, {L"de-AT"}, L"PT", L"de", 1031},
        Case{{L"en-US", L"nb"}, {L"en-US"}, L"no", L"nb", 1044},
        // Undocumented: Filipino stays "fil", the code its strings ship
        // under, and the older "tl" becomes it.
        Case{{L"en-US", L"fil"}, {L"en-US"}, L"fil", L"fil", 1124},
        Case{{L"en-US", L"fil"}, {L"en-US"}, L"tl", L"fil", 1124},
        // The Windows languages, in their order, as they are...
        Case{{L"de", L"fr"}, {L"fr-CA", L"de-DE"}, L"", L"fr", 1036},
        // ...or with their region mapped.
        Case{{L"es", L"es-419"}, {L"es-MX"}, L"", L"es-419", 2058},
        Case{{L"es", L"es-419"}, {L"es-ES"}, L"", L"es", 3082},
        Case{{L"zh-TW", L"zh-CN"}, {L"zh-HK"}, L"", L"zh-TW", 1028},
        Case{{L"zh-TW", L"zh-CN"}, {L"zh-SG"}, L"", L"zh-CN", 2052},
        Case{{L"en-GB", L"en-US"}, {L"en-NZ"}, L"", L"en-GB", 2057},
        // Otherwise English, whether or not the list has "en".
        Case{{L"en-US", L"de"}, {L"en-AU"}, L"", L"en", 1033},
        Case{{L"de"}, {L"-de", L"fr"}, L"xx", L"en", 1033},
        // The empty line of a list is no language.
        Case{{L"de", L""}, {}, L"", L"en", 1033}));

TEST(CurrentLanguageTest, LookupsFollowTheSelection) {
  LANGID* current = GetCurrentLanguageId();
  ASSERT_EQ(current, GetCurrentLanguageId());
  const LANGID saved = *current;

  std::wstring code = L"de";
  SelectLanguage(current, &code);
  EXPECT_EQ(kGerman, *GetCurrentLanguageId());
  EXPECT_EQ(L"Abbrechen", GetLocalizedString(IDS_CANCEL));
  *current = saved;
}

}  // namespace
}  // namespace l10n
