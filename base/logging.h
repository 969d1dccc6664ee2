// Logging with severities, verbose levels and invariant checks.
//
//   LOG(INFO) << "Installer starting";
//   VLOG(1) << "progress";            // only when the verbose level is >= 1
//   PLOG(ERROR) << "CreateFile failed"; // appends the last Windows error
//   CHECK(ptr) << "must hold";         // crashes the process when false
//   DCHECK(x == y);                    // CHECK in builds with DCHECKs on
//
// Until InitLogging is called messages go to standard error.

#ifndef BASE_LOGGING_H_
#define BASE_LOGGING_H_

#include <sstream>
#include <string>
#include <string_view>

namespace logging {

using LogSeverity = int;
constexpr LogSeverity LOG_VERBOSE = -1;
constexpr LogSeverity LOG_INFO = 0;
constexpr LogSeverity LOG_WARNING = 1;
constexpr LogSeverity LOG_ERROR = 2;
constexpr LogSeverity LOG_FATAL = 3;
constexpr LogSeverity LOG_NUM_SEVERITIES = 4;
// <windows.h> defines ERROR as 0, which turns LOG(ERROR) into LOG(0).
constexpr LogSeverity LOG_0 = LOG_ERROR;
#if defined(NDEBUG) && !defined(DCHECK_ALWAYS_ON)
constexpr LogSeverity LOG_DFATAL = LOG_ERROR;
#define DCHECK_IS_ON() 0
#else
constexpr LogSeverity LOG_DFATAL = LOG_FATAL;
#define DCHECK_IS_ON() 1
#endif

enum LoggingDestination : unsigned {
  LOG_NONE = 0,
  LOG_TO_FILE = 1 << 0,
  LOG_TO_SYSTEM_DEBUG_LOG = 1 << 1,
  LOG_TO_STDERR = 1 << 2,
};

// Whether other processes may write the same file at the same time. The
// file is always opened for appending only, which keeps each line whole
// whichever is chosen.
enum LogLockingState { LOCK_LOG_FILE, DONT_LOCK_LOG_FILE };
enum OldFileDeletionState { DELETE_OLD_LOG_FILE, APPEND_TO_OLD_LOG_FILE };

struct LoggingSettings {
  unsigned logging_dest = LOG_TO_STDERR;
  std::wstring log_file;
  LogLockingState lock_log = LOCK_LOG_FILE;
  OldFileDeletionState delete_old = APPEND_TO_OLD_LOG_FILE;
};

// Sets where messages go. Returns false when the log file cannot be opened;
// messages then still reach the other destinations. With
// DELETE_OLD_LOG_FILE the file is made new: when its name is held by
// anything (a link, another process's log), another name is made, with
// "_<process id>" before the extension.
bool InitLogging(const LoggingSettings& settings);

// The log file messages go to; empty when there is none.
std::wstring GetLogFileName();

// Closes the log file; later messages go to the remaining destinations.
void CloseLogFile();

// Which prefix items each line carries.
void SetLogItems(bool enable_process_id,
                 bool enable_thread_id,
                 bool enable_timestamp,
                 bool enable_tickcount);

void SetMinLogLevel(LogSeverity level);
LogSeverity GetMinLogLevel();

// Messages of VLOG(n) are written when n <= the verbose level.
void SetVlogLevel(int level);
int GetVlogLevel();
bool ShouldCreateLogMessage(LogSeverity severity);

// Receives every formatted line before it is written; returning true drops
// it. Tests use it to look at what was logged.
using LogMessageHandlerFunction = bool (*)(LogSeverity severity,
                                           const char* file,
                                           int line,
                                           const std::string& message);
void SetLogMessageHandler(LogMessageHandlerFunction handler);
LogMessageHandlerFunction GetLogMessageHandler();

using SystemErrorCode = unsigned long;
SystemErrorCode GetLastSystemErrorCode();
// "The text of the error (0xNN)".
std::string SystemErrorCodeToString(SystemErrorCode error_code);

class LogMessage {
 public:
  LogMessage(const char* file, int line, LogSeverity severity);
  // For CHECK failures: the message starts with the failed condition.
  LogMessage(const char* file, int line, const char* condition);
  LogMessage(const LogMessage&) = delete;
  LogMessage& operator=(const LogMessage&) = delete;
  // Writes the message; a fatal one then ends the process.
  ~LogMessage();

