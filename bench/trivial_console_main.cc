// The baseline of the start-up bench: a console program that does what
// "installer.exe --version" does for its caller (print a version, no line
// end, and exit with 0) with nothing else loaded but the C runtime.

#include <stdio.h>

int main() {
  fputs("1.0.0.0", stdout);
  fflush(stdout);
  return 0;
}
