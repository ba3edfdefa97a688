#include "date_value.h"

#include <cmath>

namespace db {
namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
} // namespace

QDateTime dateTimeFromAccessDays(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return {};
    // The whole part counts days (toward zero); the fraction, whatever the
    // sign of the value, is the time of day: -1.25 is 1899-12-29 06:00.
    double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * kMsPerDay);
    qint64 day = qint64(whole);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++day;
    }
    return QDateTime(kEpoch.addDays(day), QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

double accessDaysFromDateTime(const QDateTime &dateTime)
{
    const qint64 day = kEpoch.daysTo(dateTime.date());
    const double fraction = double(dateTime.time().msecsSinceStartOfDay()) / kMsPerDay;
    return day >= 0 ? double(day) + fraction : double(day) - fraction;
}

} // namespace db
