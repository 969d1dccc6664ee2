// A child process for tests that watch processes:
//   base_test_sleeper.exe MILLISECONDS EXIT_CODE
// sleeps, then exits with the code.

#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  DWORD sleep_ms = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
  int exit_code = argc > 2 ? std::atoi(argv[2]) : 0;
  ::Sleep(sleep_ms);
  return exit_code;
}
