// Test entry point: every test program runs with HOME, the XDG folders and
// CARVOX_MACHINE pointing into a fresh temporary folder, so that no test can touch
// the files of the person running it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/TestPaths.h"

int main(int argc, char** argv) {
  testsupport::EnterSandbox();
  testing::InitGoogleMock(&argc, argv);
  const int result = RUN_ALL_TESTS();
  testsupport::LeaveSandbox();
  return result;
}
