// main of the tests that need Qt widgets: a QApplication on the platform the environment names
// (offscreen under ctest), with settings and documents of a scratch home of its own, so that
// parallel runs do not share Qt's stored dialog state.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include "tests/support/test_support.h"

int main(int argc, char** argv) {
  lorvante::test::TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
  setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
