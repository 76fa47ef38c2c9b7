#include <gtest/gtest.h>

#include <cmath>

#include "ephemeris/Format.h"

using namespace kelvaro;

TEST(Format, DmsSplitPaddingAndSigns) {
  EXPECT_EQ(FormatTime(6.0925), "6:05:33");
  EXPECT_EQ(FormatTimePadded(6.0925), "06:05:33");
  EXPECT_EQ(FormatTimePadded(14.5), "14:30:00");
  EXPECT_EQ(FormatSignedAngle(-12.5), "-12:30:00");
  EXPECT_EQ(FormatAngle(-12.5), "12:30:00");  // unsigned quantities never get a "-"
  EXPECT_EQ(FormatSignedAngle(12.5), "12:30:00");
  EXPECT_EQ(FormatAngle(359.99999999), "360:00:00");
  EXPECT_EQ(FormatTime(0), "0:00:00");
  EXPECT_EQ(FormatTimePadded(0), "00:00:00");
  EXPECT_EQ(FormatAngle(123.456), "123:27:21");
  EXPECT_EQ(FormatSignedAngle(-0.25), "-0:15:00");
  EXPECT_EQ(FormatAngle(std::nan("")), "n/a");
  EXPECT_EQ(FormatAngle(INFINITY), "n/a");
  EXPECT_EQ(FormatAngle(1e300), "n/a");
}

TEST(Format, RoundingTiesToEvenAndPad2) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(FormatWhole(1999.5), "2000");
  EXPECT_EQ(FormatWhole(2000.5), "2000");
  EXPECT_EQ(FormatWhole(0.5), "0");
  EXPECT_EQ(FormatWhole(-0.4), "0");
  EXPECT_EQ(FormatWhole(-7.6), "-8");
  EXPECT_EQ(FormatWhole(INFINITY), "n/a");
  EXPECT_EQ(Pad2(5), "05");
  EXPECT_EQ(Pad2(0), "00");
  EXPECT_EQ(Pad2(123), "123");
}

TEST(Format, DatesWithPatternsAndLocale) {
  CalendarDate d{15, 2, 2003};
  EXPECT_EQ(FormatDate(d, "mm/dd/yy"), "02/15/03");
  EXPECT_EQ(FormatDate(d, "mmmm, yyyy"), "February, 2003");
  EXPECT_EQ(FormatDate(d, "mmmm dd, yyyy"), "February 15, 2003");
  EXPECT_EQ(FormatDate({5, 3, 2003}, "mmmm dd, yyyy"), "March 05, 2003");
  EXPECT_EQ(FormatDate(d, "ddddd"), "2/15/2003");
  EXPECT_EQ(FormatDate(d, "dddddd"), "Saturday, February 15, 2003");
  EXPECT_EQ(FormatDate(d, "ddd d mmm 'yy:' yy"), "Sat 15 Feb yy: 03");
  DateLocale de;
  de.LongMonthNames[1] = "Februar";
  de.LongDayNames[6] = "Samstag";
  de.DateSeparator = ".";
  de.LongDateFormat = "dddd, d. mmmm yyyy";
  de.ShortDateFormat = "dd/mm/yyyy";
  EXPECT_EQ(FormatDate(d, "dddddd", de), "Samstag, 15. Februar 2003");
  EXPECT_EQ(FormatDate(d, "ddddd", de), "15.02.2003");
  EXPECT_EQ(FormatDate(d, "mm/dd/yy", de), "02.15.03");
}

TEST(Format, DayOfWeekKnownDates) {
  EXPECT_EQ(DayOfWeek({1, 1, 2000}), 6);    // Saturday
  EXPECT_EQ(DayOfWeek({21, 6, 2024}), 5);   // Friday
  EXPECT_EQ(DayOfWeek({4, 7, 1776}), 4);    // Thursday
  EXPECT_EQ(DayOfWeek({29, 2, 2024}), 4);   // Thursday
}
