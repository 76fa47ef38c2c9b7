#include "reports/SunHTM.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/notify.h"

namespace kelvaro::reports {
namespace {

constexpr int kMinFontSize = 6;
constexpr int kMaxFontSize = 48;  // the up-down control's end; typing may go beyond it
// A typing slip of a few more digits would lay the page out in letters far larger than any
// page; such sizes stop here.
constexpr int kLargestFontSize = 999;

// A small printer glyph for the toolbar when the icon theme has none.
QIcon printIcon() {
  QIcon themed = QIcon::fromTheme(QStringLiteral("document-print"));
  if (!themed.isNull()) return themed;
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(4, 1, 7, 5);     // paper in
  p.setBrush(QColor(0xC0, 0xC0, 0xC0));
  p.drawRect(1, 6, 13, 6);    // body
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 7, 5);    // paper out
  return QIcon(pm);
}

}  // namespace

std::optional<int> fontSizeFromText(const QString& text) {
  bool ok = false;
  int v = text.trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return std::clamp(v, kMinFontSize, kLargestFontSize);
}

TFontSizeBox::TFontSizeBox(QWidget* parent) : QAbstractSpinBox(parent) {
  setAccelerated(false);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

QString TFontSizeBox::text() const { return lineEdit()->text(); }

void TFontSizeBox::setText(const QString& text) { lineEdit()->setText(text); }

QValidator::State TFontSizeBox::validate(QString&, int&) const { return QValidator::Acceptable; }

void TFontSizeBox::stepBy(int steps) {
  bool ok = false;
  int v = text().trimmed().toInt(&ok);
  if (!ok) v = kMinFontSize;
  setText(QString::number(std::clamp(v + steps, kMinFontSize, kMaxFontSize)));
}

TfrmSunHTM::TfrmSunHTM(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Sun Data"));
  buildUi();
  resize(624, 459);
  loadDocument({});
}

TfrmSunHTM::~TfrmSunHTM() = default;

QPrinter& TfrmSunHTM::printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

void TfrmSunHTM::buildUi() {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(pal);

  auto* menu = new QMenuBar(this);
  QMenu* file = menu->addMenu(QStringLiteral("&File"));
  QAction* setup = file->addAction(QStringLiteral("&Setup Printer..."));
  connect(setup, &QAction::triggered, this, &TfrmSunHTM::FileSetupPrinter);
  QAction* print = file->addAction(printIcon(), QStringLiteral("&Print..."));
  print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  print->setToolTip(QStringLiteral("Print"));
  print->setStatusTip(QStringLiteral("Print the report"));
  connect(print, &QAction::triggered, this, &TfrmSunHTM::FilePrintCmd);
  file->addSeparator();
  QAction* close = file->addAction(QStringLiteral("&Close"));
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
  connect(close, &QAction::triggered, this, &TfrmSunHTM::FileExitCmd);
  QMenu* edit = menu->addMenu(QStringLiteral("&Edit"));
  QAction* copy = edit->addAction(QStringLiteral("&Copy to Clipboard"));
  copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  connect(copy, &QAction::triggered, this, &TfrmSunHTM::CopyToClip);
  QAction* font = edit->addAction(QStringLiteral("Select &Font..."));
  connect(font, &QAction::triggered, this, &TfrmSunHTM::SelectFont);
  // Shortcuts work while the view has the focus.
  addActions({print, close, copy});

  auto* tools = new QToolBar(this);
  tools->setIconSize(QSize(16, 16));
  tools->addAction(print);
  tools->addSeparator();
  fontName_ = new QComboBox(tools);
  fontName_->setMaxVisibleItems(10);
  // Styles that open the list as a menu over the box ignore the row count and grow it to the
  // screen's height; a plain drop-down list keeps the ten rows.
  fontName_->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  fontName_->setMinimumContentsLength(18);
  fontName_->setToolTip(QStringLiteral("Font Name"));
  fontName_->setStatusTip(QStringLiteral("Select font name"));
  fontName_->addItems(installedFontFamilies());
  tools->addWidget(fontName_);
  tools->addSeparator();
  fontSize_ = new TFontSizeBox(tools);
  fontSize_->setToolTip(QStringLiteral("Font Size"));
  fontSize_->setStatusTip(QStringLiteral("Select font size"));
  fontSize_->setFixedWidth(56);
  tools->addWidget(fontSize_);

  view_ = new QTextBrowser(this);
  view_->setFrameShape(QFrame::NoFrame);
  view_->setOpenLinks(false);
  view_->setTextInteractionFlags(Qt::NoTextInteraction);
  // The view hands its wrap mode to every page it shows; pages break lines only between words.
  view_->setWordWrapMode(QTextOption::WordWrap);
  QPalette vp = view_->palette();
  vp.setColor(QPalette::Base, Qt::white);
  vp.setColor(QPalette::Text, Qt::black);
  view_->setPalette(vp);

  status_ = new QStatusBar(this);
  status_->setSizeGripEnabled(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menu);
  layout->addWidget(tools);
  layout->addWidget(view_, 1);
  layout->addWidget(status_);

  syncFontBoxes();
  connect(fontName_, &QComboBox::textActivated, this, [this](const QString& name) {
    if (!syncing_) font_.family = name;
  });
  connect(fontSize_->editor(), &QLineEdit::textChanged, this, [this](const QString& t) {
    if (!syncing_) applyFontSizeText(t, false);
  });
  connect(fontSize_, &QAbstractSpinBox::editingFinished, this, [this] {
    if (!syncing_) applyFontSizeText(fontSize_->text(), true);
  });
}

void TfrmSunHTM::syncFontBoxes() {
  syncing_ = true;
  QString shown = resolvedFontFamily(font_.family);
  int i = fontName_->findText(font_.family);
  if (i < 0) i = fontName_->findText(shown);
  if (i >= 0) fontName_->setCurrentIndex(i);
  fontSize_->setText(QString::number(font_.pointSize));
  syncing_ = false;
}

void TfrmSunHTM::setDefaultFontName(const QString& name) {
  font_.family = name;
  syncFontBoxes();
}

void TfrmSunHTM::applyFontSizeText(const QString& text, bool finished) {
  std::optional<int> size = fontSizeFromText(text);
  if (!size) {
    // Mid-typing (an emptied box, a lone "-") is not yet an error; a finished entry is.
    if (finished) {
      showError(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
      syncFontBoxes();
    }
    return;
  }
  font_.pointSize = *size;
  if (finished && text.trimmed() != QString::number(*size)) syncFontBoxes();
}

void TfrmSunHTM::loadDocument(const std::string& html) {
  std::unique_ptr<QTextDocument> doc = makeReportDocument(html, font_);
  view_->setDocument(doc.get());
  doc_ = std::move(doc);  // the previous page goes only after the view let go of it
  view_->verticalScrollBar()->setValue(0);
  view_->horizontalScrollBar()->setValue(0);
}

void TfrmSunHTM::showReport(const std::string& html, const QString& caption) {
  loadDocument(html);
  setWindowTitle(caption);
  exec();
}

void TfrmSunHTM::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (QScreen* s = screen()) {
    QRect r = frameGeometry();
    r.moveCenter(s->availableGeometry().center());
    move(r.topLeft());
  }
  view_->setFocus();
}

bool TfrmSunHTM::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    status_->showMessage(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QDialog::event(e);
}

void TfrmSunHTM::FilePrintCmd() {
  QPrintDialog dlg(&printer(), this);
  if (dlg.exec() != QDialog::Accepted) return;
  printReportDocument(*doc_, printer());
}

void TfrmSunHTM::FileSetupPrinter() {
  QPageSetupDialog dlg(&printer(), this);
  dlg.exec();
}

void TfrmSunHTM::FileExitCmd() { close(); }

void TfrmSunHTM::CopyToClip() {
  // Selection is allowed only for the copy: the page stays unselectable with the mouse.
  view_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  view_->selectAll();
  auto* mime = new QMimeData;
  mime->setText(reportPlainText(*doc_));
  mime->setHtml(doc_->toHtml());
  QGuiApplication::clipboard()->setMimeData(mime);
  QTextCursor c = view_->textCursor();
  c.clearSelection();
  view_->setTextCursor(c);
  view_->setTextInteractionFlags(Qt::NoTextInteraction);
  showInfo("Data has been copied to the clipboard");
}

void TfrmSunHTM::SelectFont() {
  bool ok = false;
  QFont current(font_.family);
  current.setPointSize(font_.pointSize);
  QFont chosen = QFontDialog::getFont(&ok, current, this);
  if (!ok) return;
  font_.family = chosen.family();
  if (chosen.pointSize() > 0) font_.pointSize = std::clamp(chosen.pointSize(), kMinFontSize, kLargestFontSize);
  syncFontBoxes();
}

}  // namespace kelvaro::reports
