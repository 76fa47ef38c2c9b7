#include "ephemeris/LongLat.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>

#include "platform/help.h"

namespace kelvaro {
namespace {

// Taking the focus must not choose anything: a list makes its first row current on focus-in,
// which would count as a choice.
class ChoiceList : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  void focusInEvent(QFocusEvent* e) override {
    const bool noneCurrent = currentRow() < 0;
    const QSignalBlocker block(this);
    QListWidget::focusInEvent(e);
    if (noneCurrent && currentRow() >= 0) selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
};

}  // namespace

TfrmLongLat::TfrmLongLat(QWidget* parent, LocationSource source)
    : QDialog(parent), finder_(std::move(source)) {
  setObjectName("frmLongLat");
  setWindowTitle("Position Finder");

  auto* lblCountry = new QLabel("Select a country:", this);
  auto* lblLocation = new QLabel("Select a location", this);
  lstCountry_ = new ChoiceList(this);
  lstCountry_->setObjectName("lstCountry");
  lstLocation_ = new ChoiceList(this);
  lstLocation_->setObjectName("lstLocation");
  lblCountry->setBuddy(lstCountry_);
  lblLocation->setBuddy(lstLocation_);
  for (auto* list : {lstCountry_, lstLocation_}) {
    list->setSortingEnabled(false);  // block order
    list->setUniformItemSizes(true);
    list->setMinimumHeight(260);
  }
  lstCountry_->setMinimumWidth(220);
  lstLocation_->setMinimumWidth(300);

  lblLongitude_ = new QLabel(this);
  lblLongitude_->setObjectName("lblLongitude");
  lblLatitude_ = new QLabel(this);
  lblLatitude_->setObjectName("lblLatitude");
  lblTimeZone_ = new QLabel(this);
  lblTimeZone_->setObjectName("lblTimeZone");

  auto* cmdOK = new QPushButton("OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  auto* cmdCancel = new QPushButton("Cancel", this);
  cmdCancel->setObjectName("cmdCancel");
  auto* cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");

  auto* grid = new QGridLayout(this);
  grid->addWidget(lblCountry, 0, 0);
  grid->addWidget(lblLocation, 0, 1);
  grid->addWidget(lstCountry_, 1, 0);
  grid->addWidget(lstLocation_, 1, 1);
  auto* values = new QVBoxLayout;
  values->addWidget(lblLongitude_);
  values->addWidget(lblLatitude_);
  values->addWidget(lblTimeZone_);
  grid->addLayout(values, 2, 0);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  buttons->addWidget(cmdHelp);
  grid->addLayout(buttons, 2, 1, Qt::AlignBottom);

  for (const auto& c : finder_.countries()) lstCountry_->addItem(QString::fromStdString(c.Name));

  connectChoice(lstCountry_, countryPressedRow_, &TfrmLongLat::lstCountryClick);
  connectChoice(lstLocation_, locationPressedRow_, &TfrmLongLat::lstLocationClick);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdHelp, &QPushButton::clicked, this, &TfrmLongLat::cmdHelpClick);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, &TfrmLongLat::cmdHelpClick);

  refreshLabels();
}

void TfrmLongLat::connectChoice(QListWidget* list, int& pressedRow, void (TfrmLongLat::*choose)(int)) {
  connect(list, &QListWidget::currentRowChanged, this, [this, &pressedRow, choose](int row) {
    if (row < 0) return;
    pressedRow = (QGuiApplication::mouseButtons() & Qt::LeftButton) ? row : -1;
    (this->*choose)(row);
  });
  connect(list, &QListWidget::itemClicked, this, [this, list, &pressedRow, choose](QListWidgetItem* item) {
    const int row = list->row(item);
    const bool alreadyChosen = row == pressedRow;
    pressedRow = -1;
    if (!alreadyChosen && row >= 0) (this->*choose)(row);
  });
}

void TfrmLongLat::lstCountryClick(int row) {
  if (row < 0 || lstCountry_->count() == 0) return;
  finder_.ChooseCountry(static_cast<std::size_t>(row));
  const QSignalBlocker block(lstLocation_);
  lstLocation_->clear();
  locationPressedRow_ = -1;
  for (const auto& l : finder_.locations()) {
    auto* item = new QListWidgetItem(QString::fromStdString(l.Name), lstLocation_);
    item->setToolTip(item->text());  // long disambiguated names may be cut off
  }
  refreshLabels();
}

void TfrmLongLat::lstLocationClick(int row) {
  if (row < 0 || lstLocation_->count() == 0) return;
  finder_.ChooseLocation(static_cast<std::size_t>(row));
  refreshLabels();
}

bool TfrmLongLat::Pick(double& longitude, double& latitude, double& zone) {
  if (exec() != QDialog::Accepted) return false;
  longitude = FoundLongitude();
  latitude = FoundLatitude();
  zone = FoundTimeZone();
  return true;
}

void TfrmLongLat::cmdHelpClick() { help::showTopic(kHelpContext); }

void TfrmLongLat::refreshLabels() {
  lblLongitude_->setText(QString::fromStdString(finder_.LongitudeText()));
  lblLatitude_->setText(QString::fromStdString(finder_.LatitudeText()));
  lblTimeZone_->setText(QString::fromStdString(finder_.TimeZoneText()));
}

}  // namespace kelvaro
