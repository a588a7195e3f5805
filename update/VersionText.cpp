#include "update/VersionText.h"

#include <QStringList>
#include <limits>

namespace kelvane {

namespace {

bool IsRemovedCharacter(char32_t c) {
    if (c == U'\r' || c == U'\n')
        return false;
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true;
    return c == 0xFEFF || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsSeparator(QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; }

// A decimal integer with an optional sign; 0 for anything else, including a value beyond 64 bits.
qint64 PartValue(QStringView part) {
    qsizetype i = 0;
    bool negative = false;
    if (i < part.size() && (part[i] == u'+' || part[i] == u'-')) {
        negative = part[i] == u'-';
        ++i;
    }
    if (i == part.size())
        return 0;
    quint64 magnitude = 0;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    for (; i < part.size(); ++i) {
        const char16_t c = part[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        const quint64 digit = c - u'0';
        if (magnitude > (limit - digit) / 10)
            return 0;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        return qint64(magnitude);
    return magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
}

} // namespace

QString SanitizeFetchedText(const QByteArray& body) {
    const QString decoded = QString::fromUtf8(body);
    QString text;
    text.reserve(decoded.size());
    for (const char32_t c : decoded.toUcs4()) {
        if (c == U'\t')
            text += u' ';
        else if (!IsRemovedCharacter(c))
            text += QString::fromUcs4(&c, 1);
    }
    return text;
}

VersionNumbers ParseVersionText(const QString& text) {
    VersionNumbers numbers{};
    qsizetype i = 0;
    while (i < text.size() && IsSeparator(text[i]))
        ++i;
    for (std::size_t part = 0; part < numbers.size() && i < text.size(); ++part) {
        const qsizetype start = i;
        while (i < text.size() && text[i] != u'.' && !IsSeparator(text[i]))
            ++i;
        numbers[part] = PartValue(QStringView(text).sliced(start, i - start));
        if (i < text.size() && text[i] == u'.')
            ++i;
        else
            while (i < text.size() && IsSeparator(text[i]))
                ++i;
    }
    return numbers;
}

bool IsNewerVersionNumbers(const VersionNumbers& own, const VersionNumbers& fetched) {
    for (std::size_t i = 0; i < own.size(); ++i)
        if (own[i] != fetched[i])
            return fetched[i] > own[i];
    return false;
}

} // namespace kelvane
