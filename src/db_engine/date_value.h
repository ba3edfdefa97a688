// Access dates: a double counting days since 1899-12-30; the fraction is the
// time of day and is always a positive part of the day, even when the day
// count is negative (-1.25 is 1899-12-29 06:00). They carry no time zone and
// never pass through local time: the QDateTime values here are in UTC and
// stand for the wall-clock time, which then exists even where the machine's
// zone skips it at a change to daylight saving.
#pragma once

#include <QDateTime>

namespace db {

QDateTime dateTimeFromAccessDays(double days);  // in UTC; rounded to the millisecond; invalid when out of range
double accessDaysFromDateTime(const QDateTime &dateTime);  // reads its date() and time() as they are

} // namespace db
