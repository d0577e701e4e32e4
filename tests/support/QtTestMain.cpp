// Entry point of the tests that show windows: the sandbox of every test program, and a
// QApplication on the offscreen platform, so that windows are made, laid out and
// driven with QTest without a display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include "tests/support/TestPaths.h"

int main(int argc, char** argv) {
  testsupport::EnterSandbox();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  testing::InitGoogleMock(&argc, argv);
  const int result = RUN_ALL_TESTS();
  testsupport::LeaveSandbox();
  return result;
}
