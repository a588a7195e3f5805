#include "dialogs/ExecutableIcon.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStyle>
#include <QTextStream>

namespace kelvane {

namespace {

// The escapes of a desktop entry's string values: \s \n \t \r \\.
QString UnescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QString{u'\\', next};
    }
    return out;
}

// The words of an Exec value: blanks separate them; a double-quoted word keeps its blanks and
// takes \" \` \$ \\ as the character after the backslash.
QStringList ExecWords(const QString& exec) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < exec.size())
                word += exec[++i];
            else if (c == u'"')
                quoted = false;
            else
                word += c;
        } else if (c == u'"') {
            quoted = true;
            inWord = true;
        } else if (c == u' ' || c == u'\t') {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// The program an Exec value starts, past an "env NAME=value ..." prefix.
QString ExecProgram(const QString& exec) {
    const QStringList words = ExecWords(exec);
    qsizetype i = 0;
    if (i < words.size() && (words[i] == QLatin1String("env") || words[i] == QLatin1String("/usr/bin/env"))) {
        ++i;
        while (i < words.size() && words[i].contains(u'=') && !words[i].startsWith(u'/'))
            ++i;
    }
    return i < words.size() ? words[i] : QString();
}

bool NamesExecutable(const QString& program, const QString& path, const QString& canonicalPath) {
    if (program.isEmpty())
        return false;
    if (!program.contains(u'/'))
        return program == QFileInfo(path).fileName();
    if (program == path)
        return true;
    const QString canonical = QFileInfo(program).canonicalFilePath();
    return !canonical.isEmpty() && canonical == canonicalPath;
}

struct DesktopEntry {
    QString type, exec, tryExec, icon;
    bool hidden = false;
};

DesktopEntry ReadDesktopEntry(const QString& fileName) {
    DesktopEntry entry;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            if (inMainGroup)
                break; // the keys of [Desktop Entry] are all read
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inMainGroup || eq <= 0 || line.startsWith(u'#'))
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = UnescapeValue(line.mid(eq + 1).trimmed());
        if (key == QLatin1String("Type"))
            entry.type = value;
        else if (key == QLatin1String("Exec"))
            entry.exec = value;
        else if (key == QLatin1String("TryExec"))
            entry.tryExec = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("Hidden"))
            entry.hidden = value == QLatin1String("true");
    }
    return entry;
}

QString DataHome() {
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

} // namespace

QStringList ApplicationFolders() {
    QStringList folders{DataHome() + QStringLiteral("/applications")};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            folders.append(QDir::cleanPath(dir) + QStringLiteral("/applications"));
    return folders;
}

QString DesktopEntryIconName(const QString& path, const QStringList& folders) {
    if (path.isEmpty())
        return {};
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    QSet<QString> seenIds;
    for (const QString& folder : folders) {
        const QDir root(folder);
        QStringList files;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        files.sort(); // the same entry wins on every machine
        for (const QString& file : files) {
            // The desktop file ID: the path below the folder with "/" written as "-".
            QString id = root.relativeFilePath(file);
            id.replace(u'/', u'-');
            if (seenIds.contains(id))
                continue; // hidden by the entry of a more important folder
            seenIds.insert(id);
            const DesktopEntry entry = ReadDesktopEntry(file);
            if (entry.hidden || entry.type != QLatin1String("Application") || entry.icon.isEmpty())
                continue;
            if (NamesExecutable(ExecProgram(entry.exec), path, canonicalPath) ||
                NamesExecutable(entry.tryExec, path, canonicalPath))
                return entry.icon;
        }
    }
    return {};
}

QIcon ExecutableIcon(const QString& path) {
    const QString name = DesktopEntryIconName(path);
    QIcon icon;
    if (QDir::isAbsolutePath(name)) {
        if (QFileInfo::exists(name))
            icon = QIcon(name);
    } else if (!name.isEmpty()) {
        icon = QIcon::fromTheme(name);
        // Older entries name the icon with its file's extension.
        if (icon.isNull() && (name.endsWith(QLatin1String(".png")) || name.endsWith(QLatin1String(".svg")) ||
                              name.endsWith(QLatin1String(".xpm"))))
            icon = QIcon::fromTheme(name.left(name.size() - 4));
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (icon.isNull() && QApplication::style() != nullptr)
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

} // namespace kelvane
