#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <map>

#include "ephemeris/LongLat.h"
#include "platform/help.h"
#include "support/qt_app.h"

using namespace kelvaro;

namespace {

void app() { kelvaro::test::ensureQtApp(); }

struct Blocks {
  std::map<std::string, std::vector<std::uint8_t>> data;
  Blocks() {
    std::vector<LocationEntry> countries{{"CACanada", 45.41117, -75.69812, -5.0}, {"INIndia", 28.63576, 77.22445, 5.5}};
    std::vector<LocationEntry> canada{{"Ottawa", 45.41117, -75.69812, -5.0}, {"St. John's", 47.56494, -52.70931, -3.5}};
    std::vector<LocationEntry> india{{"Delhi", 28.65195, 77.23149, 5.5}, {"Mumbai", 19.07283, 72.88261, 5.5}};
    data["Country"] = writeLocationBlock(countries, kCountryNameOffset);
    data["CA"] = writeLocationBlock(canada, kLocationNameOffset);
    data["IN"] = writeLocationBlock(india, kLocationNameOffset);
  }
  LocationSource source() {
    return [this](std::string_view name) -> std::optional<std::span<const std::uint8_t>> {
      auto it = data.find(std::string(name));
      if (it == data.end()) return std::nullopt;
      return std::span<const std::uint8_t>(it->second);
    };
  }
};

template <class W>
W* child(QWidget& w, const char* name) {
  auto* c = w.findChild<W*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

QString text(QWidget& w, const char* label) { return child<QLabel>(w, label)->text(); }

void clickRow(QListWidget* list, int row) {
  QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

int rowOf(QListWidget* list, const QString& name) {
  auto found = list->findItems(name, Qt::MatchExactly);
  return found.isEmpty() ? -1 : list->row(found.first());
}

}  // namespace

TEST(LongLatWindow, CaptionsListsAndInitialLabels) {
  app();
  Blocks blocks;
  TfrmLongLat f(nullptr, blocks.source());
  EXPECT_EQ(f.windowTitle(), "Position Finder");
  QStringList labels;
  for (auto* l : f.findChildren<QLabel*>()) labels << l->text();
  EXPECT_TRUE(labels.contains("Select a country:"));
  EXPECT_TRUE(labels.contains("Select a location"));
  EXPECT_EQ(text(f, "lblLongitude"), "Longitude: 0:00:00 E");
  EXPECT_EQ(text(f, "lblLatitude"), "Latitude: 0:00:00 N");
  EXPECT_EQ(text(f, "lblTimeZone"), "Time Zone: 0:00");
  auto* countries = child<QListWidget>(f, "lstCountry");
  ASSERT_EQ(countries->count(), 2);
  EXPECT_EQ(countries->item(0)->text(), "Canada");  // block order, not sorted again
  EXPECT_EQ(child<QListWidget>(f, "lstLocation")->count(), 0);
  EXPECT_EQ(child<QPushButton>(f, "cmdOK")->text(), "OK");
  EXPECT_TRUE(child<QPushButton>(f, "cmdOK")->isDefault());
  EXPECT_EQ(child<QPushButton>(f, "cmdCancel")->text(), "Cancel");
  EXPECT_EQ(child<QPushButton>(f, "cmdHelp")->text(), "Help");
}

TEST(LongLatWindow, OkWithoutAChoiceReturnsZeros) {
  app();
  Blocks blocks;
  TfrmLongLat f(nullptr, blocks.source());
  QTimer::singleShot(0, &f, [&] { child<QPushButton>(f, "cmdOK")->click(); });
  EXPECT_EQ(f.exec(), QDialog::Accepted);
  EXPECT_EQ(f.FoundLongitude(), 0);
  EXPECT_EQ(f.FoundLatitude(), 0);
  EXPECT_EQ(f.FoundTimeZone(), 0);
  QTimer::singleShot(0, &f, [&] { child<QPushButton>(f, "cmdCancel")->click(); });
  EXPECT_EQ(f.exec(), QDialog::Rejected);

  // Pick: OK hands the values back, Cancel leaves them alone.
  double lon = 1, lat = 1, zone = 1;
  QTimer::singleShot(0, &f, [&] { child<QPushButton>(f, "cmdOK")->click(); });
  EXPECT_TRUE(f.Pick(lon, lat, zone));
  EXPECT_EQ(lon, 0);
  EXPECT_EQ(lat, 0);
  EXPECT_EQ(zone, 0);
  child<QListWidget>(f, "lstCountry")->setCurrentRow(1);
  QTimer::singleShot(0, &f, [&] { child<QPushButton>(f, "cmdCancel")->click(); });
  EXPECT_FALSE(f.Pick(lon, lat, zone));
  EXPECT_EQ(zone, 0);
  QTimer::singleShot(0, &f, [&] { child<QPushButton>(f, "cmdOK")->click(); });
  EXPECT_TRUE(f.Pick(lon, lat, zone));
  EXPECT_EQ(zone, 5.5);  // the result stays as last set across showings
}

TEST(LongLatWindow, ClicksChooseCountryThenLocationAndAReclickRestoresTheCountry) {
  app();
  Blocks blocks;
  TfrmLongLat f(nullptr, blocks.source());
  f.show();
  auto* countries = child<QListWidget>(f, "lstCountry");
  auto* locations = child<QListWidget>(f, "lstLocation");

  clickRow(countries, 0);
  ASSERT_EQ(locations->count(), 2);
  EXPECT_EQ(locations->item(1)->text(), "St. John's");
  EXPECT_EQ(text(f, "lblTimeZone"), "Time Zone: -5:00");
  EXPECT_EQ(text(f, "lblLongitude"), "Longitude: 75:41:53 W");  // Ottawa, the capital
  clickRow(locations, 1);
  EXPECT_EQ(text(f, "lblTimeZone"), "Time Zone: -3:30");
  EXPECT_DOUBLE_EQ(f.FoundLatitude(), 47.56494);
  EXPECT_DOUBLE_EQ(f.FoundLongitude(), -52.70931);

  clickRow(countries, 0);  // the same country again: its own position, locations reloaded
  EXPECT_DOUBLE_EQ(f.FoundTimeZone(), -5.0);
  EXPECT_EQ(locations->count(), 2);
  EXPECT_EQ(locations->currentRow(), -1);

  countries->setCurrentRow(1);  // the keyboard path
  ASSERT_EQ(locations->count(), 2);
  EXPECT_EQ(locations->item(0)->text(), "Delhi");
  locations->setCurrentRow(1);
  EXPECT_EQ(text(f, "lblLatitude"), "Latitude: 19:04:22 N");
  EXPECT_EQ(text(f, "lblLongitude"), "Longitude: 72:52:57 E");
  EXPECT_EQ(text(f, "lblTimeZone"), "Time Zone: 5:30");
}

TEST(LongLatWindow, HelpOpensTheFindersTopic) {
  app();
  Blocks blocks;
  TfrmLongLat f(nullptr, blocks.source());
  child<QPushButton>(f, "cmdHelp")->click();
  ASSERT_NE(help::window(), nullptr);
  EXPECT_TRUE(help::window()->isVisible());
  EXPECT_TRUE(help::hasTopic(TfrmLongLat::kHelpContext));
  help::close();
}

// The real gazetteer: India, then Mumbai; also leaves a picture of the window for a look.
TEST(LongLatWindow, MumbaiFromTheBuiltInGazetteer) {
  app();
  TfrmLongLat f;
  f.resize(560, 420);
  f.show();
  auto* countries = child<QListWidget>(f, "lstCountry");
  auto* locations = child<QListWidget>(f, "lstLocation");
  const int india = rowOf(countries, "India");
  ASSERT_GE(india, 0);
  countries->setCurrentRow(india);
  countries->scrollToItem(countries->item(india));
  const int mumbai = rowOf(locations, "Mumbai");
  ASSERT_GE(mumbai, 0);
  locations->scrollToItem(locations->item(mumbai));
  clickRow(locations, mumbai);
  EXPECT_EQ(text(f, "lblLatitude"), "Latitude: 19:04:22 N");
  EXPECT_EQ(text(f, "lblLongitude"), "Longitude: 72:52:57 E");
  EXPECT_EQ(text(f, "lblTimeZone"), "Time Zone: 5:30");
  f.grab().save(QString(KELVARO_BINARY_DIR) + "/position_finder_mumbai.png");
}
