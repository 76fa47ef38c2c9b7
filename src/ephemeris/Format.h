#pragma once
// Display of times, angles, lengths and dates shared by the calculator, the reports, the
// profile texts and the model windows.
#include <array>
#include <string>
#include <string_view>

#include "ephemeris/SunEphem.h"

namespace kelvaro {

inline constexpr const char* kNotAvailable = "n/a";

// Whole number padded on the left with "0" to at least two characters.
std::string Pad2(long long n);

// Nearest whole number, halves to the even neighbour.
double RoundHalfEven(double x);

// DecimalToDms with each part rounded.
struct DmsParts {
  long long First = 0;  // hours or degrees
  long long Minutes = 0;
  long long Seconds = 0;
  bool Negative = false;
};
DmsParts RoundedDms(double x);

// h:mm:ss or d:mm:ss. padFirst pads the hours/degrees to two digits; withSign writes "-"
// in front of a negative value (only for signed quantities). Non-finite values give "n/a".
std::string FormatDms(double x, bool padFirst = false, bool withSign = false);

inline std::string FormatTime(double hours) { return FormatDms(hours, false, false); }
inline std::string FormatTimePadded(double hours) { return FormatDms(hours, true, false); }
inline std::string FormatAngle(double degrees) { return FormatDms(degrees, false, false); }
inline std::string FormatSignedAngle(double degrees) { return FormatDms(degrees, false, true); }

// A length rounded to a whole number, written without decimals ("n/a" when not finite).
std::string FormatWhole(double x);

// The parts of the locale that date formats use. Built-in values are those of en_US.
struct DateLocale {
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::string DateSeparator = "/";
  std::string ShortDateFormat = "m/d/yyyy";            // what "ddddd" writes
  std::string LongDateFormat = "dddd, mmmm d, yyyy";   // what "dddddd" writes
};

// The locale dates are written with when none is given: en_US until the program sets the
// user's own at start-up (the batch tool keeps en_US, so its output does not vary).
const DateLocale& DefaultDateLocale();
void SetDefaultDateLocale(const DateLocale& locale);

// 0 = Sunday ... 6 = Saturday.
int DayOfWeek(const CalendarDate& date);

// Writes a date with the classic pattern letters: d dd ddd dddd ddddd (short date)
// dddddd (long date), m mm mmm mmmm, yy yyyy, "/" (the locale's separator), text in
// single or double quotes literally; anything else is copied.
std::string FormatDate(const CalendarDate& date, std::string_view pattern,
                       const DateLocale& locale = DefaultDateLocale());

}  // namespace kelvaro

namespace kelvaro {
// Today's date on the local clock.
CalendarDate Today();
}  // namespace kelvaro
