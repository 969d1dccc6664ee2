// Holds a named mutex for the global storage tests, as another process of
// the product would:
//   mutex_holder MUTEX READY_EVENT RELEASE_EVENT
// takes MUTEX, signals READY_EVENT, then waits (at most a minute) for
// RELEASE_EVENT and releases MUTEX before it exits with 0;
//   mutex_holder MUTEX READY_EVENT
// takes MUTEX, signals READY_EVENT and exits holding it (the mutex is then
// abandoned). Exit codes: 2 bad arguments, 3 no mutex, 4 mutex busy, 5 no
// event.

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4)
    return 2;
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, argv[1]);
  if (!mutex)
    return 3;
  if (::WaitForSingleObject(mutex, 10000) != WAIT_OBJECT_0)
    return 4;
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (!ready || !::SetEvent(ready))
    return 5;
  if (argc == 3)
    return 0;
  HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  if (!release)
    return 5;
  ::WaitForSingleObject(release, 60000);
  ::ReleaseMutex(mutex);
  return 0;
}
