#pragma once
// The main window's settings: display options, window and bar states, recent drawings and
// support folders, with how they are read at start-up and written at shut-down.
#include <QString>
#include <QStringList>

#include <cstdint>

namespace kelvaro {

inline constexpr int kHistoryMax = 9;

// Window state as stored in "winState".
enum class WinState : int { Normal = 0, Minimised = 1, Maximised = 2 };

struct MainSettings {
  QString openDir;                      // cadOpenDir
  std::uint32_t backColor = 0xFFFFFF;   // cadBackColor, 0x00BBGGRR
  std::uint32_t lineColor = 0;          // cadLineColor, 0 or 0xFFFFFF
  bool allBlack = false;                // cadAllBlack
  bool grayscale = false;               // cadGrayScale
  bool quickText = false;               // cadQTextMode
  int curveQuality = 10;                // cadCurveQual, 1..50
  int winState = 0;                     // WinState
  bool visCAD = true;
  bool visNAV = true;
  bool visSTAT = true;
  QStringList history;                  // most recent first
  QStringList supportFolders;

  // Reads the stored settings over the defaults. A missing key keeps its defaults; within a
  // key the first missing or mistyped value ends its reading. Afterwards the window is never
  // minimised, the support folders are never empty and the open folder is never empty.
  void load(const QString& programFolder);
  // Writes everything, creating missing keys.
  void save() const;
};

// The folders used when none are stored.
QStringList defaultSupportFolders();

// Moves (or inserts) a drawing name to the top of the history; exact, case-sensitive match.
void promoteInHistory(QStringList& history, const QString& name);

}  // namespace kelvaro
