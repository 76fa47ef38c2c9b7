#pragma once
// "Position Finder": pick a country, then a location; hands back longitude, latitude and zone.
#include <QDialog>

#include "ephemeris/PositionFinder.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kelvaro {

class TfrmLongLat : public QDialog {
  Q_OBJECT

 public:
  // Reads the country list from `source` once, here.
  explicit TfrmLongLat(QWidget* parent = nullptr, LocationSource source = GetResource);

  // The last chosen position; all 0 until a country or location is chosen.
  double FoundLongitude() const { return finder_.result().FoundLongitude; }  // degrees, east positive
  double FoundLatitude() const { return finder_.result().FoundLatitude; }    // degrees, north positive
  double FoundTimeZone() const { return finder_.result().FoundTimeZone; }    // hours, east positive
  const PositionFinder& finder() const { return finder_; }

  // Shows the window modally; on OK hands back the chosen position and returns true.
  bool Pick(double& longitude, double& latitude, double& zone);

  static constexpr int kHelpContext = 8;

 private:
  void lstCountryClick(int row);
  void lstLocationClick(int row);
  void cmdHelpClick();
  void refreshLabels();
  // A click starts with a press that changes the current row and ends with itemClicked; the
  // change is acted on at once (keyboard too), a click on the current row again only at release.
  void connectChoice(QListWidget* list, int& pressedRow, void (TfrmLongLat::*choose)(int));

  PositionFinder finder_;
  QListWidget* lstCountry_ = nullptr;
  QListWidget* lstLocation_ = nullptr;
  QLabel* lblLongitude_ = nullptr;
  QLabel* lblLatitude_ = nullptr;
  QLabel* lblTimeZone_ = nullptr;
  int countryPressedRow_ = -1;
  int locationPressedRow_ = -1;
};

}  // namespace kelvaro