  std::ostream& stream() { return stream_; }

 private:
  void Init(const char* file, int line);

  LogSeverity severity_;
  std::ostringstream stream_;
  size_t message_start_ = 0;
  const char* file_;
  int line_;
  // The last error is kept so that formatting cannot change it.
  SystemErrorCode last_error_;
};

// Appends the text of a Windows error to the message.
class Win32ErrorLogMessage {
 public:
  Win32ErrorLogMessage(const char* file,
                       int line,
                       LogSeverity severity,
                       SystemErrorCode err);
  ~Win32ErrorLogMessage();
  std::ostream& stream() { return log_message_.stream(); }

 private:
  SystemErrorCode err_;
  LogMessage log_message_;
};

// Makes "cond ? (void)0 : LogMessage(...).stream() << x" well formed.
class LogMessageVoidify {
 public:
  void operator&(std::ostream&) {}
};

// Builds the message of a failed CHECK_EQ and friends, or null when the
// comparison held.
template <typename A, typename B>
std::string* MakeCheckOpString(const A& a, const B& b, const char* names) {
  std::ostringstream ss;
  ss << names << " (" << a << " vs. " << b << ")";
  return new std::string(ss.str());
}

#define DEFINE_CHECK_OP_IMPL(name, op)                          \
  template <typename A, typename B>                             \
  inline std::string* Check##name##Impl(const A& a, const B& b, \
                                        const char* names) {    \
    if (a op b)                                                 \
      return nullptr;                                           \
    return MakeCheckOpString(a, b, names);                      \
  }
DEFINE_CHECK_OP_IMPL(EQ, ==)
DEFINE_CHECK_OP_IMPL(NE, !=)
DEFINE_CHECK_OP_IMPL(LE, <=)
DEFINE_CHECK_OP_IMPL(LT, <)
DEFINE_CHECK_OP_IMPL(GE, >=)
DEFINE_CHECK_OP_IMPL(GT, >)
#undef DEFINE_CHECK_OP_IMPL

// Owns the message of a failed comparison while the LogMessage is built.
class CheckOpResult {
 public:
  explicit CheckOpResult(std::string* message) : message_(message) {}
  ~CheckOpResult() { delete message_; }
  explicit operator bool() const { return message_ != nullptr; }
  const char* message() const { return message_->c_str(); }

 private:
  std::string* message_;
};

}  // namespace logging

// Wide text is written to logs as UTF-8. Declared where argument-dependent
// lookup finds them from every namespace: an operator<< declared in any
// enclosing namespace would otherwise hide global ones.
namespace std {
ostream& operator<<(ostream& out, const wchar_t* wstr);
ostream& operator<<(ostream& out, const wstring& wstr);
ostream& operator<<(ostream& out, wstring_view wstr);
}  // namespace std

#define COMPACT_LOG_INFO \
  logging::LogMessage(__FILE__, __LINE__, logging::LOG_INFO)
#define COMPACT_LOG_WARNING \
  logging::LogMessage(__FILE__, __LINE__, logging::LOG_WARNING)
#define COMPACT_LOG_ERROR \
  logging::LogMessage(__FILE__, __LINE__, logging::LOG_ERROR)
#define COMPACT_LOG_0 COMPACT_LOG_ERROR
#define COMPACT_LOG_FATAL \
  logging::LogMessage(__FILE__, __LINE__, logging::LOG_FATAL)
#define COMPACT_LOG_DFATAL \
  logging::LogMessage(__FILE__, __LINE__, logging::LOG_DFATAL)

