// The floor under every silent install: the processes an install starts,
// in the order it starts and waits for them, with none of the installer's
// work in them. Each process that is not a probe enters a single-threaded
// COM apartment first, as every installer process does before its role;
// each crash reporter ends without signalling, as one without the user's
// consent does. Run without arguments it is the front end:
//
//   front end -> its crash reporter (waited for until it ends)
//             -> the temporary-folder probe (waited for)
//             -> the backend -> the backend's crash reporter (waited for)
//             (the backend waited for until it ends)
//
// Like installer.exe it is a windows program that loads COM only when it
// enters the apartment, so its probe loads no more than the installer's.
// Exit code 0 when every process could be started and ended in time.

#include <windows.h>

#include <objbase.h>
#include <stdlib.h>

#include <string>

namespace {

using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFunction = void(WINAPI*)();

// Far above what a start takes even on a loaded machine; a process that
// hangs fails the bench instead of stalling it.
constexpr DWORD kProcessWaitMs = 60 * 1000;
// What a crash-reporter client gives its reporter to become ready.
constexpr DWORD kReporterWaitMs = 2000;

std::wstring OwnPath() {
  wchar_t path[MAX_PATH * 2];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2)
    return std::wstring();
  return std::wstring(path, length);
}

// Starts this program with |role|; waits on the process and, when given, on
// |ready| too, until the first is signalled or |wait_ms| passes. True when
// the process ended (or signalled |ready|) in time.
bool StartAndWait(const std::wstring& role, HANDLE ready, DWORD wait_ms) {
  const std::wstring own = OwnPath();
  if (own.empty())
    return false;
  std::wstring command_line = L"\"" + own + L"\" " + role;
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup_info, &process)) {
    return false;
  }
  HANDLE handles[] = {process.hProcess, ready};
  const DWORD count = ready ? 2 : 1;
  const DWORD result =
      ::WaitForMultipleObjects(count, handles, FALSE, wait_ms);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return result < WAIT_OBJECT_0 + count;
}

// The client's side of a reporter start: a ready event, the reporter, the
// wait for whichever comes first.
bool LaunchReporter() {
  HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ready)
    return false;
  const bool ended = StartAndWait(L"--reporter", ready, kReporterWaitMs);
  ::CloseHandle(ready);
  return ended;
}

bool RunRole(const std::wstring& role) {
  if (role == L"--reporter")
    return true;
  bool ok = LaunchReporter();
  if (role == L"--backend")
    return ok;
  ok = StartAndWait(L"--probe", nullptr, kProcessWaitMs) && ok;
  return StartAndWait(L"--backend", nullptr, kProcessWaitMs) && ok;
}

// Enters a single-threaded apartment; true when it must be left again.
bool EnterApartment(HMODULE ole32) {
  auto co_initialize_ex = reinterpret_cast<CoInitializeExFunction>(
      ::GetProcAddress(ole32, "CoInitializeEx"));
  return co_initialize_ex &&
         SUCCEEDED(co_initialize_ex(nullptr, COINIT_APARTMENTTHREADED));
}

void LeaveApartment(HMODULE ole32) {
  auto co_uninitialize = reinterpret_cast<CoUninitializeFunction>(
      ::GetProcAddress(ole32, "CoUninitialize"));
  if (co_uninitialize)
    co_uninitialize();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // The C runtime's split: CommandLineToArgvW would load the shell.
  const std::wstring role = __argc > 1 && __wargv ? __wargv[1] : L"";
  if (role == L"--probe")
    return 0;
  HMODULE ole32 = ::LoadLibraryW(L"ole32.dll");
  if (!ole32)
    return 1;
  const bool com = EnterApartment(ole32);
  const bool ok = RunRole(role);
  if (com)
    LeaveApartment(ole32);
  return ok ? 0 : 1;
}
