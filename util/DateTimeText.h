#pragma once
// Date-times as days since 30 December 1899 with the time of day as the fraction (the value the
// settings file and the process table hold; 0 means "none"), and their texts in the user's formats:
// the short date with a four-digit year, a blank, and the long time without a time zone. No time
// zone is ever involved, so daylight-saving changes cannot shift a value.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace kelvane {

// 30 December 1899, day 0.
QDate DayZero();

// Day and time of day of a value. Negative values count days before day 0 with the time of day
// taken from the fraction's absolute value.
QDate DateOfDays(double days);
QTime TimeOfDays(double days);
double DaysOf(const QDate& date, const QTime& time = QTime(0, 0));

// The locale's short date format with every year as four digits ("M/d/yy" becomes "M/d/yyyy").
QString ShortDateFormat(const QLocale& locale);
// The locale's long time format without its time zone, with seconds ("h:mm:ss AP t" becomes "h:mm:ss AP").
QString LongTimeFormat(const QLocale& locale);

// The date, a blank and the time; the date alone when the time is exactly midnight.
QString FormatDateTime(double days, const QLocale& locale = QLocale::system());
// The time of day alone in the long time format.
QString FormatTimeOfDay(double days, const QLocale& locale = QLocale::system());
// Reads what FormatDateTime writes (also a date alone). Empty for text that does not parse.
std::optional<double> ParseDateTime(const QString& text, const QLocale& locale = QLocale::system());

} // namespace kelvane
