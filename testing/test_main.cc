// Entry of every test executable: the process-wide state that the installer
// library expects of its host is set up once here, as RunInstaller does in a
// real run.

#include "base/at_exit.h"
#include "gtest/gtest.h"

int main(int argc, char** argv) {
  base::AtExitManager at_exit;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
