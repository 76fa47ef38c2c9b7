#pragma once
// The report window: shows one solar report page at a time and prints and copies it.
#include <QAbstractSpinBox>
#include <QDialog>
#include <QPrinter>
#include <memory>
#include <optional>
#include <string>

#include "reports/ReportDocument.h"

class QComboBox;
class QStatusBar;
class QTextBrowser;
class QTextDocument;
class QAction;

namespace kelvaro::reports {

// The number a font size text stands for, at least 6 (the up-down control alone stops at
// 48); nothing when it is no integer.
std::optional<int> fontSizeFromText(const QString& text);

// The font size box: a text field with an up-down control that accepts any typing, so a
// non-number can be reported rather than silently refused.
class TFontSizeBox : public QAbstractSpinBox {
  Q_OBJECT
 public:
  explicit TFontSizeBox(QWidget* parent = nullptr);
  QString text() const;
  void setText(const QString& text);
  QValidator::State validate(QString& input, int& pos) const override;
  void stepBy(int steps) override;
  void fixup(QString& input) const override {}
  QLineEdit* editor() const { return lineEdit(); }

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class TfrmSunHTM : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSunHTM(QWidget* parent = nullptr);
  ~TfrmSunHTM() override;

  // Replaces the page shown; laid out at once with the current default font, scrolled to the top.
  void loadDocument(const std::string& html);
  // Loads `html`, sets the caption and shows the window modally; returns when it is closed.
  void showReport(const std::string& html, const QString& caption);

  void FilePrintCmd();
  void FileSetupPrinter();
  void FileExitCmd();
  void CopyToClip();
  void SelectFont();

  // The default font new pages are laid out with.
  const ReportFont& defaultFont() const { return font_; }
  void setDefaultFontName(const QString& name);
  // Applies a font size text as typed; `finished` (Enter, leaving the box) reports a text that is
  // no integer, earlier keystrokes only apply valid numbers.
  void applyFontSizeText(const QString& text, bool finished);

  QTextBrowser* view() const { return view_; }
  QTextDocument* document() const { return doc_.get(); }
  QComboBox* fontNameBox() const { return fontName_; }
  TFontSizeBox* fontSizeBox() const { return fontSize_; }
  QPrinter& printer();

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void buildUi();
  void syncFontBoxes();

  QTextBrowser* view_ = nullptr;
  QComboBox* fontName_ = nullptr;
  TFontSizeBox* fontSize_ = nullptr;
  QStatusBar* status_ = nullptr;
  std::unique_ptr<QTextDocument> doc_;
  ReportFont font_;
  std::unique_ptr<QPrinter> printer_;  // made on first use: asking for printers can be slow
  bool syncing_ = false;
};

}  // namespace kelvaro::reports
