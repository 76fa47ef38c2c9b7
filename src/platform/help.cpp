#include "platform/help.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <QWidget>

#include "app/version.h"

static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace kelvaro::help {
namespace {

QPointer<QWidget>& helpWindow() {
  static QPointer<QWidget> w;
  return w;
}

QTextBrowser* browserOf(QWidget* w) { return w->findChild<QTextBrowser*>(); }

QWidget* ensureWindow() {
  if (helpWindow()) return helpWindow();
  initHelpResources();
  auto* w = new QWidget(nullptr, Qt::Window);
  w->setAttribute(Qt::WA_DeleteOnClose, false);
  w->setWindowTitle(QString::fromUtf8(kApplicationTitle) + " Help");
  w->resize(560, 480);
  auto* browser = new QTextBrowser(w);
  browser->setOpenExternalLinks(true);
  auto* contents = new QPushButton("&Contents", w);
  auto* back = new QPushButton("&Back", w);
  auto* closeBtn = new QPushButton("Close", w);
  QObject::connect(contents, &QPushButton::clicked, browser, [browser] { browser->setSource(QUrl(topicUrl(kContents))); });
  QObject::connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
  QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  QObject::connect(closeBtn, &QPushButton::clicked, w, &QWidget::hide);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back);
  buttons->addStretch();
  buttons->addWidget(closeBtn);
  auto* layout = new QVBoxLayout(w);
  layout->addLayout(buttons);
  layout->addWidget(browser);
  back->setEnabled(false);
  helpWindow() = w;
  return w;
}

}  // namespace

bool hasTopic(int context) {
  initHelpResources();
  return context > 0 && QFile::exists(QStringLiteral(":/help/topic%1.html").arg(context));
}

QString topicUrl(int context) {
  if (hasTopic(context)) return QStringLiteral("qrc:/help/topic%1.html").arg(context);
  return QStringLiteral("qrc:/help/contents.html");
}

void showTopic(int context) {
  QWidget* w = ensureWindow();
  // Over a modal dialog the help window must belong to it, or the dialog blocks it.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != w && w->parentWidget() != modal) w->setParent(modal, Qt::Window);
  browserOf(w)->setSource(QUrl(topicUrl(context)));
  w->show();
  w->raise();
  w->activateWindow();
}

void showContents() { showTopic(kContents); }

void close() {
  if (helpWindow()) delete helpWindow().data();
}

QWidget* window() { return helpWindow(); }

}  // namespace kelvaro::help
