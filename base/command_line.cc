#include "base/command_line.h"

#include <windows.h>

#include <algorithm>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

using StringType = CommandLine::StringType;
using StringPieceType = CommandLine::StringPieceType;

constexpr StringPieceType kSwitchTerminator = L"--";
constexpr StringPieceType kSwitchPrefix = L"--";
constexpr wchar_t kSwitchValueSeparator = L'=';

CommandLine* g_current_process_command_line = nullptr;

// The length of a switch prefix ("--", "-" or "/") at the start, or 0.
size_t GetSwitchPrefixLength(StringPieceType text) {
  if (text.substr(0, 2) == L"--")
    return 2;
  if (!text.empty() && (text[0] == L'-' || text[0] == L'/'))
    return 1;
  return 0;
}

size_t GetSwitchPrefixLength(std::string_view text) {
  if (text.substr(0, 2) == "--")
    return 2;
  if (!text.empty() && (text[0] == '-' || text[0] == '/'))
    return 1;
  return 0;
}

// The lookup key of a switch: without prefix, ASCII lower case.
std::string SwitchKey(std::string_view switch_string) {
  return ToLowerASCII(
      switch_string.substr(GetSwitchPrefixLength(switch_string)));
}

// Splits "--name=value" into its lower-cased name and value. A bare
// prefix, or one followed by "=", is no switch.
bool IsSwitch(StringPieceType arg, std::string* name, StringType* value) {
  size_t prefix_length = GetSwitchPrefixLength(arg);
  if (prefix_length == 0)
    return false;
  StringPieceType rest = arg.substr(prefix_length);
  size_t separator = rest.find(kSwitchValueSeparator);
  StringPieceType name_part = rest.substr(0, separator);
  if (name_part.empty())
    return false;
  *name = ToLowerASCII(WideToUTF8(name_part));
  *value = separator == StringPieceType::npos
               ? StringType()
               : StringType(rest.substr(separator + 1));
  return true;
}

bool ReadsAsSwitch(StringPieceType arg) {
  std::string name;
  StringType value;
  return arg == kSwitchTerminator || IsSwitch(arg, &name, &value);
}

// Blanks split arguments and quotes group them; an empty argument would
// vanish.
bool NeedsQuoting(StringPieceType arg) {
  return arg.empty() || arg.find_first_of(L" \t\n\v\"") != StringType::npos;
}

// Quotes |arg| so that CommandLineToArgvW gives it back unchanged: inside
// quotes a run of backslashes is literal unless a quote follows it, so
// such runs are doubled and quotes are escaped.
StringType QuoteForCommandLineToArgvW(StringPieceType arg) {
  if (!NeedsQuoting(arg))
    return StringType(arg);

  StringType out(1, L'"');
  for (size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] == L'\\') {
      size_t end = arg.find_first_not_of(L'\\', i);
      if (end == StringPieceType::npos)
        end = arg.size();
      size_t count = end - i;
      // The closing quote counts as a following quote too.
      if (end == arg.size() || arg[end] == L'"')
        count *= 2;
      out.append(count, L'\\');
      i = end - 1;
    } else if (arg[i] == L'"') {
      out.append(L"\\\"");
    } else {
      out.push_back(arg[i]);
    }
  }
  out.push_back(L'"');
  return out;
}

}  // namespace

CommandLine::CommandLine(NoProgram no_program) {}

CommandLine::CommandLine(const FilePath& program) {
  SetProgram(program);
}

CommandLine::CommandLine(const CommandLine&) = default;
CommandLine& CommandLine::operator=(const CommandLine&) = default;
CommandLine::~CommandLine() = default;

// static
CommandLine CommandLine::FromString(StringPieceType command_line) {
  CommandLine command(NO_PROGRAM);
  command.ParseFromString(command_line);
  return command;
}

// static
bool CommandLine::Init(int argc, const char* const* argv) {
  if (g_current_process_command_line)
    return false;
  g_current_process_command_line = new CommandLine(NO_PROGRAM);
  g_current_process_command_line->ParseFromString(::GetCommandLineW());
  return true;
}

