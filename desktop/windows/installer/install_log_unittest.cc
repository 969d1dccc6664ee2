#include "desktop/windows/installer/install_log.h"

#include <string>
#include <vector>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/test/scoped_log_capture.h"
#include "base/time/time.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/test/install_log_test_util.h"
#include "desktop/windows/installer/xml_reader.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

// The opening of a valid file up to and including its files list.
constexpr char kHead[] =
    "<?xml version=\"1.0\"?>\n"
    "<install_log version=\"58.0.3018.3\" copy_only=\"False\" "
    "all_users=\"False\" pinned=\"False\" app_id=\"1489400000\" "
    "last_band_check=\"13134000000000000\">\n"
    " <path subfolder=\"58.0.3018.3\">C:\\Users\\u\\Kelvo</path>\n"
    " <files>\n  <file>launcher.exe</file>\n </files>\n";
constexpr char kTail[] = "</install_log>\n";

std::string WithBody(const std::string& body) {
  return kHead + body + kTail;
}

void ReplaceIn(std::string* text,
               const std::string& what,
               const std::string& with) {
  size_t at = text->find(what);
  ASSERT_NE(std::string::npos, at) << what;
  text->replace(at, what.size(), with);
}

// A file up to its files list with |what| replaced by |with|, and |body|
// after the files list.
std::string Replaced(const std::string& what,
                     const std::string& with,
                     const std::string& body = "") {
  std::string text = WithBody(body);
  ReplaceIn(&text, what, with);
  return text;
}

class InstallLogTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Succeeded());
    ASSERT_TRUE(temp_dir_.CreateUniqueTempDir());
    // Non-ASCII letters, a blank, "#" and "%20" in the folder name.
    folder_ = temp_dir_.GetPath().Append(L"Kelv\u00f6 \u65e5\u672c #1 %20");
    ASSERT_TRUE(base::CreateDirectory(folder_));
    path_ = folder_.Append(L"installation_status.xml");
  }

  void WriteText(const std::string& text) {
    ASSERT_EQ(
        static_cast<int>(text.size()),
        base::WriteFile(path_, text.data(), static_cast<int>(text.size())));
  }

  std::string ReadText() {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path_, &text));
    return text;
  }

  // Everything an all-users installation records.
  static InstallLog FullLog() {
    InstallLog log;
    log.copy_only = false;
    log.all_users = true;
    log.pinned = true;
    log.last_band_check = base::Time::FromInternalValue(13134567890123456);
    log.app_id = "1489400000";
    log.install_path = FilePath(L"C:\\Program Files\\Kelv\u00f6 \u65e5\u672c");
    log.subfolder = FilePath(L"58.0.3018.3");
    log.version = "58.0.3018.3";
    log.desktop_shortcut = FilePath(L"C:\\Users\\Public\\Desktop\\Kelvo.lnk");
    log.start_menu_shortcut =
        FilePath(L"C:\\ProgramData\\Start Menu\\Programs\\Kelv\u00f6.lnk");
    log.quick_launch_shortcut = FilePath(L"C:\\Quick Launch\\Kelvo.lnk");
    log.files = {FilePath(L"kelvo.exe"),
                 FilePath(L"locales\\\u00e9t\u00e9 & <x>.pak")};
    log.root_files = {FilePath(L"launcher.exe"), FilePath(L"a\\b.dll")};
    log.components = {{"suite", FilePath(L"C:\\Program Files\\Kelvo\\suite")}};
    log.hklm_keys = {
        {1,
         "Software\\Clients\\StartMenuInternet\\Kelvo\xC3\xB6",
         {{"REG_SZ", "", "Kelvo Developer"},
          {"REG_DWORD", "IconsVisible", "00000001"},
          {"REG_SZ", "Path", "\"C:\\Program Files\\Kelvo\" & more"}}},
        {2, "Software\\Classes\\Kelvo\\shell\\open\\command", {}},
    };
    log.hkcu_keys = {
        {0,
         "Software\\Classes\\.htm\\OpenWithProgIDs",
         {{"REG_NONE", "KelvoDeveloper", ""}}},
    };
    return log;
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir temp_dir_;
  FilePath folder_;
  FilePath path_;
  base::ScopedLogCapture log_;
};

