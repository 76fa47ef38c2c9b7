#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/settings.h"

using namespace kelvaro;

namespace {

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }
  QString fileText() const {
    QFile f(dir_.filePath("Kelvaro.conf"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  void writeFile(const QByteArray& text) {
    QFile f(dir_.filePath("Kelvaro.conf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  QTemporaryDir dir_;
};

TEST_F(SettingsStore, MissingKeyIsNotOpenedAndCreateMakesIt) {
  EXPECT_TRUE(settingsLocation().startsWith(dir_.path()));
  EXPECT_FALSE(RegKey::open("Software\\Dravenco\\Kelvaro\\CAD").isOpen());
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro\\CAD");
    ASSERT_TRUE(k.isOpen());
    k.writeDword("cadCurveQual", 10);
  }
  EXPECT_TRUE(RegKey::open("Software\\Dravenco\\Kelvaro\\CAD").isOpen());
  // Parents exist too, and key names ignore letter case like the registry.
  EXPECT_TRUE(RegKey::open("Software\\Dravenco\\Kelvaro").isOpen());
  EXPECT_TRUE(RegKey::open("software\\DRAVENCO\\kelvaro\\cad").isOpen());
  EXPECT_FALSE(RegKey::open("Software\\Dravenco\\Kelvaro\\Shadow").isOpen());
  // Reads on a key that is not open give nothing and writes are ignored.
  RegKey none = RegKey::open("Software\\Nobody");
  EXPECT_FALSE(none.readString("x").has_value());
  none.writeDword("x", 1);
  EXPECT_FALSE(RegKey::open("Software\\Nobody").isOpen());
}

TEST_F(SettingsStore, TypedValuesRoundTripAndKeepTheirType) {
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro\\CAD");
    k.writeString("cadOpenDir", "C:\\Drawings, old\\x=y;z");
    k.writeDword("cadBackColor", 0xFFFFFF);
    k.writeInt("neg", -3);
    k.writeBool("cadAllBlack", true);
    k.writeDouble("gLatitude", -33.8671);
    k.writeString("empty", "");
  }
  RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
  ASSERT_TRUE(k.isOpen());
  EXPECT_EQ(k.readString("cadOpenDir"), QString("C:\\Drawings, old\\x=y;z"));
  EXPECT_EQ(k.readDword("cadBackColor"), 0xFFFFFFu);
  EXPECT_EQ(static_cast<std::int32_t>(*k.readDword("neg")), -3);
  EXPECT_EQ(k.readBool("cadAllBlack"), true);
  EXPECT_EQ(k.readDouble("gLatitude"), -33.8671);
  EXPECT_EQ(k.readString("empty"), QString());
  // Another type than the one stored reads as nothing.
  EXPECT_FALSE(k.readDword("cadOpenDir").has_value());
  EXPECT_FALSE(k.readString("cadBackColor").has_value());
  EXPECT_FALSE(k.readDouble("cadBackColor").has_value());
  EXPECT_FALSE(k.readDword("gLatitude").has_value());
  EXPECT_EQ(k.valueType("cadAllBlack"), RegType::Dword);
  EXPECT_EQ(k.valueType("gLatitude"), RegType::Binary);
  EXPECT_EQ(k.valueType("missing"), RegType::None);
}

TEST_F(SettingsStore, DoubleIsEightLittleEndianBytes) {
  // 52 = 1.625 * 2^5: exponent 1023 + 5 = 0x404, fraction .101b -> 0x404A000000000000.
  const QByteArray b = doubleToBytes(52.0);
  EXPECT_EQ(b, QByteArray::fromHex("0000000000004a40"));
  EXPECT_EQ(doubleToBytes(-2.0), QByteArray::fromHex("00000000000000c0"));
  EXPECT_EQ(bytesToDouble(QByteArray::fromHex("0000000000004a40")), 52.0);
  EXPECT_FALSE(bytesToDouble(QByteArray::fromHex("00004a40")).has_value());
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro\\Shadow");
    k.writeDouble("gLatitude", 52.0);
    k.writeBinary("short", QByteArray::fromHex("0102"));
  }
  EXPECT_TRUE(fileText().contains("gLatitude=\"hex:00,00,00,00,00,00,4a,40\"") ||
              fileText().contains("gLatitude=hex:00,00,00,00,00,00,4a,40"))
      << fileText().toStdString();
  RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\Shadow");
  EXPECT_EQ(k.readBinary("gLatitude"), QByteArray::fromHex("0000000000004a40"));
  // A binary value of another length is not a double.
  EXPECT_FALSE(k.readDouble("short").has_value());
}

TEST_F(SettingsStore, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro\\CAD");
    k.writeBool("cadGrayscale", true);
  }
  {
    RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
    EXPECT_EQ(k.readBool("cadGrayScale"), true);
    k.writeBool("CADGRAYSCALE", false);
  }
  RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
  EXPECT_EQ(k.valueNames(), QStringList{"cadGrayscale"});
  EXPECT_EQ(k.readBool("cadgrayscale"), false);
  k.deleteValue("CadGrayScale");
  EXPECT_FALSE(k.hasValue("cadGrayscale"));
}

TEST_F(SettingsStore, ReaderStopsAtFirstMissingOrMistypedValue) {
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro\\CAD");
    k.writeDword("a", 5);
    k.writeString("b", "not a number");  // mistyped for a DWORD
    k.writeDword("c", 7);
  }
  RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
  int a = 1, b = 2, c = 3;
  QString s = "default";
  KeyReader r(k);
  r.string("noSuchString", s).integer("a", a).integer("b", b).integer("c", c);
  EXPECT_EQ(s, "");  // a missing string reads as empty and the reading goes on
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);  // read after the failure: stays
  EXPECT_FALSE(r.ok());

  int d = 4;
  bool e = false;
  KeyReader missing(k);
  missing.integer("nothing", d).boolean("a", e);
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(d, 4);
  EXPECT_FALSE(e);

  // A key that is not open reads nothing, not even strings.
  RegKey closed = RegKey::open("Software\\Nobody");
  QString t = "kept";
  KeyReader none(closed);
  none.string("x", t);
  EXPECT_EQ(t, "kept");
  EXPECT_FALSE(none.ok());
}

