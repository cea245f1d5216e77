// One QApplication for every test, on the offscreen platform so the tests run
// without a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The profile of whoever runs the tests (display options, version-check
  // values) is neither read nor written, here or in the programs started.
  QTemporaryDir profile;
  qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