TEST_F(InstallLogTest, RoundTripKeepsEveryField) {
  const InstallLog written = FullLog();
  InstallLogWriter writer;
  ASSERT_TRUE(writer.WriteToFile(written, path_));

  InstallLog read;
  read.all_users = false;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&read, path_)) << reader.error();
  EXPECT_TRUE(InstallLogsEqual(written, read));
  EXPECT_TRUE(log_.LinesOf(logging::LOG_WARNING).empty());

  // The form older readers expect: UTF-8, "\n" line ends, blanks to indent.
  std::string text = ReadText();
  EXPECT_EQ(0u, text.find("<?xml version=\"1.0\"?>\n"
                          "<install_log version=\"58.0.3018.3\" "
                          "copy_only=\"False\" all_users=\"True\" "
                          "pinned=\"True\" app_id=\"1489400000\" "
                          "last_band_check=\"13134567890123456\">\n"
                          " <path subfolder=\"58.0.3018.3\">C:\\Program Files"
                          "\\Kelv\xC3\xB6 \xE6\x97\xA5\xE6\x9C\xAC"))
      << text;
  EXPECT_EQ(std::string::npos, text.find('\r'));
  EXPECT_EQ(std::string::npos, text.find('\t'));
  EXPECT_EQ('\n', text.back());
}

TEST_F(InstallLogTest, WriterLeavesOutEmptyOptionalParts) {
  InstallLog log;
  log.all_users = false;
  log.files = {FilePath(L"kelvo.exe")};
  log.start_menu_shortcut = FilePath(L"C:\\Users\\u\\Start Menu\\Kelvo.lnk");
  InstallLogWriter writer;
  ASSERT_TRUE(writer.WriteToFile(log, path_));
  std::string text = ReadText();
  EXPECT_NE(std::string::npos, text.find("<path subfolder=\"\"/>")) << text;
  EXPECT_NE(std::string::npos, text.find("type=\"SC_DEST_MENU\"")) << text;
  for (const char* absent :
       {"root_files", "registry", "SC_DEST_DESKTOP", "components"}) {
    EXPECT_EQ(std::string::npos, text.find(absent)) << absent;
  }

  InstallLog read;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&read, path_)) << reader.error();
  EXPECT_TRUE(InstallLogsEqual(log, read));

  // An empty files list is written, but the reader refuses it.
  ASSERT_TRUE(writer.WriteToFile(InstallLog(), path_));
  EXPECT_FALSE(reader.Read(&read, path_));
  EXPECT_EQ("Cannot proceed to the first file on the list", reader.error());
}

TEST_F(InstallLogTest, ReadReplacesListsAddsComponentsAndKeepsUnsetFields) {
  WriteText(WithBody(
      " <components>\n  <component>\n   <name>assistant</name>\n"
      "   <path>C:\\k\\assistant</path>\n  </component>\n </components>\n"));
  // The file has no app_id here and its path has no subfolder attribute.
  std::string text = ReadText();
  ReplaceIn(&text, " app_id=\"1489400000\"", "");
  ReplaceIn(&text, " subfolder=\"58.0.3018.3\"", "");
  WriteText(text);

  InstallLog log = FullLog();
  InstallLog expected = log;
  expected.version = "58.0.3018.3";
  expected.all_users = false;
  expected.pinned = false;
  expected.last_band_check = base::Time::FromInternalValue(13134000000000000);
  expected.install_path = FilePath(L"C:\\Users\\u\\Kelvo");
  expected.files = {FilePath(L"launcher.exe")};
  expected.root_files.clear();
  expected.hklm_keys.clear();
  expected.hkcu_keys.clear();
  expected.components.push_back({"assistant", FilePath(L"C:\\k\\assistant")});

  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&log, path_)) << reader.error();
  EXPECT_TRUE(InstallLogsEqual(expected, log));
}

