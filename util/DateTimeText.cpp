#include "util/DateTimeText.h"

#include <cmath>

namespace kelvane {

namespace {

constexpr double kMsPerDay = 86400000.0;

// Calls `token` for every unquoted run of one format letter, `literal` for the rest.
template <typename Token, typename Literal>
void WalkFormat(const QString& format, Token token, Literal literal) {
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            qsizetype end = format.indexOf(u'\'', i + 1);
            end = end < 0 ? format.size() : end + 1;
            literal(format.mid(i, end - i));
            i = end;
        } else if (c.isLetter()) {
            qsizetype end = i;
            while (end < format.size() && format[end] == c)
                ++end;
            token(c, end - i, format.mid(i, end - i));
            i = end;
        } else {
            literal(QString(c));
            ++i;
        }
    }
}

} // namespace

QDate DayZero() { return QDate(1899, 12, 30); }

QDate DateOfDays(double days) { return DayZero().addDays(static_cast<qint64>(std::trunc(days))); }

QTime TimeOfDays(double days) {
    const double fraction = std::fabs(days - std::trunc(days));
    const int ms = static_cast<int>(std::llround(fraction * kMsPerDay));
    return QTime(0, 0).addMSecs(std::min(ms, 86399999));
}

double DaysOf(const QDate& date, const QTime& time) {
    const double day = static_cast<double>(DayZero().daysTo(date));
    const double fraction = static_cast<double>(QTime(0, 0).msecsTo(time)) / kMsPerDay;
    return day < 0 ? day - fraction : day + fraction;
}

QString ShortDateFormat(const QLocale& locale) {
    QString out;
    WalkFormat(
        locale.dateFormat(QLocale::ShortFormat),
        [&out](QChar c, qsizetype, const QString& run) { out += c == u'y' ? QStringLiteral("yyyy") : run; },
        [&out](const QString& text) { out += text; });
    return out;
}

QString LongTimeFormat(const QLocale& locale) {
    QString out;
    bool seconds = false;
    WalkFormat(
        locale.timeFormat(QLocale::LongFormat),
        [&](QChar c, qsizetype, const QString& run) {
            if (c == u't')
                return; // the time zone
            seconds = seconds || c == u's';
            out += run;
        },
        [&out](const QString& text) { out += text; });
    out = out.trimmed();
    if (!seconds)
        out.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return out;
}

QString FormatDateTime(double days, const QLocale& locale) {
    const QString date = locale.toString(DateOfDays(days), ShortDateFormat(locale));
    const QTime time = TimeOfDays(days);
    if (time == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(time, LongTimeFormat(locale));
}

QString FormatTimeOfDay(double days, const QLocale& locale) {
    return locale.toString(TimeOfDays(days), LongTimeFormat(locale));
}

std::optional<double> ParseDateTime(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QString dateFormat = ShortDateFormat(locale);
    const QDate dateOnly = locale.toDate(trimmed, dateFormat);
    if (dateOnly.isValid())
        return DaysOf(dateOnly);
    // The date's own format may hold blanks: try each blank as the one between date and time.
    const QString timeFormat = LongTimeFormat(locale);
    for (qsizetype blank = trimmed.indexOf(u' '); blank > 0; blank = trimmed.indexOf(u' ', blank + 1)) {
        const QDate date = locale.toDate(trimmed.left(blank), dateFormat);
        if (!date.isValid())
            continue;
        const QTime time = locale.toTime(trimmed.mid(blank + 1).trimmed(), timeFormat);
        if (time.isValid())
            return DaysOf(date, time);
    }
    return std::nullopt;
}

} // namespace kelvane
