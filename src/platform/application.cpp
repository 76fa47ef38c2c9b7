#include "platform/application.h"

#include <QApplication>

#include "app/version.h"

namespace kelvaro {

void setUpApplication() {
  const QString title = QString::fromUtf8(kApplicationTitle);
  QApplication::setApplicationName(title);
  // No display name: the window system would append it to every window's caption.
  QApplication::setOrganizationName(QStringLiteral("Dravenco"));
}

}  // namespace kelvaro
