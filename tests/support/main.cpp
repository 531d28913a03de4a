// Test entry: a headless application object, then GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>

#ifdef KORVANTA_TEST_APPLICATION
#include "Application.h"
using TestApplication = app::Application;
#else
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  TestApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
