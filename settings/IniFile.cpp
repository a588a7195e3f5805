#include "settings/IniFile.h"

#include "settings/AtomicFile.h"
#include "util/FileName.h"

#include <QFile>

namespace kelvane {

namespace {

// A key that would read back as another key, a comment or a section.
bool IsSafeKey(const QString& key) {
    const QString trimmed = key.trimmed();
    return IniDocument::IsSafeText(key) && !trimmed.isEmpty() && !key.contains(u'=') &&
           !trimmed.startsWith(u';') && !trimmed.startsWith(u'[');
}

} // namespace

QString ProfileNameProblem(const QString& path, IniDocument::Encoding encoding) {
    if (path.contains(u'\n') || path.contains(u'\r'))
        return QStringLiteral("its path holds a line break, which a line of the settings file cannot hold");
    if (path.contains(QChar(u'\0')))
        return QStringLiteral("its path holds a NUL character");
    if (!IniDocument(encoding).CanHold(path))
        return QStringLiteral("its path holds bytes that are not UTF-8, which the UTF-16 settings file cannot hold");
    return {};
}

QString ProfileRefusedText(const QString& path, const QString& problem) {
    auto escape = [](int byte) { return QStringLiteral("\\x") + QStringLiteral("%1").arg(byte, 2, 16, QChar(u'0')).toUpper(); };
    QString shown;
    for (const QChar c : path) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            shown += QStringLiteral("\\n");
        else if (u == u'\r')
            shown += QStringLiteral("\\r");
        else if (u < 0x20)
            shown += escape(u);
        else if (u >= 0xDC80 && u <= 0xDCFF) // a byte that is not UTF-8 (util/FileName.h)
            shown += escape(u - 0xDC00);
        else
            shown += c;
    }
    return QStringLiteral("The profile of \"%1\" cannot be stored: %2.").arg(shown, problem);
}

QStringList IniBatch::ApplyTo(IniDocument& doc) const {
    QStringList unheld;
    for (const Op& op : ops_) {
        switch (op.kind) {
        case Op::Write:
            if (!doc.CanHold(op.section) || !doc.CanHold(op.key) || !doc.CanHold(op.value)) {
                if (!unheld.contains(op.section))
                    unheld.append(op.section);
                break;
            }
            doc.Write(op.section, op.key, op.value, op.match);
            break;
        case Op::Delete:
            doc.Delete(op.section, op.key, op.match);
            break;
        case Op::Erase:
            doc.Erase(op.section, op.match);
            break;
        }
    }
    return unheld;
}

IniResult IniFile::Failure(const QString& reason) const {
    return IniResult{false, QStringLiteral("Unable to write to %1").arg(path_), reason};
}

IniDocument IniFile::Load(QString* reason) const {
    const std::optional<QByteArray> bytes = ReadWholeFile(path_, reason);
    return bytes ? IniDocument::Parse(*bytes) : IniDocument();
}

std::optional<QString> IniFile::ReadString(const QString& section, const QString& key) const {
    return Load().Read(section, key);
}

QStringList IniFile::Keys(const QString& section) const { return Load().Keys(section); }

bool IniFile::KeyExists(const QString& section, const QString& key) const {
    return ReadString(section, key).has_value();
}

IniResult IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    IniBatch batch;
    batch.Write(section, key, value);
    return Apply(batch);
}

IniResult IniFile::DeleteKey(const QString& section, const QString& key) {
    IniBatch batch;
    batch.Delete(section, key);
    return Apply(batch);
}

IniResult IniFile::EraseSection(const QString& section, SectionCase match) {
    IniBatch batch;
    batch.Erase(section, match);
    return Apply(batch);
}

IniResult IniFile::Apply(const IniBatch& batch) {
    for (const IniBatch::Op& op : batch.ops_) {
        const bool safe = IniDocument::IsSafeText(op.section) && IniDocument::IsSafeText(op.value) &&
                          (op.kind == IniBatch::Op::Erase || IsSafeKey(op.key));
        if (!safe)
            return Failure(QStringLiteral("a section, key or value holds a line break, a NUL or a "
                                          "character that would change its meaning"));
    }
    QString reason;
    QStringList refused = batch.refused();
    const bool ok = UpdateFile(
        path_,
        [&batch, &refused](const std::optional<QByteArray>& current) -> std::optional<QByteArray> {
            IniDocument doc = current ? IniDocument::Parse(*current) : IniDocument(IniDocument::Encoding::Utf16Le);
            for (const QString& section : batch.ApplyTo(doc)) {
                const QString problem = ProfileNameProblem(section, doc.encoding());
                refused.append(ProfileRefusedText(
                    section, !problem.isEmpty() ? problem
                                                : QStringLiteral("a value holds text that the UTF-16 settings file "
                                                                 "cannot hold")));
            }
            if (!doc.modified())
                return std::nullopt; // nothing changed: leave the file (or its absence) alone
            return doc.Serialize();
        },
        &reason);
    if (!ok)
        return Failure(reason);
    return refused.isEmpty() ? IniResult{} : Failure(refused.join(u'\n'));
}

IniDocument::Encoding IniFile::FileEncoding() const {
    QFile file;
    const std::optional<QString> target = FollowedTarget(path_, nullptr);
    if (!target || !OpenForReading(file, *target))
        return IniDocument::Encoding::Utf16Le; // as a new file is made
    return IniDocument::Parse(file.read(3)).encoding();
}

} // namespace kelvane