TEST_F(InstallLogTest, FlagsAreTrueOnlyForExactlyTrue) {
  std::string text = WithBody("");
  ReplaceIn(&text, "copy_only=\"False\"", "copy_only=\"true\"");
  ReplaceIn(&text, "all_users=\"False\"", "all_users=\"TRUE\"");
  ReplaceIn(&text, "pinned=\"False\"", "pinned=\"True\"");
  WriteText(text);
  InstallLog log;
  log.copy_only = true;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&log, path_));
  EXPECT_FALSE(log.copy_only);
  EXPECT_FALSE(log.all_users);
  EXPECT_TRUE(log.pinned);
}

TEST_F(InstallLogTest, TextsAreTrimmed) {
  WriteText(Replaced(">C:\\Users\\u\\Kelvo<", ">\n   C:\\Users\\u\\Kelvo \t\n<",
                     " <registry hive=\"HKCU\">\n"
                     "  <key path=\"Software\\Kelvo Software\" clean=\"0\">\n"
                     "   <value name=\" spaced name \" type=\"REG_SZ\">\n"
                     "      data with  inner  blanks \t\n   </value>\n"
                     "  </key>\n </registry>\n"
                     " <shortcut type=\"SC_DEST_DESKTOP\">\n"
                     "   C:\\Desktop\\Kelvo.lnk\n </shortcut>\n"));
  InstallLog log;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&log, path_)) << reader.error();
  EXPECT_EQ(FilePath(L"C:\\Users\\u\\Kelvo"), log.install_path);
  EXPECT_EQ(FilePath(L"C:\\Desktop\\Kelvo.lnk"), log.desktop_shortcut);
  ASSERT_EQ(1u, log.hkcu_keys.size());
  ASSERT_EQ(1u, log.hkcu_keys[0].values.size());
  EXPECT_EQ(" spaced name ", log.hkcu_keys[0].values[0].name);
  EXPECT_EQ("data with  inner  blanks", log.hkcu_keys[0].values[0].data);
}

// Entries a tampered log could use to make an uninstall delete something
// that is not ours are dropped, each with a warning.
TEST_F(InstallLogTest, UnsafeEntriesAreDropped) {
  WriteText(Replaced(
      "</files>",
      "  <file>..\\..\\Windows\\evil.dll</file>\n"
      "  <file>C:\\Windows\\system32\\x.dll</file>\n"
      "  <file>D:drive_relative.dll</file>\n"
      "  <file>a\\..\\..\\up.dll</file>\n"
      "  <file>locales\\en.pak</file>\n </files>",
      " <root_files>\n  <file>\\\\server\\share\\x</file>\n"
      "  <file>ok.dll</file>\n </root_files>\n"
      " <registry hive=\"HKLM\">\n"
      "  <key path=\"Software\" clean=\"0\"/>\n"
      "  <key path=\"Software\\A\\B\" clean=\"9\"/>\n"
      "  <key path=\"Software\\\\A\" clean=\"0\"/>\n"
      "  <key path=\"Software\\Kelvo\" clean=\"2\"/>\n"
      "  <key path=\"Software\\Kelvo\" clean=\"1\"/>\n"
      " </registry>\n"
      " <shortcut type=\"SC_DEST_DESKTOP\">C:\\Windows\\evil.dll</shortcut>\n"
      " <shortcut type=\"SC_DEST_MENU\">Kelvo.lnk</shortcut>\n"
      " <components>\n"
      "  <component><name>..\\evil</name><path>C:\\k</path></component>\n"
      "  <component><name>suite</name><path>relative</path></component>\n"
      "  <component><name>suite</name><path>C:\\k\\suite</path></component>\n"
      " </components>\n"));
  InstallLog log;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&log, path_)) << reader.error();
  EXPECT_EQ((std::vector<FilePath>{FilePath(L"launcher.exe"),
                                   FilePath(L"locales\\en.pak")}),
            log.files);
  EXPECT_EQ(std::vector<FilePath>{FilePath(L"ok.dll")}, log.root_files);
  ASSERT_EQ(1u, log.hklm_keys.size());
  EXPECT_EQ("Software\\Kelvo", log.hklm_keys[0].key_path);
  EXPECT_TRUE(log.desktop_shortcut.empty());
  EXPECT_TRUE(log.start_menu_shortcut.empty());
  ASSERT_EQ(1u, log.components.size());
  EXPECT_EQ(FilePath(L"C:\\k\\suite"), log.components[0].path);

  EXPECT_TRUE(log_.Contains("unsafe file \"..\\..\\Windows\\evil.dll\""));
  EXPECT_TRUE(log_.Contains(
      "unsafe registry key HKLM\\Software\\A\\B with clean level 9"));
  // Four files, one root file, four HKLM keys (the clean level must stay
  // below the depth of the path), two shortcuts and two components.
  EXPECT_EQ(13u, log_.Count("Install log: ignoring unsafe"));
}

