#include "shadow/shadow.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include <exception>

#include "models/ShowModel.h"
#include "view3d/frm3D.h"
#include "platform/help.h"
#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/Profile.h"
#include "shadow/SunPath.h"

namespace kelvaro {
namespace {

const ModeLayout kModes[] = {
    // mode, string, caption, dimensions, threshold, orientation, solar report, local time, shadow data, picture, help
    {ShadowMode::CreateShadowH, "CreateShadowH", "Horizontal Shadow Profile", true, true, false, false, false, true, 1, 2},
    {ShadowMode::CreateShadowV, "CreateShadowV", "Vertical Shadow Profile", true, true, true, false, false, true, 2, 3},
    {ShadowMode::Sundata, "Sundata", "Solar Report Generator", false, false, false, true, false, false, 3, 6},
    {ShadowMode::Model3D, "3DModel", "3D Shadow Model", false, false, false, false, false, false, 4, 7},
    {ShadowMode::CreateOverhangShadow, "CreateOverhangShadow", "Shadow Model for Horizontal Overhang", false, false, false,
     false, false, false, 5, 4},
    {ShadowMode::CreateFinShadow, "CreateFinShadow", "Shadow Model for Vertical Fin", false, false, false, false, false,
     false, 6, 5},
    {ShadowMode::SolarCalculator, "SolarCalculator", "Solar Calculator", false, false, false, false, true, false, 7, 9},
};

const char* const kReports[][2] = {
    {"Sunrise/ Sunset", "Report showing daily Sunrise/ Sunset/ Solar Noon"},
    {"Rise/ Set / Azimuth", "Report showing daily Sunrise/ Sunset/ Azimuth"},
    {"Altitude at Solar Noon", "Report showing daily Altitude at Solar Noon"},
    {"Azimuth/ Altitude", "Report showing hourly Azimuth/ Altitude"},
    {"HSA / VSA", "Report showing hourly Horizontal and Vertical Shadow Angles"},
    {"Angle of Incidence", "Report showing hourly Angle of Incidence"},
};

const char* const kDateChoices[] = {"Today's Date", "March Equinox", "June Solstice", "September Equinox",
                                    "December Solstice"};

QSpinBox* spin(int lo, int hi, int step, int value) {
  auto* s = new QSpinBox;
  s->setRange(lo, hi);
  s->setSingleStep(step);
  s->setValue(value);
  s->setAlignment(Qt::AlignRight);
  return s;
}

void hint(QWidget* w, const QString& text) {
  w->setToolTip(text);
  w->setStatusTip(text);
}

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

const ModeLayout& modeLayout(ShadowMode mode) {
  for (const ModeLayout& m : kModes)
    if (m.mode == mode) return m;
  return kModes[0];
}

std::optional<ShadowMode> modeFromString(std::string_view s) {
  for (const ModeLayout& m : kModes)
    if (s == m.modeString) return m.mode;
  return std::nullopt;
}

QDate dateForChoice(DateChoice choice, const QDate& today) {
  const int y = today.year();
  switch (choice) {
    case DateChoice::Today: return today;
    case DateChoice::MarchEquinox: return QDate(y, 3, 21);
    case DateChoice::JuneSolstice: return QDate(y, 6, 21);
    case DateChoice::SeptemberEquinox: return QDate(y, 9, 22);
    case DateChoice::DecemberSolstice: return QDate(y, 12, 21);
  }
  return today;
}

void LoadShadowSettings(ShadowSettings& s) {
  RegKey k = RegKey::open(kShadowSettingsKey);
  if (!k.isOpen()) return;
  // Each value stands alone: a missing, mistyped or out-of-range one keeps its default.
  auto real = [&](const char* name, double& out, double limit) {
    if (auto v = k.readDouble(name); v && std::abs(*v) <= limit) out = *v;
  };
  auto whole = [&](const char* name, int& out, int lo, int hi) {
    if (auto v = k.readDword(name); v && inRange(static_cast<std::int32_t>(*v), lo, hi)) out = static_cast<std::int32_t>(*v);
  };
  real("gLatitude", s.gLatitude, 90.0);
  real("gLongitude", s.gLongitude, 180.0);
  real("gTimeZone", s.gTimeZone, 12.75);
  whole("gDaylightSaving", s.gDaylightSaving, 0, 6);
  whole("cadStrucHeight", s.cadStrucHeight, 1, 999999);
  whole("cadTxtHeight", s.cadTxtHeight, 1, 999999);
  whole("cadThreshold", s.cadThreshold, 1, 45);
  whole("cadOrient", s.cadOrient, 0, 359);
  if (auto v = k.readBool("cadUnits")) s.cadUnits = *v;
  whole("repOrientation1", s.repOrientation1, 0, 359);
  whole("repOrientation2", s.repOrientation2, 0, 359);
  whole("repInclination", s.repInclination, 0, 90);
}

void SaveShadowSettings(const ShadowSettings& s) {
  RegKey k = RegKey::create(kShadowSettingsKey);
  if (!k.isOpen()) return;
  k.writeDouble("gLatitude", s.gLatitude);
  k.writeDouble("gLongitude", s.gLongitude);
  k.writeDouble("gTimeZone", s.gTimeZone);
  k.writeInt("gDaylightSaving", s.gDaylightSaving);
  k.writeInt("cadStrucHeight", s.cadStrucHeight);
  k.writeInt("cadTxtHeight", s.cadTxtHeight);
  k.writeInt("cadThreshold", s.cadThreshold);
  k.writeInt("cadOrient", s.cadOrient);
  k.writeBool("cadUnits", s.cadUnits);
  k.writeInt("repOrientation1", s.repOrientation1);
  k.writeInt("repOrientation2", s.repOrientation2);
  k.writeInt("repInclination", s.repInclination);
}

TfrmShadow::TfrmShadow(QWidget* parent) : QDialog(parent), profile_(std::make_unique<ShadowProfile>()) {
  setObjectName("frmShadow");
  buildControls();
  setPickerDate(QDate::currentDate());
  LoadShadowSettings(stored_);
  SetMode(ShadowMode::CreateShadowH);
}

TfrmShadow::~TfrmShadow() { SaveShadowSettings(stored_); }

void TfrmShadow::buildControls() {
  // Latitude and longitude: degrees, minutes, seconds and the hemisphere.
  auto angleGroup = [this](const QString& caption, QSpinBox* d, QSpinBox* m, QSpinBox* s, QRadioButton* a,
                           QRadioButton* b) {
    auto* g = new QGroupBox(caption, this);
    auto* grid = new QGridLayout(g);
    grid->addWidget(new QLabel("Degrees"), 0, 0);
    grid->addWidget(new QLabel("Minutes"), 0, 1);
    grid->addWidget(new QLabel("Seconds"), 0, 2);
    grid->addWidget(d, 1, 0);
    grid->addWidget(m, 1, 1);
    grid->addWidget(s, 1, 2);
    auto* side = new QButtonGroup(g);
    side->addButton(a);
    side->addButton(b);
    a->setChecked(true);
    grid->addWidget(a, 2, 0);
    grid->addWidget(b, 2, 1);
    return g;
  };
  latDeg_ = spin(0, 89, 1, 52);
  latMin_ = spin(0, 59, 1, 0);
  latSec_ = spin(0, 59, 1, 0);
  north_ = new QRadioButton("North");
  south_ = new QRadioButton("South");
  gbLatitude_ = angleGroup("Latitude", latDeg_, latMin_, latSec_, north_, south_);
  hint(gbLatitude_, "Enter latitude");
  lonDeg_ = spin(0, 180, 1, 0);
  lonMin_ = spin(0, 59, 1, 0);
  lonSec_ = spin(0, 59, 1, 0);
  west_ = new QRadioButton("West");
  east_ = new QRadioButton("East");
  gbLongitude_ = angleGroup("Longitude", lonDeg_, lonMin_, lonSec_, west_, east_);
  hint(gbLongitude_, "Enter longitude");
  // At 180 degrees there are no minutes or seconds to add.
  connect(lonDeg_, &QSpinBox::valueChanged, this, [this](int d) {
    lonMin_->setMaximum(d == 180 ? 0 : 59);
    lonSec_->setMaximum(d == 180 ? 0 : 59);
  });

  // Date, time zone and daylight saving.
  gbDate_ = new QGroupBox("Date", this);
  hint(gbDate_, "Enter date, time zone and daylight saving");
  auto* dateGrid = new QGridLayout(gbDate_);
  dateChoices_ = new QButtonGroup(gbDate_);
  for (int i = 0; i < 5; ++i) {
    auto* r = new QRadioButton(kDateChoices[i]);
    dateChoices_->addButton(r, i);
    dateGrid->addWidget(r, i, 0);
  }
  dateChoices_->button(0)->setChecked(true);
  connect(dateChoices_, &QButtonGroup::idClicked, this, [this](int id) { dateChoiceClick(DateChoice(id)); });
  picker_ = new QDateEdit(gbDate_);
  picker_->setCalendarPopup(true);
  picker_->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  zoneHours_ = spin(-12, 14, 1, 0);  // +13 and +14 are real standard zones
  zoneMinutes_ = spin(0, 45, 15, 0);
  dst_ = spin(0, 6, 1, 0);
  dateGrid->addWidget(picker_, 0, 1, 1, 2);
  dateGrid->addWidget(new QLabel("Time Zone"), 1, 1, 1, 2);
  dateGrid->addWidget(new QLabel("Hours (West negative)"), 2, 1);
  dateGrid->addWidget(zoneHours_, 2, 2);
  dateGrid->addWidget(new QLabel("Minutes"), 3, 1);
  dateGrid->addWidget(zoneMinutes_, 3, 2);
  dateGrid->addWidget(new QLabel("Daylight Saving (hours)"), 4, 1);
  dateGrid->addWidget(dst_, 4, 2);

  // Dimensions of the profile drawings.
  gbDimensions_ = new QGroupBox("Dimensions", this);
  hint(gbDimensions_, "Enter height of structure/ text and units for Shadow Profile");
  auto* dimGrid = new QGridLayout(gbDimensions_);
  auto heightEdit = [this](const QString& text) {
    auto* e = new QLineEdit(text);
    e->setMaxLength(6);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,6}"), e));
    e->setAlignment(Qt::AlignRight);
    connect(e, &QLineEdit::editingFinished, this, [this, e] { heightExit(e); });
    return e;
  };
  edHeight_ = heightEdit("2000");
  edTextHeight_ = heightEdit("100");
  mm_ = new QRadioButton("mm");
  inches_ = new QRadioButton("inches");
  auto* units = new QButtonGroup(gbDimensions_);
  units->addButton(mm_);
  units->addButton(inches_);
  mm_->setChecked(true);
  dimGrid->addWidget(new QLabel("Structure height"), 0, 0);
  dimGrid->addWidget(edHeight_, 0, 1);
  dimGrid->addWidget(new QLabel("Text height"), 1, 0);
  dimGrid->addWidget(edTextHeight_, 1, 1);
  dimGrid->addWidget(mm_, 2, 0);
  dimGrid->addWidget(inches_, 2, 1);

