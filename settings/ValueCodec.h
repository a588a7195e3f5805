#pragma once
// How values are written into the settings file and read back.

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace kelvane {

// Optional leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$",
// "0x" or "0X" (up to eight, taken as a 32-bit pattern: "$FFFFFFFF" is -1). Anything else, or a
// number outside the 32-bit range, gives nothing.
std::optional<std::int32_t> ParseIniInteger(const QString& text);
std::int32_t ReadIniInteger(const std::optional<QString>& text, std::int32_t defaultValue);
QString IniIntegerText(std::int64_t value);

// A Boolean is an integer whose default is 1 or 0; any non-zero integer is true.
bool ReadIniBool(const std::optional<QString>& text, bool defaultValue);
QString IniBoolText(bool value);

// Date-times (util/DateTimeText.h) are written as the C locale writes them ("9 Dec 2026 21:43:16"),
// which reads back under every locale. Reading takes that form, and else the form `locale` (the
// user's) writes, as older files hold it. Empty or unparsable text gives nothing or the default.
std::optional<double> ParseIniDateTime(const QString& text, const QLocale& locale = QLocale::system());
double ReadIniDateTime(const std::optional<QString>& text, double defaultValue,
                       const QLocale& locale = QLocale::system());
// `locale` only for writing another locale's form, as older files hold it.
QString IniDateTimeText(double days, const QLocale& locale = QLocale::c());

} // namespace kelvane
