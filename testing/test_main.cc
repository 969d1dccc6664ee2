// Entry of every test executable: the process-wide state that the installer
// library expects of its host (command line, at-exit manager, logging) is set
// up once here, as RunInstaller does in a real run.

#include "gtest/gtest.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