  auto single = [this](const QString& caption, const QString& tip, QSpinBox* s, const QString& unit) {
    auto* g = new QGroupBox(caption, this);
    hint(g, tip);
    auto* row = new QHBoxLayout(g);
    row->addWidget(s);
    row->addWidget(new QLabel(unit));
    return g;
  };
  threshold_ = spin(1, 45, 1, 10);
  gbThreshold_ = single("Shadow Threshold", "Enter threshold below which shadows are not shown", threshold_, "degrees");
  orientation_ = spin(0, 359, 5, 135);
  gbOrientation_ = single("Orientation", "Enter orientation from North of the structure", orientation_, "degrees");

  gbLocalTime_ = new QGroupBox("Local Civil Time", this);
  auto* lct = new QGridLayout(gbLocalTime_);
  lctHours_ = spin(0, 23, 1, 12);
  lctMinutes_ = spin(0, 59, 1, 0);
  lct->addWidget(new QLabel("Hours"), 0, 0);
  lct->addWidget(lctHours_, 0, 1);
  lct->addWidget(new QLabel("Minutes"), 1, 0);
  lct->addWidget(lctMinutes_, 1, 1);

  gbSolarReport_ = new QGroupBox("Solar Report", this);
  hint(gbSolarReport_, "Select the solar report you wish to view");
  auto* rep = new QVBoxLayout(gbSolarReport_);
  reports_ = new QButtonGroup(gbSolarReport_);
  for (int i = 0; i < 6; ++i) {
    auto* r = new QRadioButton(kReports[i][0]);
    hint(r, kReports[i][1]);
    reports_->addButton(r, i);
    rep->addWidget(r);
  }
  reports_->button(0)->setChecked(true);

