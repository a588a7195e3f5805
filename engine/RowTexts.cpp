#include "engine/RowTexts.h"

#include "engine/MessageStrings.h"
#include "engine/ProcessTable.h"
#include "util/DateTimeText.h"
#include "util/SizeText.h"

#include <QStringList>
#include <cstdio>

namespace kelvane {

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString BoostStatusName(const QString& path) { return FileNamePart(path); }

QString CpuTimeText(CpuTicks ticks) {
    // Written once per row and refresh: plain digits, without Qt's argument parsing.
    const long long seconds = ticks / 10000000;
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return QString::fromLatin1(text, n);
}

double CpuShare(CpuTicks delta, int intervalMs, int processors) {
    if (intervalMs <= 0 || processors <= 0)
        return 0;
    const double share = static_cast<double>(delta) / (static_cast<double>(intervalMs) * 100.0) / processors;
    return share > 100.0 ? 100.0 : share;
}

namespace {

// The text of a share of 0 in a locale: what most rows show, so made once.
const QString& ZeroShareText(const QLocale& locale) {
    thread_local QLocale cachedLocale = QLocale::c();
    thread_local QString zero;
    if (zero.isEmpty() || cachedLocale != locale) {
        cachedLocale = locale;
        zero = FormatFixed4(0.0, 1, locale) + u'%';
    }
    return zero;
}

} // namespace

QString CpuShareText(double share, const QLocale& locale) {
    if (share == 0.0)
        return ZeroShareText(locale);
    return FormatFixed4(share, 1, locale) + u'%';
}

float ShareOfText(const QString& text, const QLocale& locale) {
    if (text == ZeroShareText(locale))
        return 0;
    const qsizetype percent = text.indexOf(u'%');
    if (percent < 0)
        return 0;
    bool ok = false;
    const float value = locale.toFloat(text.left(percent), &ok);
    return ok ? value : 0.0f;
}

QString AffinityText(std::uint64_t mask, int processors) {
    // Nearly every process has the same mask: the last text is kept.
    thread_local std::uint64_t lastMask = 0;
    thread_local int lastProcessors = -1;
    thread_local QString last;
    if (mask == lastMask && processors == lastProcessors)
        return last;
    QStringList cpus;
    for (int i = 0; i < processors && i < 64; ++i)
        if ((mask >> i) & 1U)
            cpus.append(QString::number(i));
    lastMask = mask;
    lastProcessors = processors;
    last = cpus.join(u'-');
    return last;
}

QString ShutdownText(const TProcess& record, const MessageStrings& strings, const QLocale& locale) {
    if (record.ShutDownTime == 0)
        return strings[Msg::RunAlways];
    if (record.DailyShutDown)
        return QStringLiteral("Daily at ") + FormatTimeOfDay(record.ShutDownTime, locale);
    return FormatDateTime(record.ShutDownTime, locale);
}

QString DeltaMsText(CpuTicks delta, const QLocale& locale) {
    return FormatFixed4(static_cast<double>(delta) / 10000.0, 2, locale) + QStringLiteral(" ms");
}

} // namespace kelvane
