#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include "platform/help.h"
#include "platform/message_boxes.h"
#include "support/qt_app.h"

using namespace kelvaro;

TEST(Help, EveryContextTheProgramUsesHasItsOwnPage) {
  test::ensureQtApp();
  for (int context = 2; context <= 12; ++context) {
    SCOPED_TRACE(context);
    EXPECT_TRUE(help::hasTopic(context));
    QFile f(help::topicUrl(context).mid(3));  // "qrc:/help/.." -> ":/help/.."
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("<h2>"));
  }
  // Unknown numbers and 0 fall back to the contents page.
  EXPECT_EQ(help::topicUrl(help::kContents), "qrc:/help/contents.html");
  EXPECT_EQ(help::topicUrl(99), "qrc:/help/contents.html");
  EXPECT_EQ(help::topicUrl(-1), "qrc:/help/contents.html");
}

TEST(Help, WindowIsReusedAndShowsTheRequestedTopic) {
  test::ensureQtApp();
  help::showTopic(11);
  QWidget* w = help::window();
  ASSERT_NE(w, nullptr);
  auto* browser = w->findChild<QTextBrowser*>();
  EXPECT_EQ(browser->source().toString(), "qrc:/help/topic11.html");
  EXPECT_TRUE(browser->toPlainText().contains("Tips on Printing Shadow Profiles"));
  help::showContents();
  EXPECT_EQ(help::window(), w);
  EXPECT_TRUE(browser->toPlainText().contains("Solar Calculator"));
  help::close();
  EXPECT_EQ(help::window(), nullptr);
}

TEST(MessageBoxes, KindButtonsAndCaptionFollowTheMessage) {
  test::ensureQtApp();
  auto previous = installMessageBoxes();
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttonCount = 0;
  // Answer each box from inside its own modal loop.
  auto answer = [&](QMessageBox::StandardButton which) {
    QTimer::singleShot(0, [&, which] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttonCount = static_cast<int>(box->buttons().size());
      box->button(which)->click();
    });
  };
  answer(QMessageBox::No);
  EXPECT_EQ(showMessage({MsgKind::Confirmation, "Save it?", {}, MsgButtons::YesNoCancel}), MsgAnswer::No);
  EXPECT_EQ(caption, "Sardon Kelvaro");
  EXPECT_EQ(text, "Save it?");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(buttonCount, 3);

  answer(QMessageBox::Ok);
  EXPECT_EQ(showMessage({MsgKind::Error, "Error calculating", "Error..", MsgButtons::Ok}), MsgAnswer::Ok);
  EXPECT_EQ(caption, "Error..");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttonCount, 1);
  setMessageSink(std::move(previous));
}

TEST(Help, OverAModalDialogTheWindowBelongsToTheDialog) {
  test::ensureQtApp();
  QDialog dialog;
  QWidget* parentSeen = reinterpret_cast<QWidget*>(1);
  bool visible = false;
  QTimer::singleShot(0, [&] {
    help::showTopic(2);
    parentSeen = help::window()->parentWidget();
    visible = help::window()->isVisible();
    dialog.reject();
  });
  dialog.exec();
  EXPECT_EQ(parentSeen, &dialog);  // otherwise the modal dialog would block it
  EXPECT_TRUE(visible);
  help::showTopic(3);  // no modal dialog any more: a window of its own again
  EXPECT_EQ(help::window()->parentWidget(), nullptr);
  help::close();
}
