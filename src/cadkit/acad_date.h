#pragma once
// Header dates: Julian day numbers with milliseconds, and editing-time spans.
#include "cadkit/types.h"

namespace kelvaro::cad {

struct CivilDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

CivilDateTime decodeAcadDate(AcadDate d);                 // Gregorian calendar
AcadDate encodeAcadDate(const CivilDateTime& t);
// Editing time: days, hours, minutes, seconds.
void decodeAcadTime(AcadDate span, int& days, int& hours, int& minutes, int& seconds);
AcadDate acadNow();

}  // namespace kelvaro::cad
