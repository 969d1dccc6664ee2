// The child process of the process tests. One action per run:
//   exit N            exits with code N
//   print TEXT        writes TEXT to standard output, no line end
//   sleep MS          sleeps MS milliseconds, then exits with 0
//   show-window       writes the show-window request of its start-up info
//   reset-event HEX   resets the event whose handle value is HEX: exits with
//                     0 when that handle is an event here, 3 when it is not
//   signal-and-wait STARTED GO
//                     sets the named event STARTED, then waits for the
//                     named event GO (both made when missing), at most a
//                     minute: exits with 0 when GO came, 5 when not
//   log FILE TAG N    logs N lines to FILE (appended), line i holding TAG,
//                     i and a run of TAG's first letter, 200 to 8,000 long
// Unknown actions exit with 100.

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/logging.h"

namespace {

int PrintShowWindow() {
  STARTUPINFOW info = {sizeof(info)};
  ::GetStartupInfoW(&info);
  printf("%d", (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : -1);
  return 0;
}

int ResetEvent(const char* hex) {
  HANDLE event = reinterpret_cast<HANDLE>(
      static_cast<uintptr_t>(strtoull(hex, nullptr, 16)));
  return ::ResetEvent(event) ? 0 : 3;
}

int SignalAndWait(const char* started_name, const char* go_name) {
  HANDLE started = ::CreateEventA(nullptr, TRUE, FALSE, started_name);
  HANDLE go = ::CreateEventA(nullptr, TRUE, FALSE, go_name);
  if (!started || !go)
    return 5;
  ::SetEvent(started);
  const bool came = ::WaitForSingleObject(go, 60000) == WAIT_OBJECT_0;
  ::CloseHandle(started);
  ::CloseHandle(go);
  return came ? 0 : 5;
}

int LogLines(const char* file, const char* tag, int count) {
  logging::LoggingSettings settings;
  settings.logging_dest = logging::LOG_TO_FILE;
  std::string path(file);
  settings.log_file.assign(path.begin(), path.end());
  if (!logging::InitLogging(settings))
    return 4;
  for (int i = 0; i < count; ++i) {
    LOG(INFO) << "<" << tag << " " << i << " "
              << std::string(200 + (i * 7919) % 7800, tag[0]) << ">";
  }
  logging::CloseLogFile();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return 100;
  const char* action = argv[1];
  const char* argument = argc > 2 ? argv[2] : "";
  if (!strcmp(action, "exit"))
    return atoi(argument);
  if (!strcmp(action, "print"))
    return fputs(argument, stdout) < 0;
  if (!strcmp(action, "sleep")) {
    ::Sleep(static_cast<DWORD>(atoi(argument)));
    return 0;
  }
  if (!strcmp(action, "show-window"))
    return PrintShowWindow();
  if (!strcmp(action, "reset-event"))
    return ResetEvent(argument);
  if (!strcmp(action, "signal-and-wait") && argc == 4)
    return SignalAndWait(argv[2], argv[3]);
  if (!strcmp(action, "log") && argc == 5)
    return LogLines(argv[2], argv[3], atoi(argv[4]));
  return 100;
}