// static
void CommandLine::Reset() {
  DCHECK(g_current_process_command_line);
  delete g_current_process_command_line;
  g_current_process_command_line = nullptr;
}

// static
CommandLine* CommandLine::ForCurrentProcess() {
  DCHECK(g_current_process_command_line) << "CommandLine::Init was not called";
  return g_current_process_command_line;
}

// static
bool CommandLine::InitializedForCurrentProcess() {
  return g_current_process_command_line != nullptr;
}

StringType CommandLine::GetCommandLineString() const {
  // The program follows simpler rules: it ends at the next quote, with no
  // escapes (a path cannot hold a quote).
  DCHECK_EQ(program_.find(L'"'), StringType::npos);
  StringType text = program_;
  if (program_.find_first_of(L" \t") != StringType::npos)
    text = L"\"" + program_ + L"\"";
  StringType arguments = GetArgumentsString();
  if (!arguments.empty())
    text.append(L" ").append(arguments);
  return text;
}

StringType CommandLine::GetArgumentsString() const {
  std::vector<StringType> parts;
  for (const std::string& name : switch_order_) {
    StringType token = StringType(kSwitchPrefix) + UTF8ToWide(name);
    const StringType& value = switches_.find(name)->second;
    if (NeedsQuoting(token)) {
      // An odd name is quoted together with its value.
      if (!value.empty())
        token.append(1, kSwitchValueSeparator).append(value);
      parts.push_back(QuoteForCommandLineToArgvW(token));
      continue;
    }
    if (!value.empty()) {
      token.push_back(kSwitchValueSeparator);
      token.append(QuoteForCommandLineToArgvW(value));
    }
    parts.push_back(std::move(token));
  }
  if (std::any_of(args_.begin(), args_.end(), &ReadsAsSwitch))
    parts.emplace_back(kSwitchTerminator);
  for (const StringType& arg : args_)
    parts.push_back(QuoteForCommandLineToArgvW(arg));

  StringType text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0)
      text.push_back(L' ');
    text.append(parts[i]);
  }
  return text;
}

FilePath CommandLine::GetProgram() const {
  return FilePath(program_);
}

void CommandLine::SetProgram(const FilePath& program) {
  program_ = program.value();
}

bool CommandLine::HasSwitch(std::string_view switch_string) const {
  return switches_.find(SwitchKey(switch_string)) != switches_.end();
}

std::string CommandLine::GetSwitchValueASCII(
    std::string_view switch_string) const {
  StringType value = GetSwitchValueNative(switch_string);
  if (!IsStringASCII(value)) {
    LOG(ERROR) << "Value of switch (" << switch_string << ") must be ASCII.";
    return std::string();
  }
  return WideToASCII(value);
}

FilePath CommandLine::GetSwitchValuePath(std::string_view switch_string) const {
  return FilePath(GetSwitchValueNative(switch_string));
}

StringType CommandLine::GetSwitchValueNative(
    std::string_view switch_string) const {
  auto found = switches_.find(SwitchKey(switch_string));
  return found == switches_.end() ? StringType() : found->second;
}

void CommandLine::AppendSwitch(std::string_view switch_string) {
  AppendSwitchNative(switch_string, StringPieceType());
}

void CommandLine::AppendSwitchPath(std::string_view switch_string,
                                   const FilePath& path) {
  AppendSwitchNative(switch_string, path.value());
}

void CommandLine::AppendSwitchNative(std::string_view switch_string,
                                     StringPieceType value) {
  std::string key = SwitchKey(switch_string);
  if (key.empty() || key.find('=') != std::string::npos) {
    // Written out, such a name would read back as something else.
    LOG(ERROR) << "Invalid switch name \"" << switch_string << "\"";
    NOTREACHED();
    return;
  }
  SetSwitch(key, value);
}

