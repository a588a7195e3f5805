#include "settings/IniDocument.h"

#include "util/FileName.h"

#include <QSet>
#include <QSysInfo>
#include <QtEndian>
#include <algorithm>
#include <utility>

namespace kelvane {

namespace {

const QByteArray kUtf16Bom("\xFF\xFE", 2);
const QByteArray kUtf16BeBom("\xFE\xFF", 2);
const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

// The lookup form of a section or key name.
QString NameKey(const QString& name) { return AsciiLower(name.trimmed()); }

void InsertFirst(QHash<QString, std::size_t>& index, const QString& name, std::size_t section) {
    if (!index.contains(name))
        index.insert(name, section);
}

} // namespace

QString AsciiLower(const QString& text) {
    // Most names have no capital: they are shared, not copied.
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 'A' && c.unicode() <= 'Z'; }))
        return text;
    QString lower = text;
    for (QChar& c : lower)
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(static_cast<char16_t>(c.unicode() + ('a' - 'A')));
    return lower;
}

IniDocument::IniDocument(Encoding encoding) : encoding_(encoding) {
    if (encoding_ == Encoding::Utf16Le)
        prefix_ = kUtf16Bom;
    else if (encoding_ == Encoding::Utf16Be)
        prefix_ = kUtf16BeBom;
    eolBytes_ = {QByteArray(), Encode(QStringLiteral("\n")), Encode(QStringLiteral("\r")),
                 Encode(QStringLiteral("\r\n"))};
    sections_.emplace_back();
}

IniDocument IniDocument::Parse(const QByteArray& bytes) {
    const bool bigEndian = bytes.startsWith(kUtf16BeBom);
    const bool utf16 = bigEndian || bytes.startsWith(kUtf16Bom);
    IniDocument doc(bigEndian ? Encoding::Utf16Be : utf16 ? Encoding::Utf16Le : Encoding::Utf8);
    doc.prefix_ = utf16 ? bytes.left(2) : (bytes.startsWith(kUtf8Bom) ? kUtf8Bom : QByteArray());
    const qsizetype unit = utf16 ? 2 : 1;
    doc.source_ = bytes; // shared, not copied: the lines below are views into it
    const char* data = doc.source_.constData();
    const qsizetype size = doc.source_.size();
    auto view = [data](qsizetype from, qsizetype length) { return QByteArray::fromRawData(data + from, length); };

    auto codeAt = [&](qsizetype i) -> char16_t {
        if (!utf16)
            return static_cast<char16_t>(static_cast<unsigned char>(data[i]));
        return bigEndian ? qFromBigEndian<char16_t>(data + i) : qFromLittleEndian<char16_t>(data + i);
    };
    qsizetype start = doc.prefix_.size();
    qsizetype i = start;
    bool newlineKnown = false;
    while (start < size) {
        // A trailing odd byte of a UTF-16 text stays in the last line's bytes.
        while (i + unit <= size && codeAt(i) != u'\r' && codeAt(i) != u'\n')
            i += unit;
        if (i + unit > size) {
            Line line;
            line.raw = view(start, size - start);
            doc.Classify(line);
            doc.sections_.back().lines.push_back(std::move(line));
            break;
        }
        qsizetype end = i + unit;
        if (codeAt(i) == u'\r' && end + unit <= size && codeAt(end) == u'\n')
            end += unit;
        Line line;
        line.raw = view(start, i - start);
        line.eol = end - i == 2 * unit ? Eol::CrLf : codeAt(i) == u'\r' ? Eol::Cr : Eol::Lf;
        if (!newlineKnown) {
            doc.newline_ = line.eol;
            newlineKnown = true;
        }
        doc.Classify(line);
        if (line.kind == Line::Kind::Section) {
            Section section;
            section.header = std::move(line);
            doc.sections_.push_back(std::move(section));
        } else {
            doc.sections_.back().lines.push_back(std::move(line));
        }
        start = i = end;
    }
    // A last line without a line end may be a section header as well.
    Section& last = doc.sections_.back();
    if (!last.lines.empty() && last.lines.back().kind == Line::Kind::Section) {
        Section section;
        section.header = std::move(last.lines.back());
        last.lines.pop_back();
        doc.sections_.push_back(std::move(section));
    }
    doc.Reindex();
    return doc;
}

QByteArray IniDocument::Serialize() const {
    qsizetype total = prefix_.size();
    for (const Section& section : sections_) {
        if (section.header)
            total += section.header->raw.size() + EolOf(*section.header).size();
        for (const Line& line : section.lines)
            total += line.raw.size() + EolOf(line).size();
    }
    QByteArray out;
    out.reserve(total);
    out += prefix_;
    for (const Section& section : sections_) {
        if (section.header)
            out += section.header->raw + EolOf(*section.header);
        for (const Line& line : section.lines)
            out += line.raw + EolOf(line);
    }
    return out;
}

QString IniDocument::Decode(const QByteArray& raw) const {
    if (encoding_ == Encoding::Utf8)
        return FromUtf8Escaped(raw);
    QString text(raw.size() / 2, Qt::Uninitialized);
    if (encoding_ == Encoding::Utf16Be)
        qFromBigEndian<char16_t>(raw.constData(), text.size(), text.data());
    else
        qFromLittleEndian<char16_t>(raw.constData(), text.size(), text.data());
    return text;
}

