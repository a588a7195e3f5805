#include "util/SizeText.h"

#include <array>
#include <charconv>

#include "util/Rounding.h"

namespace kelvane {

namespace {

QLocale WithoutGroups(QLocale locale) {
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

// `value` to four significant decimal digits, without going through a text of Qt's.
double RoundTo4Digits(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 3);
    double rounded = value;
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, rounded, std::chars_format::scientific);
    return rounded;
}

} // namespace

QString FormatFixed4(double value, int decimals, const QLocale& locale) {
    // Four significant digits in decimal (the exponent form rounds the decimal digits, not the
    // binary ones), then the fixed form.
    return WithoutGroups(locale).toString(RoundTo4Digits(value), 'f', decimals);
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
