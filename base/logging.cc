#include "base/logging.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <mutex>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"

namespace logging {

namespace {

const char* const kSeverityNames[LOG_NUM_SEVERITIES] = {"INFO", "WARNING",
                                                        "ERROR", "FATAL"};

// The state of the process's logging. Guarded by |g_mutex| except where
// noted; the levels are read without it, as plain ints.
std::mutex& LogMutex() {
  static auto* mutex = new std::mutex;  // Never destroyed: logging may run
                                        // during static destruction.
  return *mutex;
}
unsigned g_destination = LOG_TO_STDERR;
HANDLE g_log_file = INVALID_HANDLE_VALUE;
std::wstring g_log_file_name;
// Where the next line of the file goes, shared with every process that
// appends to the same file: each line takes its range with one interlocked
// add and is written there. Appending
// alone is not enough: under Wine a write to a file opened for appending
// finds the end and writes there in two steps, so lines of two processes
// overwrote and cut each other (measured: 4 processes appending 20,000
// lines of 100 bytes each lost 7,500 lines). A kernel mutex around each
// write made installs a quarter slower; the shared range costs no call.
HANDLE g_log_end_mapping = nullptr;
volatile LONG64* g_log_end = nullptr;
// The end of a log this process made new, which no other process writes:
// no name another program could create in advance decides where it goes.
volatile LONG64 g_own_log_end = 0;
bool g_log_process_id = true;
bool g_log_thread_id = true;
bool g_log_timestamp = true;
bool g_log_tickcount = false;
int g_min_log_level = LOG_INFO;
int g_vlog_level = 0;
LogMessageHandlerFunction g_message_handler = nullptr;

// The name of the shared end of the log file |path|. Kernel object names
// may not hold backslashes and are limited in length; the case of a path
// does not matter on Windows.
std::wstring LogEndMappingName(const std::wstring& path) {
  std::wstring name;
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/' || c == L':')
      c = L'!';
    name.push_back(static_cast<wchar_t>(::towlower(c)));
  }
  if (name.size() > MAX_PATH)
    name.erase(0, name.size() - MAX_PATH);
  return L"Local\\kelvo_log_end!" + name;
}

// Maps the shared end of the open log file, which starts at the file's
// size when this process is the first to write it.
void MapLogEndLocked(const std::wstring& path) {
  g_log_end_mapping =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                           sizeof(LONG64), LogEndMappingName(path).c_str());
  if (!g_log_end_mapping)
    return;
  g_log_end = static_cast<volatile LONG64*>(
      ::MapViewOfFile(g_log_end_mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG64)));
  LARGE_INTEGER size = {};
  if (!g_log_end || !::GetFileSizeEx(g_log_file, &size)) {
    if (g_log_end)
      ::UnmapViewOfFile(const_cast<LONG64*>(g_log_end));
    g_log_end = nullptr;
    ::CloseHandle(g_log_end_mapping);
    g_log_end_mapping = nullptr;
    return;
  }
  // A new mapping holds 0; one that others use already is left alone.
  ::InterlockedCompareExchange64(g_log_end, size.QuadPart, 0);
}

// Names tried beside the one asked for when another file holds it.
constexpr int kOtherLogNames = 10;

// |path| with "_<process id>", then "_<process id>_<n>", before the
// extension.
std::wstring OtherLogName(const std::wstring& path, int n) {
  std::string suffix(1, '_');
  suffix += base::NumberToString(::GetCurrentProcessId());
  if (n > 0) {
    suffix += '_';
    suffix += base::NumberToString(n);
  }
  return base::FilePath(path).InsertBeforeExtensionASCII(suffix).value();
}

