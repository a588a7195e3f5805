#pragma once
// The texts of the process list's cells and of the labels derived from a record.

#include <QLocale>
#include <QString>
#include <cstdint>

#include "engine/ProcessApi.h"

namespace kelvane {

class MessageStrings;
struct TProcess;

// The part of a path after its last "/".
QString FileNamePart(const QString& path);
// The boost status name: the whole file-name part (executables have no extension here, so a dot
// is part of the name, as in python3.11).
QString BoostStatusName(const QString& path);

// A CPU time as whole hours (days count 24 each), ":", minutes and seconds as two digits each:
// 3 days 4:05:06.7 gives "76:05:06".
QString CpuTimeText(CpuTicks ticks);

// The share of the whole machine, in percent, that `delta` ticks make over `intervalMs` on
// `processors` processors, capped at 100.
double CpuShare(CpuTicks delta, int intervalMs, int processors);
// A share as "12.5%": one decimal after rounding to four significant digits, the user's separator.
QString CpuShareText(double share, const QLocale& locale = QLocale::system());
// The number before the first "%" of a share text; 0 when there is none or it does not parse.
float ShareOfText(const QString& text, const QLocale& locale = QLocale::system());

// The processors of `mask` below `processors`, ascending, joined by "-": 13 on four gives "0-2-3".
QString AffinityText(std::uint64_t mask, int processors);

// "Run always.", "Daily at " and the time of day, or the date and time.
QString ShutdownText(const TProcess& record, const MessageStrings& strings,
                     const QLocale& locale = QLocale::system());

// The delta label: milliseconds with two decimals after rounding to four significant digits and
// " ms", as "15.63 ms".
QString DeltaMsText(CpuTicks delta, const QLocale& locale = QLocale::system());

} // namespace kelvane