TEST_F(InstallLogTest, UnsafeSubfolderRejectsTheLog) {
  for (const char* subfolder : {"..", "..\\..", "C:\\Windows", "\\x"}) {
    WriteText(Replaced("subfolder=\"58.0.3018.3\"",
                       std::string("subfolder=\"") + subfolder + "\""));
    InstallLog log = FullLog();
    InstallLogReader reader;
    EXPECT_FALSE(reader.Read(&log, path_)) << subfolder;
    EXPECT_EQ("The subfolder attribute does not name a folder below the path",
              reader.error());
    EXPECT_TRUE(InstallLogsEqual(FullLog(), log)) << subfolder;
  }
}

// A failed read leaves the caller's log exactly as it was.
TEST_F(InstallLogTest, MalformedFilesFailWithTheirTextAndLeaveTheLog) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"install_log", "Cannot parse the file as XML"},
      {"<status/>", "The root element's name is invalid"},
      {Replaced("\"13134000000000000\"", "\"12x\""),
       "Last band check has an invalid value"},
      {Replaced(" <files>\n  <file>launcher.exe</file>\n </files>\n", ""),
       "Cannot go to files element"},
      {WithBody("<registry hive=\"HKCR\"><key path=\"A\\B\" "
                "clean=\"0\"/></registry>"),
       "The hive attribute is not HKLM nor HKCU"},
      {WithBody("<shortcut type=\"SC_DEST_STARTUP\">C:\\a.lnk</shortcut>"),
       "Invalid shortcut type SC_DEST_STARTUP"},
      {WithBody("<components><component><name>suite</name>"
                "<path>C:\\k\\suite</path></component></components>"
                "<shortcut type=\"SC_DEST_MENU\">C:\\a.lnk</shortcut>"),
       "Components are not the last element in status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    WriteText(c.text);
    InstallLog log = FullLog();
    InstallLogReader reader;
    EXPECT_FALSE(reader.Read(&log, path_));
    EXPECT_EQ(c.error, reader.error());
    EXPECT_TRUE(InstallLogsEqual(FullLog(), log));
  }
  EXPECT_TRUE(log_.Contains("Cannot read install log"));
}

// A move past a shortcut that fails is told by the point where it failed:
// reaching the next node, or passing the text and comments before the next
// element.
TEST_F(InstallLogTest, FailedMovesPastAShortcutAreTold) {
  WriteText(
      WithBody(" <shortcut type=\"SC_DEST_DESKTOP\">C:\\a.lnk</shortcut>\n"
               " <!-- menu -->\n"
               " <shortcut type=\"SC_DEST_MENU\">C:\\b.lnk</shortcut>\n"));
  const struct {
    XmlReader::SiblingFailure failure;
    const char* error;
  } kCases[] = {
      {XmlReader::SiblingFailure::kNextNode,
       "Failure while traversing shortcuts"},
      {XmlReader::SiblingFailure::kSkipping,
       "Failure trying to proceed to the shortcut successor"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.error);
    XmlReader::ScopedSiblingFaultForTesting fault("shortcut", test.failure);
    InstallLog log = FullLog();
    InstallLogReader reader;
    EXPECT_FALSE(reader.Read(&log, path_));
    EXPECT_EQ(test.error, reader.error());
    EXPECT_TRUE(InstallLogsEqual(FullLog(), log));
  }
  InstallLog log;
  InstallLogReader reader;
  ASSERT_TRUE(reader.Read(&log, path_)) << reader.error();
  EXPECT_EQ(FilePath(L"C:\\a.lnk"), log.desktop_shortcut);
  EXPECT_EQ(FilePath(L"C:\\b.lnk"), log.start_menu_shortcut);
}

}  // namespace
}  // namespace installer
