#pragma once
// One QApplication for a test program that needs widgets (created on first use, never freed).
#include <QApplication>

namespace kelvaro::test {

inline QApplication* ensureQtApp() {
  static int argc = 1;
  static char name[] = "kelvaro-test";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QApplication(argc, argv);
  return qobject_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace kelvaro::test