// A fresh log in a folder that other programs may write (the temporary
// folder): whatever holds the name, a link planted there or a file of
// another program or of another process of this run, is neither written,
// emptied nor followed; another name is made instead. Only readers may
// share it. Sets |*opened| to the name made.
HANDLE CreateNewLogFile(const std::wstring& path, std::wstring* opened) {
  for (int i = 0; i <= kOtherLogNames; ++i) {
    const std::wstring candidate = i == 0 ? path : OtherLogName(path, i - 1);
    HANDLE file = ::CreateFileW(
        candidate.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
        nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *opened = candidate;
      return file;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  return INVALID_HANDLE_VALUE;
}

void CloseLogFileLocked() {
  if (g_log_end && g_log_end != &g_own_log_end)
    ::UnmapViewOfFile(const_cast<LONG64*>(g_log_end));
  g_log_end = nullptr;
  if (g_log_end_mapping)
    ::CloseHandle(g_log_end_mapping);
  g_log_end_mapping = nullptr;
  if (g_log_file != INVALID_HANDLE_VALUE)
    ::CloseHandle(g_log_file);
  g_log_file = INVALID_HANDLE_VALUE;
  g_log_file_name.clear();
}

// Moves the handle's position and writes there, both under the log mutex.
// A write given its offset in an OVERLAPPED costs Wine a server call to
// post a completion nobody waits for, once per log line; moving the
// position is done in the process.
void WriteAt(LONG64 offset, const std::string& line) {
  LARGE_INTEGER position = {};
  position.QuadPart = offset;
  if (!::SetFilePointerEx(g_log_file, position, nullptr, FILE_BEGIN))
    return;
  DWORD written = 0;
  ::WriteFile(g_log_file, line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

void WriteToFileLocked(const std::string& line) {
  if (g_log_file == INVALID_HANDLE_VALUE)
    return;
  if (g_log_end) {
    WriteAt(
        ::InterlockedExchangeAdd64(g_log_end, static_cast<LONG64>(line.size())),
        line);
    return;
  }
  // Without the shared end (no mapping could be made), a lock on a byte
  // far beyond any end keeps the other writers out while this one finds
  // the end and writes there.
  OVERLAPPED lock_range = {};
  lock_range.Offset = 0xFFFFFFFE;
  lock_range.OffsetHigh = 0x7FFFFFFF;
  const bool locked = ::LockFileEx(g_log_file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0,
                                   &lock_range) != FALSE;
  LARGE_INTEGER size = {};
  if (::GetFileSizeEx(g_log_file, &size))
    WriteAt(size.QuadPart, line);
  if (locked)
    ::UnlockFileEx(g_log_file, 0, 1, 0, &lock_range);
}

const char* BaseName(const char* file) {
  const char* last = file;
  for (const char* p = file; *p; ++p) {
    if (*p == '/' || *p == '\\')
      last = p + 1;
  }
  return last;
}

}  // namespace

bool InitLogging(const LoggingSettings& settings) {
  std::lock_guard<std::mutex> lock(LogMutex());
  CloseLogFileLocked();
  g_destination = settings.logging_dest;
  if (!(g_destination & LOG_TO_FILE))
    return true;

  std::wstring opened = settings.log_file;
  if (settings.delete_old == DELETE_OLD_LOG_FILE) {
    // Never through a link at the name, which Wine's DeleteFileW would
    // follow; fails while another process of this run holds its own log of
    // that name open.
    base::DeleteFileAtItsPlace(base::FilePath(settings.log_file));
    g_log_file = CreateNewLogFile(settings.log_file, &opened);
  } else {
    g_log_file = ::CreateFileW(settings.log_file.c_str(), FILE_WRITE_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (g_log_file == INVALID_HANDLE_VALUE) {
    g_destination &= ~LOG_TO_FILE;
    return false;
  }
  g_log_file_name = opened;
  if (settings.delete_old == DELETE_OLD_LOG_FILE) {
    g_own_log_end = 0;
    g_log_end = &g_own_log_end;
  } else {
    MapLogEndLocked(opened);
  }
  return true;
}

std::wstring GetLogFileName() {
  std::lock_guard<std::mutex> lock(LogMutex());
  return g_log_file_name;
}

void CloseLogFile() {
  std::lock_guard<std::mutex> lock(LogMutex());
  CloseLogFileLocked();
  g_destination &= ~LOG_TO_FILE;
}

void SetLogItems(bool enable_process_id,
                 bool enable_thread_id,
                 bool enable_timestamp,
                 bool enable_tickcount) {
  std::lock_guard<std::mutex> lock(LogMutex());
  g_log_process_id = enable_process_id;
  g_log_thread_id = enable_thread_id;
  g_log_timestamp = enable_timestamp;
  g_log_tickcount = enable_tickcount;
}

void SetMinLogLevel(LogSeverity level) {
  g_min_log_level = level < LOG_FATAL ? level : LOG_FATAL;
}

LogSeverity GetMinLogLevel() {
  return g_min_log_level;
}

void SetVlogLevel(int level) {
  g_vlog_level = level;
}

int GetVlogLevel() {
  return g_vlog_level;
}

bool ShouldCreateLogMessage(LogSeverity severity) {
  return severity >= g_min_log_level;
}

void SetLogMessageHandler(LogMessageHandlerFunction handler) {
  std::lock_guard<std::mutex> lock(LogMutex());
  g_message_handler = handler;
}

LogMessageHandlerFunction GetLogMessageHandler() {
  std::lock_guard<std::mutex> lock(LogMutex());
  return g_message_handler;
}

SystemErrorCode GetLastSystemErrorCode() {
  return ::GetLastError();
}

std::string SystemErrorCodeToString(SystemErrorCode error_code) {
  wchar_t buffer[256];
  DWORD len = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error_code, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  while (len > 0 && (buffer[len - 1] == L'\n' || buffer[len - 1] == L'\r' ||
                     buffer[len - 1] == L' ')) {
    --len;
  }
  char code[32];
  std::snprintf(code, sizeof(code), "0x%lX", error_code);
  if (len == 0)
    return std::string("Error ") + code;
  return base::WideToUTF8(std::wstring_view(buffer, len)) + " (" + code + ")";
}

LogMessage::LogMessage(const char* file, int line, LogSeverity severity)
    : severity_(severity),
      file_(file),
      line_(line),
      last_error_(::GetLastError()) {
  Init(file, line);
}

LogMessage::LogMessage(const char* file, int line, const char* condition)
    : severity_(LOG_FATAL),
      file_(file),
      line_(line),
      last_error_(::GetLastError()) {
  Init(file, line);
  stream_ << "Check failed: " << condition << ". ";
}

void LogMessage::Init(const char* file, int line) {
  stream_ << '[';
  if (g_log_process_id)
    stream_ << ::GetCurrentProcessId() << ':';
  if (g_log_thread_id)
    stream_ << ::GetCurrentThreadId() << ':';
  if (g_log_timestamp) {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%02d%02d/%02d%02d%02d.%03d:", t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    stream_ << stamp;
  }
  if (g_log_tickcount)
    stream_ << ::GetTickCount64() << ':';
  if (severity_ >= 0)
    stream_ << kSeverityNames[severity_];
  else
    stream_ << "VERBOSE" << -severity_;
  stream_ << ':' << BaseName(file) << '(' << line << ")] ";
  message_start_ = stream_.str().size();
}

LogMessage::~LogMessage() {
  stream_ << '\n';
  std::string line = stream_.str();

  LogMessageHandlerFunction handler = GetLogMessageHandler();
  if (handler &&
      handler(severity_, file_, line_, line.substr(message_start_))) {
    ::SetLastError(last_error_);
    return;
  }

  {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (g_destination & LOG_TO_SYSTEM_DEBUG_LOG)
      ::OutputDebugStringA(line.c_str());
    if (g_destination & LOG_TO_STDERR) {
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
    }
    if (g_destination & LOG_TO_FILE)
      WriteToFileLocked(line);
  }

  if (severity_ == LOG_FATAL) {
    // A breakpoint exception rather than a silent exit: the crash handler
    // gets a dump of the state that broke the invariant.
    __debugbreak();
    ::TerminateProcess(::GetCurrentProcess(), 3);
  }
  ::SetLastError(last_error_);
}

Win32ErrorLogMessage::Win32ErrorLogMessage(const char* file,
                                           int line,
                                           LogSeverity severity,
                                           SystemErrorCode err)
    : err_(err), log_message_(file, line, severity) {}

Win32ErrorLogMessage::~Win32ErrorLogMessage() {
  stream() << ": " << SystemErrorCodeToString(err_);
}

}  // namespace logging

namespace std {

ostream& operator<<(ostream& out, const wchar_t* wstr) {
  return out << (wstr ? base::WideToUTF8(wstr) : string("(null)"));
}

ostream& operator<<(ostream& out, const wstring& wstr) {
  return out << base::WideToUTF8(wstr);
}

ostream& operator<<(ostream& out, wstring_view wstr) {
  return out << base::WideToUTF8(wstr);
}

}  // namespace std
