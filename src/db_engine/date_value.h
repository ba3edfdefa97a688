// Access dates: a double counting days since 1899-12-30; the fraction is the
// time of day and is always a positive part of the day, even when the day
// count is negative (-1.25 is 1899-12-29 06:00).
#pragma once

#include <QDateTime>

namespace db {

QDateTime dateTimeFromAccessDays(double days);  // local, no time zone; rounded to the millisecond
double accessDaysFromDateTime(const QDateTime &dateTime);

} // namespace db
