#include "settings/ValueCodec.h"

#include "util/DateTimeText.h"

namespace kelvane {

namespace {

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

std::optional<std::int32_t> ParseIniInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i].unicode());
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFULL)
            return std::nullopt;
    }
    std::int64_t result = 0;
    if (base == 16) {
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); // a 32-bit pattern
    } else {
        result = static_cast<std::int64_t>(value);
        if (result > (negative ? 2147483648LL : 2147483647LL))
            return std::nullopt;
    }
    if (negative)
        result = -result;
    return static_cast<std::int32_t>(result);
}

std::int32_t ReadIniInteger(const std::optional<QString>& text, std::int32_t defaultValue) {
    if (!text)
        return defaultValue;
    return ParseIniInteger(*text).value_or(defaultValue);
}

QString IniIntegerText(std::int64_t value) { return QString::number(value); }

bool ReadIniBool(const std::optional<QString>& text, bool defaultValue) {
    return ReadIniInteger(text, defaultValue ? 1 : 0) != 0;
}

QString IniBoolText(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }

std::optional<double> ParseIniDateTime(const QString& text, const QLocale& locale) {
    if (const std::optional<double> days = ParseDateTime(text, QLocale::c()))
        return days;
    return ParseDateTime(text, locale);
}

double ReadIniDateTime(const std::optional<QString>& text, double defaultValue, const QLocale& locale) {
    if (!text)
        return defaultValue;
    return ParseIniDateTime(*text, locale).value_or(defaultValue);
}

QString IniDateTimeText(double days, const QLocale& locale) { return FormatDateTime(days, locale); }

} // namespace kelvane
