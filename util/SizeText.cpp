#include "util/SizeText.h"

#include <array>
#include "util/Rounding.h"

namespace kelvane {

namespace {

QLocale WithoutGroups(QLocale locale) {
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

QString FormatFixed4(double value, int decimals, const QLocale& locale) {
    // Four significant digits in decimal (the exponent form rounds the decimal digits, not the
    // binary ones), then the fixed form.
    const double rounded = QString::number(value, 'e', 3).toDouble();
    return WithoutGroups(locale).toString(rounded, 'f', decimals);
}

QString FormatSizeFloat(double bytes, const QLocale& locale) {
    static constexpr std::array<const char*, 8> units = {" KB", " MB", " GB", " TB", " PB", " EB", " ZB", " YB"};
    if (bytes < 1024.0)
        return WithoutGroups(locale).toString(RoundHalfEven(bytes), 'f', 0) + QStringLiteral(" Byte");
    double divisor = 1024.0;
    std::size_t unit = 0;
    while (unit + 1 < units.size() && bytes >= divisor * 1024.0) {
        divisor *= 1024.0;
        ++unit;
    }
    return FormatFixed4(bytes / divisor, 2, locale) + QLatin1String(units[unit]);
}

QString FormatSize(std::int64_t bytes, const QLocale& locale) {
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" Byte");
    return FormatSizeFloat(static_cast<double>(bytes), locale);
}

} // namespace kelvane