void CommandLine::SetSwitch(const std::string& key, StringPieceType value) {
  auto [position, inserted] = switches_.insert_or_assign(key, value);
  if (inserted)
    switch_order_.push_back(key);
}

void CommandLine::AppendSwitchASCII(std::string_view switch_string,
                                    std::string_view value) {
  AppendSwitchNative(switch_string, UTF8ToWide(value));
}

void CommandLine::AppendArg(std::string_view value) {
  AppendArgNative(UTF8ToWide(value));
}

void CommandLine::AppendArgPath(const FilePath& value) {
  AppendArgNative(value.value());
}

void CommandLine::AppendArgNative(StringPieceType value) {
  args_.emplace_back(value);
}

void CommandLine::AppendArguments(const CommandLine& other,
                                  bool include_program) {
  if (include_program)
    SetProgram(other.GetProgram());
  for (const std::string& name : other.switch_order_)
    SetSwitch(name, other.switches_.find(name)->second);
  for (const StringType& arg : other.args_)
    AppendArgNative(arg);
}

void CommandLine::ParseFromString(StringPieceType command_line) {
  InitFromArgv(SplitCommandLineString(command_line));
}

void CommandLine::InitFromArgv(const StringVector& argv) {
  program_ = argv.empty() ? StringType() : argv[0];
  switches_.clear();
  switch_order_.clear();
  args_.clear();

  bool parse_switches = true;
  for (size_t i = 1; i < argv.size(); ++i) {
    const StringType& arg = argv[i];
    if (parse_switches && arg == kSwitchTerminator) {
      parse_switches = false;
      continue;
    }
    std::string name;
    StringType value;
    if (parse_switches && IsSwitch(arg, &name, &value))
      SetSwitch(name, value);
    else
      AppendArgNative(arg);
  }
}

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// The program: up to the next quote when it starts with one, with no
// escapes, else up to the next blank. Returns the position after it.
size_t SplitProgram(StringPieceType text, StringType* program) {
  size_t i = 0;
  if (text[0] == L'"') {
    const size_t end = text.find(L'"', 1);
    *program = StringType(text.substr(1, end - 1));
    return end == StringPieceType::npos ? text.size() : end + 1;
  }
  while (i < text.size() && !IsBlank(text[i]))
    ++i;
  *program = StringType(text.substr(0, i));
  return i;
}

}  // namespace

CommandLine::StringVector SplitCommandLineString(
    CommandLine::StringPieceType text) {
  CommandLine::StringVector argv;
  if (text.find_first_not_of(L" \t\r\n") == StringPieceType::npos)
    return argv;
  StringType program;
  size_t i = SplitProgram(text, &program);
  argv.push_back(program);
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  if (i == text.size())
    return argv;
  StringType arg;
  size_t backslashes = 0;
  // Quotes seen in the current quoted run: 1 inside a quoted part.
  int quotes = 0;
  while (i < text.size()) {
    const wchar_t c = text[i];
    if (IsBlank(c) && quotes == 0) {
      argv.push_back(arg);
      arg.clear();
      backslashes = 0;
      while (i < text.size() && IsBlank(text[i]))
        ++i;
      if (i == text.size())
        return argv;
      continue;
    }
    if (c == L'\\') {
      arg.push_back(c);
      ++backslashes;
      ++i;
      continue;
    }
    if (c != L'"') {
      arg.push_back(c);
      backslashes = 0;
      ++i;
      continue;
    }
    // A quote: the backslashes before it are halved; an odd one out makes
    // the quote literal.
    arg.resize(arg.size() - backslashes / 2);
    if (backslashes % 2 == 1)
      arg.back() = L'"';
    else
      ++quotes;
    backslashes = 0;
    ++i;
    for (; i < text.size() && text[i] == L'"'; ++i) {
      if (++quotes == 3) {
        arg.push_back(L'"');
        quotes = 0;
      }
    }
    if (quotes == 2)
      quotes = 0;
  }
  argv.push_back(arg);
  return argv;
}

}  // namespace base