  // Buttons.
  btnOK_ = new QPushButton("OK", this);
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton("Cancel", this);
  btnPositionFinder_ = new QPushButton("&Position Finder", this);
  hint(btnPositionFinder_, "Helps you to specify latitude and longitude");
  btnShadowData_ = new QPushButton("Shadow &Data", this);
  hint(btnShadowData_, "View data about sun position and shadows cast");
  btnHelp_ = new QPushButton("&Help", this);
  connect(btnOK_, &QPushButton::clicked, this, &TfrmShadow::cmdOKClick);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnPositionFinder_, &QPushButton::clicked, this, &TfrmShadow::cmdPositionFinderClick);
  connect(btnShadowData_, &QPushButton::clicked, this, &TfrmShadow::cmdShadowDataClick);
  connect(btnHelp_, &QPushButton::clicked, this, &TfrmShadow::cmdHelpClick);
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &TfrmShadow::cmdHelpClick);

  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignTop);

  // Layout: picture at the left, the groups in two columns, buttons at the bottom.
  auto* left = new QVBoxLayout;
  left->addWidget(gbLatitude_);
  left->addWidget(gbLongitude_);
  left->addWidget(gbDate_);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(gbDimensions_);
  right->addWidget(gbThreshold_);
  right->addWidget(gbOrientation_);
  right->addWidget(gbLocalTime_);
  right->addWidget(gbSolarReport_);
  right->addStretch();
  auto* right2 = new QVBoxLayout;
  for (QPushButton* b : {btnOK_, btnCancel_, btnHelp_}) right2->addWidget(b);
  right2->addSpacing(12);
  right2->addWidget(btnPositionFinder_);
  right2->addWidget(btnShadowData_);
  right2->addStretch();
  auto* top = new QHBoxLayout(this);
  top->addWidget(picture_);
  top->addLayout(left);
  top->addLayout(right);
  top->addLayout(right2);
  top->setSizeConstraint(QLayout::SetFixedSize);
}

