#include "field.h"

#include "dataset.h"
#include "date_value.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace db {
namespace {

std::optional<QLocale> &localeOverride()
{
    static std::optional<QLocale> locale;
    return locale;
}

// The long time format without a time zone: field texts never show one.
QString timeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

} // namespace

void setDisplayLocale(const QLocale &locale) { localeOverride() = locale; }

QLocale displayLocale() { return localeOverride().value_or(QLocale::system()); }

QString floatText(double value, const QLocale &locale)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits, then lay them out: fixed notation unless
    // the number needs more than 15 integer digits or is below 0.00001.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const char *p = buffer;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    QString digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    const int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    const QString separator = locale.decimalPoint();
    QString text = negative ? QStringLiteral("-") : QString();
    if (exponent >= 15 || exponent < -5) {
        text += digits.at(0);
        if (digits.size() > 1)
            text += separator + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent >= 0) {
        if (digits.size() <= exponent + 1) {
            text += digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
        } else {
            text += digits.left(exponent + 1) + separator + digits.mid(exponent + 1);
        }
    } else {
        text += QLatin1Char('0') + separator + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return text;
}

QString dateTimeText(double accessDays, const QLocale &locale)
{
    const QDateTime dt = dateTimeFromAccessDays(accessDays);
    if (!dt.isValid())
        return {};
    QString text = locale.toString(dt.date(), QLocale::ShortFormat);
    if (dt.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') + locale.toString(dt.time(), timeFormatWithoutZone(locale));
    return text;
}

Field::Field(DataSet *dataSet, int index, FieldDef def)
    : m_dataSet(dataSet), m_index(index), m_def(std::move(def))
{
}

QString Field::displayLabel() const
{
    return m_def.displayLabel.isEmpty() ? m_def.fieldName : m_def.displayLabel;
}

int Field::displayWidth() const
{
    if (m_def.displayWidth > 0)
        return m_def.displayWidth;
    switch (m_def.kind) {
    case FieldKind::WideText: return m_def.size;
    case FieldKind::DateTime: return 18;
    case FieldKind::Boolean: return 5;   // the length of "False"
    default: return 10;
    }
}

Qt::Alignment Field::alignment() const
{
    switch (m_def.kind) {
    case FieldKind::AutoIncrement:
    case FieldKind::Integer:
    case FieldKind::Float:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

QVariant Field::value() const
{
    const int row = m_dataSet->activeRow();
    return row < 0 ? QVariant() : m_dataSet->value(row, m_index);
}

bool Field::isNull() const { return value().isNull(); }

qint32 Field::asInteger() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0;
    if (m_def.kind == FieldKind::Float || v.typeId() == QMetaType::Double)
        return qint32(std::llround(v.toDouble()));
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    return v.toInt();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return v.isNull() ? 0.0 : v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString)
        return v.toString().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    return v.toDouble() != 0;
}

QString Field::asString() const { return displayTextOf(value()); }

QString Field::displayText() const { return displayTextOf(value()); }

QString Field::displayTextOf(const QVariant &value) const
{
    if (value.isNull())
        return {};
    switch (m_def.kind) {
    case FieldKind::AutoIncrement:
    case FieldKind::Integer:
        if (value.typeId() == QMetaType::Double)
            return QString::number(qint64(std::llround(value.toDouble())));
        return QString::number(value.toLongLong());
    case FieldKind::Float:
        return floatText(value.toDouble(), displayLocale());
    case FieldKind::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::DateTime:
        if (value.typeId() == QMetaType::QDateTime)
            return dateTimeText(accessDaysFromDateTime(value.toDateTime()), displayLocale());
        return dateTimeText(value.toDouble(), displayLocale());
    case FieldKind::WideText:
    case FieldKind::Memo:
        break;
    }
    return value.toString();
}

} // namespace db
