#pragma once
// The locale's month and day names and date patterns for the plain date formatter.
#include <QLocale>

#include "ephemeris/Format.h"

namespace kelvaro {

DateLocale DateLocaleFrom(const QLocale& locale);
// The user's locale (QLocale::system()).
DateLocale SystemDateLocale();

}  // namespace kelvaro