QByteArray IniDocument::Encode(const QString& text) const {
    if (encoding_ == Encoding::Utf8)
        return ToUtf8Escaped(text);
    QByteArray raw(text.size() * 2, Qt::Uninitialized);
    if (encoding_ == Encoding::Utf16Be)
        qToBigEndian<char16_t>(text.constData(), text.size(), raw.data());
    else
        qToLittleEndian<char16_t>(text.constData(), text.size(), raw.data());
    return raw;
}

namespace {

// The line's text without the blanks around it and without byte-order marks at its start (a
// second file joined to the first).
QStringView LineText(QStringView decoded) {
    qsizetype marks = 0;
    while (marks < decoded.size() && (decoded[marks] == u'\uFEFF' || decoded[marks].isSpace()))
        ++marks;
    return decoded.mid(marks).trimmed();
}

} // namespace

QStringView IniDocument::TextOf(const QByteArray& raw, QString& storage) const {
    const bool native = encoding_ == (QSysInfo::ByteOrder == QSysInfo::LittleEndian ? Encoding::Utf16Le : Encoding::Utf16Be);
    if (native && reinterpret_cast<quintptr>(raw.constData()) % alignof(char16_t) == 0)
        return QStringView(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2);
    storage = Decode(raw);
    return storage;
}

bool IniDocument::ParseKey(QStringView decoded, KeyParts* parts) const {
    const QStringView text = LineText(decoded);
    if (text.startsWith(u'[') || text.startsWith(u';'))
        return false;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return false;
    const QStringView name = text.left(equals).trimmed();
    if (name.isEmpty())
        return false;
    if (parts != nullptr) {
        parts->name = name.toString();
        parts->lookup = AsciiLower(parts->name);
        QStringView value = text.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        parts->value = value.toString();
    }
    return true;
}

IniDocument::KeyParts IniDocument::KeyOf(const Line& line) const {
    KeyParts parts;
    QString storage;
    ParseKey(TextOf(line.raw, storage), &parts);
    return parts;
}

void IniDocument::Classify(Line& line) const {
    QString storage;
    const QStringView decoded = TextOf(line.raw, storage);
    const QStringView text = LineText(decoded);
    line.kind = Line::Kind::Other;
    line.section.reset();
    if (text.startsWith(u'[')) {
        // Up to the last "]", so that a path holding "]" stays one name.
        const qsizetype close = text.lastIndexOf(u']');
        line.kind = Line::Kind::Section;
        auto names = std::make_shared<Line::Names>();
        names->exact = text.mid(1, close > 0 ? close - 1 : -1).toString();
        names->name = names->exact.trimmed();
        line.section = std::move(names);
        return;
    }
    if (ParseKey(decoded, nullptr))
        line.kind = Line::Kind::Key;
}

std::optional<std::size_t> IniDocument::FindKey(const Section& section, const QString& lookup) const {
    constexpr std::size_t kIndexedFrom = 16; // lines; a short section is simply walked
    if (section.lines.size() >= kIndexedFrom) {
        if (!section.keys.map) {
            section.keys.map = std::make_unique<QHash<QString, std::size_t>>();
            section.keys.map->reserve(static_cast<qsizetype>(section.lines.size()));
            for (std::size_t i = 0; i < section.lines.size(); ++i)
                if (section.lines[i].kind == Line::Kind::Key)
                    InsertFirst(*section.keys.map, KeyOf(section.lines[i]).lookup, i);
        }
        const auto it = section.keys.map->constFind(lookup);
        return it == section.keys.map->constEnd() ? std::nullopt : std::optional<std::size_t>(it.value());
    }
    for (std::size_t i = 0; i < section.lines.size(); ++i)
        if (section.lines[i].kind == Line::Kind::Key && KeyOf(section.lines[i]).lookup == lookup)
            return i;
    return std::nullopt;
}

IniDocument::Line IniDocument::MakeLine(const QString& text) const {
    Line line;
    line.raw = Encode(text);
    line.eol = newline_;
    Classify(line);
    return line;
}

void IniDocument::Reindex() {
    index_.clear();
    exactIndex_.clear();
    index_.reserve(static_cast<qsizetype>(sections_.size()));
    exactIndex_.reserve(static_cast<qsizetype>(sections_.size()));
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (!sections_[i].header)
            continue;
        // Only the first of duplicate sections counts.
        InsertFirst(index_, AsciiLower(sections_[i].header->name()), i);
        InsertFirst(exactIndex_, sections_[i].header->exact(), i);
    }
}

bool IniDocument::Matches(const Section& section, const QString& name, SectionCase match) const {
    if (!section.header)
        return false;
    return match == SectionCase::Exact ? section.header->exact() == name
                                       : AsciiLower(section.header->name()) == NameKey(name);
}