QGroupBox* TfrmShadow::group(const QString& caption) const {
  for (QGroupBox* g : {gbLatitude_, gbLongitude_, gbDate_, gbDimensions_, gbThreshold_, gbOrientation_, gbLocalTime_,
                       gbSolarReport_})
    if (g->title() == caption) return g;
  return nullptr;
}

void TfrmShadow::SetMode(ShadowMode mode) {
  mode_ = mode;
  const ModeLayout& m = modeLayout(mode);
  setWindowTitle(m.caption);
  gbDimensions_->setVisible(m.dimensions);
  gbThreshold_->setVisible(m.threshold);
  gbOrientation_->setVisible(m.orientation);
  gbSolarReport_->setVisible(m.solarReport);
  gbLocalTime_->setVisible(m.localTime);
  btnShadowData_->setVisible(m.shadowData);
  pictureIndex_ = m.picture;
  picture_->setPixmap(shadowPicture(m.picture));
}

QString TfrmShadow::Mode() const { return QString::fromLatin1(modeLayout(mode_).modeString); }

SolarReport TfrmShadow::selectedReport() const { return SolarReport(std::max(0, reports_->checkedId())); }
int TfrmShadow::localTimeHours() const { return lctHours_->value(); }
int TfrmShadow::localTimeMinutes() const { return lctMinutes_->value(); }
QDate TfrmShadow::pickerDate() const { return picker_->date(); }
void TfrmShadow::setPickerDate(const QDate& d) { picker_->setDate(d); }

DialogInputs TfrmShadow::inputs() const {
  DialogInputs in;
  SiteInputs& s = in.Site;
  s.LatDegrees = latDeg_->value();
  s.LatMinutes = latMin_->value();
  s.LatSeconds = latSec_->value();
  s.South = south_->isChecked();
  s.LonDegrees = lonDeg_->value();
  s.LonMinutes = lonMin_->value();
  s.LonSeconds = lonSec_->value();
  s.East = east_->isChecked();
  s.ZoneHours = zoneHours_->value();
  s.ZoneMinutes = zoneMinutes_->value();
  s.DaylightSaving = dst_->value();
  const QDate d = picker_->date();
  s.Day = d.day();
  s.Month = d.month();
  s.Year = d.year();
  s.Orientation = orientation_->value();
  in.HeightText = edHeight_->text().toStdString();
  in.TextHeightText = edTextHeight_->text().toStdString();
  in.Inches = inches_->isChecked();
  in.Threshold = threshold_->value();
  return in;
}

void TfrmShadow::setInputs(const DialogInputs& in) {
  const SiteInputs& s = in.Site;
  latDeg_->setValue(s.LatDegrees);
  latMin_->setValue(s.LatMinutes);
  latSec_->setValue(s.LatSeconds);
  (s.South ? south_ : north_)->setChecked(true);
  lonDeg_->setValue(s.LonDegrees);
  lonMin_->setValue(s.LonMinutes);
  lonSec_->setValue(s.LonSeconds);
  (s.East ? east_ : west_)->setChecked(true);
  zoneHours_->setValue(s.ZoneHours);
  zoneMinutes_->setValue(s.ZoneMinutes);
  dst_->setValue(s.DaylightSaving);
  orientation_->setValue(s.Orientation);
  edHeight_->setText(QString::fromStdString(in.HeightText));
  edTextHeight_->setText(QString::fromStdString(in.TextHeightText));
  (in.Inches ? inches_ : mm_)->setChecked(true);
  threshold_->setValue(in.Threshold);
}