TEST_F(SettingsStore, HandEditedOrDamagedValuesAreMistypedNotFatal) {
  writeFile(
      "[Software]\n"
      "Dravenco\\Kelvaro\\CAD\\cadCurveQual=10\n"
      "Dravenco\\Kelvaro\\CAD\\cadBackColor=dword:zz\n"
      "Dravenco\\Kelvaro\\CAD\\cadLineColor=dword:123456789\n"
      "Dravenco\\Kelvaro\\CAD\\gLatitude=\"hex:00,qq\"\n"
      "Dravenco\\Kelvaro\\CAD\\ok=dword:0000002a\n");
  RegKey k = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
  ASSERT_TRUE(k.isOpen());
  EXPECT_EQ(k.readString("cadCurveQual"), QString("10"));  // untyped text is a string
  EXPECT_FALSE(k.readDword("cadCurveQual").has_value());
  EXPECT_FALSE(k.readDword("cadBackColor").has_value());
  EXPECT_FALSE(k.readDword("cadLineColor").has_value());  // more than 32 bits
  EXPECT_FALSE(k.readDouble("gLatitude").has_value());
  EXPECT_EQ(k.readDword("ok"), 42u);
}

TEST(SettingsLocation, EnvironmentFolderIsUsedWhenNoRootIsSet) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  setSettingsRoot({});
  qputenv("KELVARO_SETTINGS_DIR", dir.path().toUtf8());
  {
    RegKey k = RegKey::create("Software\\Dravenco\\Kelvaro");
    k.writeDword("winState", 2);
  }
  qunsetenv("KELVARO_SETTINGS_DIR");
  EXPECT_TRUE(QFile::exists(dir.filePath("Kelvaro.conf")));
}

}  // namespace
