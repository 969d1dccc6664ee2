#include "base/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "base/logging.h"
#include "gtest/gtest.h"

namespace base {
namespace {

using Args = CommandLine::StringVector;

// Texts that quoting must carry through unchanged.
const wchar_t* const kAwkwardTexts[] = {
    L"with space",
    L"tab\there",
    L"\"starts with a quote",
    L"C:\\trailing\\\\\\",
    L"back\\\\\"slashes before a quote",
    L"a\"\"b",
    L"\u00e9t\u00e9 \U0001F600",
    L"=equals=",
    L"--looks-like-a-switch",
    L" ",
    L"",
};

TEST(CommandLineTest, ParsesWindowsSwitchForms) {
  CommandLine command = CommandLine::FromString(
      L"\"C:\\Program Files\\Kelvo\\installer.exe\" --silent -Lang=de /? "
      L"/installfolder=\"C:\\My Apps\\K\" C:\\X --value=a=b --empty= "
      L"--blob=caf\u00e9 - / --=v -- --not-a-switch /neither");
  EXPECT_EQ(L"C:\\Program Files\\Kelvo\\installer.exe",
            command.GetProgram().value());
  EXPECT_TRUE(command.HasSwitch("SILENT"));
  EXPECT_EQ("de", command.GetSwitchValueASCII("lang"));
  EXPECT_TRUE(command.HasSwitch("?"));
  EXPECT_EQ(L"C:\\My Apps\\K",
            command.GetSwitchValuePath("installfolder").value());
  EXPECT_EQ(L"a=b", command.GetSwitchValueNative("value"));
  EXPECT_TRUE(command.HasSwitch("empty"));
  EXPECT_EQ(L"", command.GetSwitchValueNative("empty"));
  EXPECT_FALSE(command.HasSwitch("not-a-switch"));
  EXPECT_EQ("", command.GetSwitchValueASCII("missing"));
  EXPECT_EQ("", command.GetSwitchValueASCII("blob"));  // Not ASCII.
  EXPECT_EQ(L"caf\u00e9", command.GetSwitchValueNative("blob"));
  EXPECT_EQ(
      (Args{L"C:\\X", L"-", L"/", L"--=v", L"--not-a-switch", L"/neither"}),
      command.GetArgs());
}

TEST(CommandLineTest, LastDuplicateWinsAndSwitchesAreSorted) {
  CommandLine command = CommandLine::FromString(
      L"p.exe --zeta --a=1 --A=2 -a=3 --with-feature:Beta=on");
  EXPECT_EQ("3", command.GetSwitchValueASCII("a"));
  std::vector<std::string> names;
  for (const auto& [name, value] : command.GetSwitches())
    names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"a", "with-feature:beta", "zeta"}),
            names);
  EXPECT_EQ(L"p.exe --zeta --a=3 --with-feature:beta=on",
            command.GetCommandLineString());
}

TEST(CommandLineTest, WritesSwitchesBeforeArgumentsWithQuoting) {
  CommandLine command(CommandLine::NO_PROGRAM);
  command.AppendArg("C:\\X");
  command.AppendSwitch("--Backend");
  command.AppendSwitchASCII("launchkelvo", "0");
  command.AppendSwitchPath("installfolder",
                           FilePath(L"C:\\Program Files\\Kelvo\\"));
  command.AppendSwitchNative("profile-folder", L"");
  EXPECT_EQ(
      L"--backend --launchkelvo=0 "
      L"--installfolder=\"C:\\Program Files\\Kelvo\\\\\" --profile-folder "
      L"C:\\X",
      command.GetArgumentsString());
  command.SetProgram(FilePath(L"C:\\Program Files\\Kelvo\\installer.exe"));
  EXPECT_EQ(0u, command.GetCommandLineString().find(
                    L"\"C:\\Program Files\\Kelvo\\installer.exe\" --backend"));
}

TEST(CommandLineTest, ArgumentsThatLookLikeSwitchesFollowATerminator) {
  CommandLine command(FilePath(L"launcher.exe"));
  command.AppendSwitch("noautoupdate");
  command.AppendArg("-x");
  EXPECT_EQ(L"launcher.exe --noautoupdate -- -x",
            command.GetCommandLineString());
  CommandLine plain(FilePath(L"launcher.exe"));
  plain.AppendArg("$(Arg0)");
  EXPECT_EQ(L"launcher.exe $(Arg0)", plain.GetCommandLineString());
}

