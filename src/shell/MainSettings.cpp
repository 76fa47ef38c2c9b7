#include "shell/MainSettings.h"

#include "platform/settings.h"

namespace kelvaro {
namespace {
const QString kRoot = QStringLiteral("Software\\Dravenco\\Kelvaro");
const QString kCAD = kRoot + QStringLiteral("\\CAD");
const QString kHistory = kRoot + QStringLiteral("\\History");
const QString kSupport = kRoot + QStringLiteral("\\Support");
// Guards against an absurd stored count; the reading stops at the first missing path anyway.
constexpr std::uint32_t kSupportMax = 1000;
}  // namespace

QStringList defaultSupportFolders() {
  return {"C:\\Acad", "C:\\Program Files\\Acad", "C:\\AutoCAD LT 97", "C:\\Program Files\\AutoCAD LT 97",
          "C:\\Acad2000", "C:\\Program Files\\Acad2000"};
}

void promoteInHistory(QStringList& history, const QString& name) {
  history.removeAll(name);
  history.prepend(name);
}

void MainSettings::load(const QString& programFolder) {
  {
    RegKey k = RegKey::open(kCAD);
    KeyReader(k)
        .string("cadOpenDir", openDir)
        .dword("cadBackColor", backColor)
        .dword("cadLineColor", lineColor)
        .boolean("cadAllBlack", allBlack)
        .boolean("cadGrayScale", grayscale)
        .boolean("cadQTextMode", quickText)
        .integer("cadCurveQual", curveQuality);
  }
  {
    RegKey k = RegKey::open(kRoot);
    KeyReader(k).integer("winState", winState).boolean("visCAD", visCAD).boolean("visNAV", visNAV).boolean("visSTAT", visSTAT);
  }
  {
    RegKey k = RegKey::open(kHistory);
    KeyReader r(k);
    for (int i = 0; i < kHistoryMax && r.ok(); ++i) {
      QString name;
      r.string(QStringLiteral("File%1").arg(i), name);
      if (r.ok() && !name.isEmpty()) history.append(name);
    }
  }
  {
    RegKey k = RegKey::open(kSupport);
    KeyReader r(k);
    std::uint32_t n = 0;
    r.dword("Supsize", n);
    for (std::uint32_t i = 0; i < n && i < kSupportMax && r.ok(); ++i) {
      QString path;
      r.string(QStringLiteral("Path%1").arg(i), path);
      if (r.ok() && !path.isEmpty()) supportFolders.append(path);
    }
  }
  if (supportFolders.isEmpty()) supportFolders = defaultSupportFolders();
  if (winState != int(WinState::Normal) && winState != int(WinState::Maximised)) winState = int(WinState::Normal);
  if (openDir.isEmpty()) openDir = programFolder;
}

void MainSettings::save() const {
  {
    RegKey k = RegKey::create(kRoot);
    k.writeInt("winState", winState);
    k.writeBool("visCAD", visCAD);
    k.writeBool("visNAV", visNAV);
    k.writeBool("visSTAT", visSTAT);
  }
  {
    RegKey k = RegKey::create(kCAD);
    k.writeString("cadOpenDir", openDir);
    k.writeDword("cadBackColor", backColor);
    k.writeDword("cadLineColor", lineColor);
    k.writeInt("cadCurveQual", curveQuality);
    k.writeBool("cadAllBlack", allBlack);
    k.writeBool("cadGrayscale", grayscale);
    k.writeBool("cadQTextMode", quickText);
  }
  {
    RegKey k = RegKey::create(kHistory);
    for (int i = 0; i < history.size(); ++i) k.writeString(QStringLiteral("File%1").arg(i), history[i]);
  }
  {
    RegKey k = RegKey::create(kSupport);
    k.writeInt("Supsize", static_cast<int>(supportFolders.size()));
    for (int i = 0; i < supportFolders.size(); ++i) k.writeString(QStringLiteral("Path%1").arg(i), supportFolders[i]);
  }
}

}  // namespace kelvaro