const IniDocument::Section* IniDocument::FindSection(const QString& name, SectionCase match) const {
    const QHash<QString, std::size_t>& index = match == SectionCase::Exact ? exactIndex_ : index_;
    const auto it = index.constFind(match == SectionCase::Exact ? name : NameKey(name));
    return it == index.constEnd() ? nullptr : &sections_[it.value()];
}

IniDocument::Section* IniDocument::FindSection(const QString& name, SectionCase match) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name, match));
}

std::optional<QString> IniDocument::Read(const QString& section, const QString& key, SectionCase match) const {
    const Section* s = FindSection(section, match);
    if (s == nullptr)
        return std::nullopt;
    const std::optional<std::size_t> at = FindKey(*s, NameKey(key));
    if (!at)
        return std::nullopt;
    return KeyOf(s->lines[*at]).value.left(kMaxIniValueLength);
}

QStringList IniDocument::Keys(const QString& section, SectionCase match) const {
    QStringList keys;
    const Section* s = FindSection(section, match);
    if (s == nullptr)
        return keys;
    QSet<QString> seen;
    seen.reserve(static_cast<qsizetype>(s->lines.size()));
    for (const Line& line : s->lines) {
        if (line.kind != Line::Kind::Key)
            continue;
        KeyParts parts = KeyOf(line);
        const qsizetype before = seen.size();
        seen.insert(parts.lookup);
        if (seen.size() != before)
            keys.append(std::move(parts.name));
    }
    return keys;
}

bool IniDocument::HasSection(const QString& section, SectionCase match) const {
    return FindSection(section, match) != nullptr;
}

void IniDocument::EndLine(Line& line) const {
    if (line.eol != Eol::None)
        return;
    // A damaged UTF-16 text may end in half a character: make it whole, or everything written
    // after it would be read one byte off.
    if (encoding_ != Encoding::Utf8 && line.raw.size() % 2 != 0)
        line.raw += '\0';
    line.eol = newline_;
}

void IniDocument::EnsureLastLineEnds() {
    for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
        Line* last = !it->lines.empty() ? &it->lines.back() : (it->header ? &*it->header : nullptr);
        if (last != nullptr) {
            EndLine(*last);
            return;
        }
    }
    // Only the byte-order mark (or nothing): a damaged UTF-8 mark is no concern here.
}

void IniDocument::Write(const QString& section, const QString& key, const QString& value, SectionCase match) {
    const QString text = key + u'=' + value;
    Section* s = FindSection(section, match);
    if (s == nullptr) {
        EnsureLastLineEnds();
        Section added;
        added.header = MakeLine(u'[' + section + u']');
        added.lines.push_back(MakeLine(text));
        sections_.push_back(std::move(added));
        InsertFirst(index_, AsciiLower(sections_.back().header->name()), sections_.size() - 1);
        InsertFirst(exactIndex_, sections_.back().header->exact(), sections_.size() - 1);
        modified_ = true;
        return;
    }
    const QString wanted = NameKey(key);
    if (const std::optional<std::size_t> at = FindKey(*s, wanted)) {
        Line& line = s->lines[*at];
        if (KeyOf(line).value == value)
            return; // already so: leave the line as the user wrote it
        // Only the value changes: the name as it stands in the file and the blanks around "="
        // keep the hand-edited line's look.
        const QString old = Decode(line.raw);
        qsizetype start = old.indexOf(u'=') + 1;
        while (start < old.size() && (old[start] == u' ' || old[start] == u'\t'))
            ++start;
        const Eol eol = line.eol;
        line = MakeLine(old.left(start) + value);
        line.eol = eol;
        modified_ = true;
        return;
    }
    // After the section's last key (or right after its header): the line before it must end. Only
    // lines that are no keys follow, so the key index stays right.
    std::size_t insertAt = s->lines.size();
    while (insertAt > 0 && s->lines[insertAt - 1].kind != Line::Kind::Key)
        --insertAt;
    EndLine(insertAt == 0 ? *s->header : s->lines[insertAt - 1]);
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), MakeLine(text));
    if (s->keys.map)
        InsertFirst(*s->keys.map, wanted, insertAt);
    modified_ = true;
}

void IniDocument::Delete(const QString& section, const QString& key, SectionCase match) {
    if (FindSection(section, match) == nullptr)
        return;
    const QString wanted = NameKey(key);
    for (Section& s : sections_) {
        if (!Matches(s, section, match))
            continue;
        const std::size_t removed = std::erase_if(s.lines, [&](const Line& line) {
            return line.kind == Line::Kind::Key && KeyOf(line).lookup == wanted;
        });
        if (removed > 0)
            s.keys.map.reset(); // lines moved
        modified_ = modified_ || removed > 0;
    }
}

void IniDocument::Erase(const QString& section, SectionCase match) {
    if (FindSection(section, match) == nullptr)
        return;
    std::erase_if(sections_, [&](const Section& s) { return Matches(s, section, match); });
    Reindex();
    modified_ = true;
}

bool IniDocument::CanHold(const QString& text) const {
    if (encoding_ == Encoding::Utf8)
        return true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

bool IniDocument::IsSafeText(const QString& text) {
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return c == u'\r' || c == u'\n' || c == u'\0'; });
}

} // namespace kelvane
