#include "engine/RowTexts.h"

#include "engine/MessageStrings.h"
#include "engine/ProcessTable.h"
#include "util/DateTimeText.h"
#include "util/SizeText.h"

#include <QStringList>

namespace kelvane {

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString BoostStatusName(const QString& path) {
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString CpuTimeText(CpuTicks ticks) {
    const std::int64_t seconds = ticks / 10000000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

double CpuShare(CpuTicks delta, int intervalMs, int processors) {
    if (intervalMs <= 0 || processors <= 0)
        return 0;
    const double share = static_cast<double>(delta) / (static_cast<double>(intervalMs) * 100.0) / processors;
    return share > 100.0 ? 100.0 : share;
}

QString CpuShareText(double share, const QLocale& locale) { return FormatFixed4(share, 1, locale) + u'%'; }

float ShareOfText(const QString& text, const QLocale& locale) {
    const qsizetype percent = text.indexOf(u'%');
    if (percent < 0)
        return 0;
    bool ok = false;
    const float value = locale.toFloat(text.left(percent), &ok);
    return ok ? value : 0.0f;
}

QString AffinityText(std::uint64_t mask, int processors) {
    QStringList cpus;
    for (int i = 0; i < processors && i < 64; ++i)
        if ((mask >> i) & 1U)
            cpus.append(QString::number(i));
    return cpus.join(u'-');
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
