// Test entry: a headless application object, then GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>

#ifdef KORVANTA_TEST_APPLICATION
#include "app/Application.h"
using TestApplication = app::Application;
#else
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The locale is pinned, so that no test depends on the machine's settings.
  qputenv("LC_ALL", "C.UTF-8");
  ::testing::InitGoogleTest(&argc, argv);
  TestApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
