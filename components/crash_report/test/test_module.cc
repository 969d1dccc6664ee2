// A module with a version resource of its own, loaded by the crashing test
// child so that the tests know one module of its list exactly.

#include <windows.h>

extern "C" __declspec(dllexport) int KelvoTestModuleExport() {
  return 7;
}
