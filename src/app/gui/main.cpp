// kelvaro: the desktop program.
#include <QApplication>
#include <QMainWindow>

#include "app/version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kelvaro::kApplicationTitle));
  QMainWindow w;
  w.setWindowTitle(QString::fromUtf8(kelvaro::kApplicationTitle));
  w.resize(640, 475);
  w.show();
  return app.exec();
}
