#include "platform/linux/XdgAutostart.h"

#include "settings/AtomicFile.h"
#include "util/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelvane {

QString AutostartEntryPath() {
    return XdgConfigHome() + QStringLiteral("/autostart/Kelvane.desktop");
}

QString DesktopExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    // The argument level: quoting, and "%" as "%%" so it is no field code.
    QString arg;
    for (const QChar c : argument) {
        if (c == u'%')
            arg += QStringLiteral("%%");
        else if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            arg += u'\\' + QString(c);
        else
            arg += c;
    }
    if (quote)
        arg = u'"' + arg + u'"';
    // The string level of the desktop file, applied on top.
    QString value;
    for (const QChar c : arg) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QString AutostartEntryText(const QString& executable) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kelvane\n"
                          "Comment=Adjusts the priorities of the running processes\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(DesktopExecArgument(executable));
}

bool SetAutostart(bool on, const QString& executable, QString* error, QString* reason) {
    const QString path = AutostartEntryPath();
    QString why;
    bool ok = true;
    if (on) {
        ok = QDir().mkpath(QFileInfo(path).absolutePath());
        if (!ok)
            why = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
        const QByteArray text = AutostartEntryText(executable).toUtf8();
        ok = ok && UpdateFile(
                       path, [&text](const std::optional<QByteArray>&) { return std::optional<QByteArray>(text); }, &why);
    } else if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        QFile file(path);
        ok = file.remove();
        why = file.errorString();
    }
    if (!ok) {
        *error = QStringLiteral("Failed to set data for '%1'").arg(QLatin1String(kAutostartValueName));
        if (reason != nullptr)
            *reason = why;
    }
    return ok;
}

bool AutostartEnabled() { return QFileInfo::exists(AutostartEntryPath()); }

} // namespace kelvane
