#include "settings/IniFile.h"

#include "settings/AtomicFile.h"

namespace kelvane {

namespace {

// A key that would read back as another key, a comment or a section.
bool IsSafeKey(const QString& key) {
    const QString trimmed = key.trimmed();
    return IniDocument::IsSafeText(key) && !trimmed.isEmpty() && !key.contains(u'=') &&
           !trimmed.startsWith(u';') && !trimmed.startsWith(u'[');
}

} // namespace

void IniBatch::ApplyTo(IniDocument& doc) const {
    for (const Op& op : ops_) {
        switch (op.kind) {
        case Op::Write:
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
    const bool ok = UpdateFile(
        path_,
        [&batch](const std::optional<QByteArray>& current) -> std::optional<QByteArray> {
            IniDocument doc = current ? IniDocument::Parse(*current) : IniDocument(IniDocument::Encoding::Utf16Le);
            batch.ApplyTo(doc);
            if (!doc.modified())
                return std::nullopt; // nothing changed: leave the file (or its absence) alone
            return doc.Serialize();
        },
        &reason);
    return ok ? IniResult{} : Failure(reason);
}

} // namespace kelvane
