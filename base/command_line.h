// A command line in Windows form: a program, switches and positional
// arguments.
//
// Reading follows CommandLineToArgvW. A switch starts with "--", "-" or
// "/"; "=" separates its value ("--lang=de", "/?"); names are lower-cased
// (ASCII) and a repeated switch keeps its last value. A lone "--" ends the
// switches: everything after it is positional. Switches may come before,
// between or after the positional arguments.
//
// Writing (GetCommandLineString) quotes what needs it, so that reading the
// text back gives the same program, switch values and arguments: values
// with blanks, quotes, trailing backslashes, empty arguments and non-ASCII
// text all survive. Switches are written first, as "--name" or
// "--name=value", then the arguments, after a "--" when one of them would
// otherwise read as a switch.
//
//   base::CommandLine command(installer_exe);
//   command.AppendSwitch("backend");
//   command.AppendSwitchPath("installfolder", folder);
//   base::LaunchProcess(command.GetCommandLineString(), ...);

#ifndef BASE_COMMAND_LINE_H_
#define BASE_COMMAND_LINE_H_

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"

namespace base {

class CommandLine {
 public:
  using StringType = std::wstring;
  using StringPieceType = std::wstring_view;
  using StringVector = std::vector<StringType>;
  // Switch names (lower case, UTF-8) to their values.
  using SwitchMap = std::map<std::string, StringType, std::less<>>;

  enum NoProgram { NO_PROGRAM };

  // An empty command line, for switches that another command line takes.
  explicit CommandLine(NoProgram no_program);
  explicit CommandLine(const FilePath& program);
  CommandLine(const CommandLine&);
  CommandLine& operator=(const CommandLine&);
  ~CommandLine();

  // Reads a whole command line, program first.
  static CommandLine FromString(StringPieceType command_line);

  // Reads this process's command line (GetCommandLineW; the arguments are
  // ignored, as on Windows they lose non-ASCII text). Returns false when it
  // was read already.
  static bool Init(int argc, const char* const* argv);
  // Forgets the process's command line (tests).
  static void Reset();
  // The process's command line; Init must have run.
  static CommandLine* ForCurrentProcess();
  static bool InitializedForCurrentProcess();

  // The whole line: the program, quoted when it holds blanks, then the
  // arguments string.
  StringType GetCommandLineString() const;
  // Switches and arguments, without the program.
  StringType GetArgumentsString() const;

  FilePath GetProgram() const;
  void SetProgram(const FilePath& program);

  // |switch_string| is matched without regard to ASCII case.
  bool HasSwitch(std::string_view switch_string) const;
  // Empty when the switch is absent or has no value. A value that is not
  // ASCII is logged and gives the empty string.
  std::string GetSwitchValueASCII(std::string_view switch_string) const;
  FilePath GetSwitchValuePath(std::string_view switch_string) const;
  StringType GetSwitchValueNative(std::string_view switch_string) const;
  const SwitchMap& GetSwitches() const { return switches_; }

  // A switch given again replaces the earlier value. A leading "--", "-"
  // or "/" in |switch_string| is dropped.
  void AppendSwitch(std::string_view switch_string);
  void AppendSwitchPath(std::string_view switch_string, const FilePath& path);
  void AppendSwitchNative(std::string_view switch_string,
                          StringPieceType value);
  // |value| is ASCII; other UTF-8 text is converted as UTF-8.
  void AppendSwitchASCII(std::string_view switch_string,
                         std::string_view value);

  // The positional arguments, in order.
  const StringVector& GetArgs() const { return args_; }
  // |value| is UTF-8.
  void AppendArg(std::string_view value);
  void AppendArgPath(const FilePath& value);
  void AppendArgNative(StringPieceType value);

  // Appends the switches and arguments of |other|, and takes its program
  // when |include_program|.
  void AppendArguments(const CommandLine& other, bool include_program);

 private:
  // Replaces everything with what |command_line| says.
  void ParseFromString(StringPieceType command_line);
  void InitFromArgv(const StringVector& argv);
  // Sets a switch by its key as stored (no prefix stripping).
  void SetSwitch(const std::string& key, StringPieceType value);

  StringType program_;
  SwitchMap switches_;
  // Switch names in the order they were first given, for writing.
  std::vector<std::string> switch_order_;
  StringVector args_;
};

// Splits |command_line| into the program and its arguments by the rules of
// CommandLineToArgvW: the program ends at the next quote when it starts
// with one, else at the next blank; in the arguments, 2n backslashes and a
// quote give n backslashes and open or close a quoted part, 2n+1 give n
// backslashes and a literal quote, and three quotes in a row give a literal
// quote. An empty or blank |command_line| gives no program. It loads no DLL:
// shell32, where CommandLineToArgvW lives, costs every process that reads
// its command line a third of its start under Wine.
CommandLine::StringVector SplitCommandLineString(
    CommandLine::StringPieceType command_line);

}  // namespace base

#endif  // BASE_COMMAND_LINE_H_