void TfrmShadow::ShowStored() {
  DialogInputs in = inputs();
  ShowSettings(stored_, in);
  setInputs(in);
}

void TfrmShadow::CaptureStored() { CaptureSettings(inputs(), stored_); }

void TfrmShadow::showEvent(QShowEvent* e) {
  ShowStored();
  QDialog::showEvent(e);
  btnOK_->setFocus();
}

void TfrmShadow::done(int r) {
  CaptureStored();
  QDialog::done(r);
}

bool TfrmShadow::ReadInputs() {
  if (lonDeg_->value() == 180) {
    lonMin_->setValue(0);
    lonSec_->setValue(0);
  }
  profile_->RiseSet.RiseLCT = 0;
  profile_->RiseSet.SetLCT = 0;
  ReadSiteInputs(inputs().Site, site_);
  return true;
}

bool TfrmShadow::ReadProfileInputs(ProfileInputs& in) {
  struct Field {
    QLineEdit* edit;
    int* out;
    const char* message;
  } fields[] = {
      {edHeight_, &in.Height, "Enter a structure height from 1 to 999999."},
      {edTextHeight_, &in.TextHeight, "Enter a text height from 1 to 999999."},
  };
  for (const Field& f : fields) {
    if (!ParseHeightText(f.edit->text().toStdString(), *f.out)) {
      showError(f.message);
      f.edit->setFocus();
      f.edit->selectAll();
      return false;
    }
  }
  in.Inches = inches_->isChecked();
  in.Threshold = threshold_->value();
  return true;
}

bool TfrmShadow::runProfile() {
  ProfileInputs in;
  return ReadProfileInputs(in) && ComputeProfile(site_, in, *profile_);
}

void TfrmShadow::runSunPath() {
  if (!CheckRiseSet(site_)) return;
  sunPath_ = BuildSunPath(site_, mode_ == ShadowMode::Model3D ? SunPathTarget::View3D : SunPathTarget::Models);
  if (onSunPath) {
    onSunPath(*this, mode_);
  } else if (mode_ == ShadowMode::Model3D) {
    Show3DView(this, site_, sunPath_);
  } else {
    ShowShadingModel(this, mode_ == ShadowMode::CreateOverhangShadow ? ShadingModel::Overhang : ShadingModel::Fin,
                     site_, sunPath_);
  }
}

void TfrmShadow::cmdOKClick() {
  setResult(0);
  try {
    if (!ReadInputs()) return;
    switch (mode_) {
      case ShadowMode::CreateShadowH:
      case ShadowMode::CreateShadowV:
        if (runProfile()) accept();
        break;
      case ShadowMode::Sundata:
        if (onSundata) onSundata(*this);
        break;
      case ShadowMode::SolarCalculator:
        if (onSolarCalculator) onSolarCalculator(*this);
        break;
      case ShadowMode::Model3D:
      case ShadowMode::CreateOverhangShadow:
      case ShadowMode::CreateFinShadow:
        runSunPath();
        break;
    }
  } catch (const std::exception& e) {
    // What the mode does not handle itself is reported and the dialog stays open.
    showError(e.what());
  }
}

void TfrmShadow::cmdShadowDataClick() {
  try {
    if (!ReadInputs()) return;
    if (mode_ != ShadowMode::CreateShadowH && mode_ != ShadowMode::CreateShadowV) return;
    // The data pages are built from a freshly computed profile; the dialog stays open.
    if (!runProfile()) return;
    if (onShadowData) onShadowData(*this, mode_ == ShadowMode::CreateShadowH);
  } catch (const std::exception& e) {
    showError(e.what());
  }
}

void TfrmShadow::cmdPositionFinderClick() {
  double longitude = 0, latitude = 0, zone = 0;
  if (positionFinder && positionFinder(longitude, latitude, zone)) {
    DialogInputs in = inputs();
    ApplyFoundPosition(longitude, latitude, zone, in.Site);
    setInputs(in);
  }
  btnOK_->setFocus();
}

void TfrmShadow::cmdHelpClick() { help::showTopic(modeLayout(mode_).helpContext); }

void TfrmShadow::dateChoiceClick(DateChoice choice) {
  dateChoices_->button(int(choice))->setChecked(true);
  setPickerDate(dateForChoice(choice, QDate::currentDate()));
}

void TfrmShadow::heightExit(QLineEdit* field) {
  // An empty field is left for OK to refuse; anything below 1 becomes "1".
  if (field->text().isEmpty()) return;
  field->setText(QString::fromStdString(NormalizeHeightText(field->text().toStdString())));
}

}  // namespace kelvaro
