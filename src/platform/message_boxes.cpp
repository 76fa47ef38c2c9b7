#include "platform/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "app/version.h"

namespace kelvaro {

MessageSink installMessageBoxes() {
  return setMessageSink([](const Message& m) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (m.kind) {
      case MsgKind::Information: icon = QMessageBox::Information; break;
      case MsgKind::Warning: icon = QMessageBox::Warning; break;
      case MsgKind::Error: icon = QMessageBox::Critical; break;
      case MsgKind::Confirmation: icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (m.buttons == MsgButtons::YesNo) buttons = QMessageBox::Yes | QMessageBox::No;
    if (m.buttons == MsgButtons::YesNoCancel) buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    const QString caption = m.caption.empty() ? QString::fromUtf8(kApplicationTitle) : QString::fromStdString(m.caption);
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QMessageBox box(icon, caption, QString::fromStdString(m.text), buttons, parent);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
      case QMessageBox::Yes: return MsgAnswer::Yes;
      case QMessageBox::No: return MsgAnswer::No;
      case QMessageBox::Cancel: return MsgAnswer::Cancel;
      default: return m.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
  });
}

}  // namespace kelvaro
