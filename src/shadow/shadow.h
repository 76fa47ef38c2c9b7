#pragma once
// TfrmShadow: the one settings dialog behind every solar and shadow command. The command
// that opens it sets a mode; OK reads the inputs into the site record and runs that mode.
// The rules (reading inputs, stored settings, profile, sun path) live in kelvaro_shadow_core;
// this window only moves values between its controls and those functions.
#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "shadow/SiteTime.h"

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kelvaro {

struct ShadowProfile;
struct ProfileInputs;
struct SunSample;

enum class ShadowMode : int {
  CreateShadowH,
  CreateShadowV,
  Sundata,
  Model3D,
  CreateOverhangShadow,
  CreateFinShadow,
  SolarCalculator,
};

// How a mode sets up the dialog. The latitude, longitude and date groups are always shown.
struct ModeLayout {
  ShadowMode mode;
  const char* modeString;  // "CreateShadowH", ...
  const char* caption;
  bool dimensions, threshold, orientation, solarReport, localTime;
  bool shadowData;  // the "Shadow &Data" button
  int picture;      // side picture 1..7
  int helpContext;
};
const ModeLayout& modeLayout(ShadowMode mode);
std::optional<ShadowMode> modeFromString(std::string_view modeString);

// Date choices of the date group, in order.
enum class DateChoice { Today, MarchEquinox, JuneSolstice, SeptemberEquinox, DecemberSolstice };
// The day a choice sets in the picker: in the year of `today`, whatever the picker shows.
QDate dateForChoice(DateChoice choice, const QDate& today);

// The six reports of the "Solar Report" group, in order.
enum class SolarReport { SunriseSunset, RiseSetAzimuth, NoonAltitude, AzimuthAltitude, HsaVsa, AngleOfIncidence };

// Registry key of the stored settings.
inline constexpr const char* kShadowSettingsKey = "Software\\Dravenco\\Kelvaro\\Shadow";
// Reads the twelve stored values over `s` (each missing or mistyped value keeps its default).
void LoadShadowSettings(ShadowSettings& s);
void SaveShadowSettings(const ShadowSettings& s);

class TfrmShadow : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmShadow(QWidget* parent = nullptr);
  ~TfrmShadow() override;  // writes the stored settings

  // Sets the mode and its layout: caption, groups, "Shadow &Data" and the side picture.
  void SetMode(ShadowMode mode);
  ShadowMode mode() const { return mode_; }
  QString Mode() const;  // the mode string

  // The shared site record, filled at every OK and "Shadow &Data".
  SiteTime& Site() { return site_; }
  // The profile of the drawing modes (valid after a successful OK in those modes).
  const ShadowProfile& Profile() const { return *profile_; }
  // The last sun path of the model and 3D modes.
  const std::vector<SunSample>& SunPath() const { return sunPath_; }
  ShadowSettings& StoredSettings() { return stored_; }

  // Inputs that are not part of the site record.
  SolarReport selectedReport() const;
  int localTimeHours() const;
  int localTimeMinutes() const;

  // The controls' values, and back.
  DialogInputs inputs() const;
  void setInputs(const DialogInputs& in);
  QDate pickerDate() const;
  void setPickerDate(const QDate& d);

  // Show and Capture: stored settings into the controls and back.
  void ShowStored();
  void CaptureStored();
  // Reads the inputs into the site record. False (with a message) when a height field of a
  // drawing mode holds no usable number.
  bool ReadInputs();
  // The profile inputs of the drawing modes; false (with a message, focus on the field) when a
  // height field is empty or not a whole number from 1 to 999999.
  bool ReadProfileInputs(ProfileInputs& in);

  // Result windows of other subsystems; empty hooks do nothing.
  std::function<void(TfrmShadow&)> onSundata;                       // OK in "Sundata"
  std::function<void(TfrmShadow&)> onSolarCalculator;               // OK in "SolarCalculator"
  // "Shadow &Data" after the profile was computed: build the page from Profile() and the
  // structure height as typed (heightField()).
  std::function<void(TfrmShadow&, bool horizontal)> onShadowData;
  // Model and 3D modes after the sun path is built; when set it takes the place of the
  // overhang and fin windows.
  std::function<void(TfrmShadow&, ShadowMode)> onSunPath;
  // Position finder: true with longitude and latitude (degrees, east and north positive)
  // and time zone (hours, east positive) when the user chose a place.
  std::function<bool(double& longitude, double& latitude, double& zone)> positionFinder;

  // Buttons and handlers (public for tests).
  void cmdOKClick();
  void cmdShadowDataClick();
  void cmdPositionFinderClick();
  void cmdHelpClick();
  void dateChoiceClick(DateChoice choice);
  void heightExit(QLineEdit* field);

  QGroupBox* group(const QString& caption) const;
  QPushButton* shadowDataButton() const { return btnShadowData_; }
  QLabel* picture() const { return picture_; }
  int pictureIndex() const { return pictureIndex_; }
  QLineEdit* heightField() const { return edHeight_; }
  QLineEdit* textHeightField() const { return edTextHeight_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void done(int r) override;

 private:
  void buildControls();
  bool runProfile();
  void runSunPath();

  ShadowMode mode_ = ShadowMode::CreateShadowH;
  SiteTime site_;
  std::unique_ptr<ShadowProfile> profile_;
  std::vector<SunSample> sunPath_;
  ShadowSettings stored_;
  int pictureIndex_ = 1;

  QSpinBox *latDeg_, *latMin_, *latSec_, *lonDeg_, *lonMin_, *lonSec_;
  QRadioButton *north_, *south_, *west_, *east_;
  QButtonGroup* dateChoices_;
  QDateEdit* picker_;
  QSpinBox *zoneHours_, *zoneMinutes_, *dst_;
  QLineEdit *edHeight_, *edTextHeight_;
  QRadioButton *mm_, *inches_;
  QSpinBox *threshold_, *orientation_, *lctHours_, *lctMinutes_;
  QButtonGroup* reports_;
  QGroupBox *gbLatitude_, *gbLongitude_, *gbDate_, *gbDimensions_, *gbThreshold_, *gbOrientation_, *gbLocalTime_,
      *gbSolarReport_;
  QPushButton *btnOK_, *btnCancel_, *btnPositionFinder_, *btnShadowData_, *btnHelp_;
  QLabel* picture_;
};

// The seven side pictures (1..7), drawn at the dialog's picture size.
QPixmap shadowPicture(int index);

}  // namespace kelvaro
