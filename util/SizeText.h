#pragma once
// Numbers as short texts in the user's formats.

#include <QLocale>
#include <QString>
#include <cstdint>

namespace kelvane {

// `value` rounded to four significant digits, then written in fixed notation with `decimals`
// decimals and the locale's decimal separator: 976.5625 gives "976.60", 1023.999 gives "1024.00".
QString FormatFixed4(double value, int decimals, const QLocale& locale = QLocale::system());

// Byte counts: below 1024 as "N Byte", otherwise in KB, MB, GB ... YB (powers of 1024) with two
// decimals after rounding to four significant digits. Negative counts are written in bytes.
QString FormatSize(std::int64_t bytes, const QLocale& locale = QLocale::system());
// The same for a fractional count; below 1024 the count is rounded to a whole number, halves to even.
QString FormatSizeFloat(double bytes, const QLocale& locale = QLocale::system());

} // namespace kelvane
