// Shared main of every test program: runs the tests, then the finalizations
// of every unit a test initialised (in reverse order).
#include <gtest/gtest.h>

#include "platform/rtl/UnitInit.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  FinalizeUnits();
  return result;
}