TEST(CommandLineTest, EverySwitchValueAndArgumentRoundTrips) {
  CommandLine original(FilePath(L"C:\\Program Files\\Kelvo\\installer.exe"));
  int index = 0;
  for (const wchar_t* text : kAwkwardTexts) {
    original.AppendSwitchNative("value" + std::to_string(index++), text);
    original.AppendArgNative(text);
  }
  original.AppendArgNative(L"--");
  original.AppendArgNative(L"/?");
  const std::wstring written = original.GetCommandLineString();

  CommandLine parsed = CommandLine::FromString(written);
  EXPECT_EQ(original.GetProgram(), parsed.GetProgram()) << written;
  EXPECT_EQ(original.GetSwitches(), parsed.GetSwitches()) << written;
  EXPECT_EQ(original.GetArgs(), parsed.GetArgs()) << written;
  // Writing what was read gives the same text again.
  EXPECT_EQ(written, parsed.GetCommandLineString());
}

// What CommandLineToArgvW makes of |text|.
Args SplitByShell(const std::wstring& text) {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(text.c_str(), &count);
  if (!argv)
    return Args();
  Args args(argv, argv + count);
  ::LocalFree(argv);
  return args;
}

TEST(CommandLineTest, SplitsAsTheShellDoes) {
  const wchar_t* const kTexts[] = {
      L"installer.exe",
      L"installer.exe --version",
      L"\"C:\\Program Files\\Kelvo\\installer.exe\" --silent  \t arg ",
      L"\"C:\\no closing quote\\installer.exe --silent",
      L"\"C:\\quoted\"glued --x",
      L"C:\\dir\\installer.exe\"with quote\" --x",
      L"  leading.exe blanks",
      L"p.exe \"\"",
      L"p.exe \"\" \"\" last",
      L"p.exe a\\\\b c\\\\\\d",
      L"p.exe \"a\\\\\" b",
      L"p.exe a\\\"b \"c\\\\\\\"d\"",
      L"p.exe \\\\\\\\\"quoted part\" tail\\",
      L"p.exe \"\"\"three\"\"\" \"\"\"\" \"\"\"\"\"\"",
      L"p.exe a\"\"b \"in \"\" side\" x\"y z\"w",
      L"p.exe --installfolder=\"C:\\Program Files\\Kelvo\" --v=2",
      L"p.exe \"--name=va lue\" -- /x \"-y\"",
      L"p.exe trailing\\\\ \"end\\\\\"",
  };
  for (const wchar_t* text : kTexts)
    EXPECT_EQ(SplitByShell(text), SplitCommandLineString(text)) << text;
  for (const wchar_t* text : kAwkwardTexts) {
    std::wstring line = std::wstring(L"p.exe ") + text + L" \"" + text + L"\"";
    EXPECT_EQ(SplitByShell(line), SplitCommandLineString(line)) << line;
  }
}

TEST(CommandLineTest, BlankTextHasNoProgram) {
  EXPECT_TRUE(SplitCommandLineString(L"").empty());
  EXPECT_TRUE(SplitCommandLineString(L" \t\r\n").empty());
  EXPECT_TRUE(CommandLine::FromString(L"  ").GetProgram().empty());
}

TEST(CommandLineTest, ProcessCommandLineIsReadOnce) {
  ASSERT_FALSE(CommandLine::InitializedForCurrentProcess());
  EXPECT_TRUE(CommandLine::Init(0, nullptr));
  EXPECT_FALSE(CommandLine::Init(0, nullptr));
  CommandLine* command = CommandLine::ForCurrentProcess();
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(
      L"base_unittests.exe", command->GetProgram().BaseName().value()))
      << command->GetProgram();
  CommandLine::Reset();
  EXPECT_FALSE(CommandLine::InitializedForCurrentProcess());
}

TEST(CommandLineDeathTest, RefusesSwitchNamesThatCannotBeWritten) {
  CommandLine command(CommandLine::NO_PROGRAM);
  EXPECT_DEATH(command.AppendSwitch(""), "Invalid switch name");
  EXPECT_DEATH(command.AppendSwitchASCII("a=b", "c"), "Invalid switch name");
}

}  // namespace
}  // namespace base