#define LOG_IS_ON(severity) \
  (logging::ShouldCreateLogMessage(logging::LOG_##severity))
#define VLOG_IS_ON(verbose_level) ((verbose_level) <= logging::GetVlogLevel())

#define LAZY_STREAM(stream, condition) \
  !(condition) ? (void)0 : logging::LogMessageVoidify() & (stream)

#define LOG(severity) \
  LAZY_STREAM(COMPACT_LOG_##severity.stream(), LOG_IS_ON(severity))
#define LOG_IF(severity, condition)            \
  LAZY_STREAM(COMPACT_LOG_##severity.stream(), \
              LOG_IS_ON(severity) && (condition))
#define VLOG(verbose_level)                                               \
  LAZY_STREAM(                                                            \
      logging::LogMessage(__FILE__, __LINE__, -(verbose_level)).stream(), \
      VLOG_IS_ON(verbose_level))

#define PLOG_STREAM(severity)                                                \
  logging::Win32ErrorLogMessage(__FILE__, __LINE__, logging::LOG_##severity, \
                                logging::GetLastSystemErrorCode())           \
      .stream()
#define PLOG(severity) LAZY_STREAM(PLOG_STREAM(severity), LOG_IS_ON(severity))

#define CHECK(condition)                                                    \
  LAZY_STREAM(logging::LogMessage(__FILE__, __LINE__, #condition).stream(), \
              !(condition))

// The switch keeps a following "else" from binding to the hidden "if".
#define CHECK_OP(name, op, val1, val2)                             \
  switch (0)                                                       \
  case 0:                                                          \
  default:                                                         \
    if (logging::CheckOpResult _result{logging::Check##name##Impl( \
            (val1), (val2), #val1 " " #op " " #val2)};             \
        !_result)                                                  \
      ;                                                            \
    else                                                           \
      logging::LogMessage(__FILE__, __LINE__, _result.message()).stream()

#define CHECK_EQ(a, b) CHECK_OP(EQ, ==, a, b)
#define CHECK_NE(a, b) CHECK_OP(NE, !=, a, b)
#define CHECK_LE(a, b) CHECK_OP(LE, <=, a, b)
#define CHECK_LT(a, b) CHECK_OP(LT, <, a, b)
#define CHECK_GE(a, b) CHECK_OP(GE, >=, a, b)
#define CHECK_GT(a, b) CHECK_OP(GT, >, a, b)

#if DCHECK_IS_ON()
#define DCHECK(condition) CHECK(condition)
#define DCHECK_EQ(a, b) CHECK_EQ(a, b)
#define DCHECK_NE(a, b) CHECK_NE(a, b)
#define DCHECK_LE(a, b) CHECK_LE(a, b)
#define DCHECK_LT(a, b) CHECK_LT(a, b)
#define DCHECK_GE(a, b) CHECK_GE(a, b)
#define DCHECK_GT(a, b) CHECK_GT(a, b)
#define DLOG(severity) LOG(severity)
#define DVLOG(verbose_level) VLOG(verbose_level)
#define DPLOG(severity) PLOG(severity)
#else
// The condition is compiled but never evaluated.
#define DCHECK(condition) \
  LAZY_STREAM(COMPACT_LOG_INFO.stream(), false && (condition))
#define DCHECK_EQ(a, b) DCHECK((a) == (b))
#define DCHECK_NE(a, b) DCHECK((a) != (b))
#define DCHECK_LE(a, b) DCHECK((a) <= (b))
#define DCHECK_LT(a, b) DCHECK((a) < (b))
#define DCHECK_GE(a, b) DCHECK((a) >= (b))
#define DCHECK_GT(a, b) DCHECK((a) > (b))
#define DLOG(severity) LAZY_STREAM(COMPACT_LOG_INFO.stream(), false)
#define DVLOG(verbose_level) LAZY_STREAM(COMPACT_LOG_INFO.stream(), false)
#define DPLOG(severity) LAZY_STREAM(COMPACT_LOG_INFO.stream(), false)
#endif

#define NOTREACHED() DCHECK(false)

#endif  // BASE_LOGGING_H_
