#pragma once
// One QGuiApplication for a test program, made on first use. It lives until
// the process ends (the tests link gtest_main, so there is no main() of ours
// to own it). Header-only: only the test programs that use Qt include it.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>

namespace ombrelo::testing {

inline void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "ombrelo_tests";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

}  // namespace ombrelo::testing
