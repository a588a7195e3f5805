#pragma once
// An INI text held as its lines, for reading keys and making changes that leave every other byte of
// the file as it was. Reading follows the private-profile conventions that hand-edited files rely
// on: names compare without regard to ASCII case, blanks around names and values are ignored, one
// pair of matching quotes around a value is removed, ";" starts a comment, lines without "=" are no
// keys, keys before the first section belong to no section, and only the first of duplicate sections
// or keys counts. CR, LF and CR LF line ends are read.
//
// Encodings: a text starting with FF FE is UTF-16LE, one starting with FE FF UTF-16BE; anything
// else is UTF-8 (a UTF-8 byte-order mark is kept). New lines are written in the text's own
// encoding and line end. A byte-order mark at the start of a line (two files joined) is ignored.
// Section names are paths, which need not be valid UTF-8: a UTF-8 text reads each byte that does
// not decode as the lone surrogate U+DC80 + byte and writes such a surrogate back as that byte
// (util/FileName.h); UTF-16 holds lone surrogates as they are. Either way a name read from a file
// or from the system is written back byte for byte.
//
// Section names compare without regard to case and to blanks around them, as the settings file's
// own sections do; a process profile's section is the executable's path, which Linux compares byte
// for byte, blanks included, so the profile operations ask for SectionCase::Exact: then the name is
// everything between "[" and the line's last "]".

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kelvane {

// The longest value a read returns; longer values are cut.
constexpr qsizetype kMaxIniValueLength = 2047;

// How a section name is matched.
enum class SectionCase {
    Ignore, // without regard to ASCII case (the private-profile rule)
    Exact,  // exactly, blanks included (a profile: the path of an executable)
};

class IniDocument {
public:
    enum class Encoding { Utf8, Utf16Le, Utf16Be };

    // An empty document in `encoding` (a UTF-16LE one starts with its byte-order mark).
    explicit IniDocument(Encoding encoding = Encoding::Utf16Le);
    // Parses a file's bytes. Never fails: whatever is not a section or key line is kept as it is.
    static IniDocument Parse(const QByteArray& bytes);

    QByteArray Serialize() const;
    Encoding encoding() const { return encoding_; }
    // Whether a change has been made since parsing.
    bool modified() const { return modified_; }

    std::optional<QString> Read(const QString& section, const QString& key,
                                SectionCase match = SectionCase::Ignore) const;
    // The key names of the section in file order (each once); empty when the section is missing.
    QStringList Keys(const QString& section, SectionCase match = SectionCase::Ignore) const;
    bool HasSection(const QString& section, SectionCase match = SectionCase::Ignore) const;

    // Replaces the key's value where it stands (the name keeps its spelling in the file), or
    // appends "key=value" after the last key of its section, or appends the section with the key
    // at the end of the text.
    void Write(const QString& section, const QString& key, const QString& value,
               SectionCase match = SectionCase::Ignore);
    // Removes every line of the key, in every section of that name (a copy left behind would be
    // read next); nothing when there is no such key.
    void Delete(const QString& section, const QString& key, SectionCase match = SectionCase::Ignore);
    // Removes every section of that name: its header and every line up to the next section.
    void Erase(const QString& section, SectionCase match = SectionCase::Ignore);

    // A name or value holding CR, LF or NUL would let text become lines of its own: refused.
    static bool IsSafeText(const QString& text);
    // Whether the text can be written so that the file stays valid: a UTF-16 text cannot hold a
    // lone surrogate (a path's byte that is not UTF-8); a UTF-8 one writes such a byte as itself.
    bool CanHold(const QString& text) const;

private:
    // A line's end; its bytes in the text's encoding are eolBytes_.
    enum class Eol : std::uint8_t { None, Lf, Cr, CrLf };
    // A parsed line's bytes are a view into the parsed text (kept in source_), so a large file is
    // held about once; a key line's name and value are decoded when asked for.
    struct Line {
        QByteArray raw; // the line's bytes without its line end
        Eol eol = Eol::None; // none only for the last line
        enum class Kind { Other, Key, Section } kind = Kind::Other;
        struct Names {
            QString name;  // trimmed
            QString exact; // as it stands between the brackets
        };
        std::shared_ptr<const Names> section; // for Section lines (shared when copied: never changed)
        const QString& name() const { return section->name; }
        const QString& exact() const { return section->exact; }
    };
    struct KeyParts {
        QString name;   // trimmed
        QString lookup; // the name in lower case
        QString value;  // as read
    };
    // Lower-case key name -> the line of its first occurrence, for sections with many lines; made
    // when first needed. A copy of a document starts without it.
    struct KeyIndex {
        std::unique_ptr<QHash<QString, std::size_t>> map;
        KeyIndex() = default;
        KeyIndex(const KeyIndex&) {}
        KeyIndex& operator=(const KeyIndex&) {
            map.reset();
            return *this;
        }
        KeyIndex(KeyIndex&&) noexcept = default;
        KeyIndex& operator=(KeyIndex&&) noexcept = default;
    };
    // One section: its header line (none for the lines before the first section) and its lines.
    struct Section {
        std::optional<Line> header;
        std::vector<Line> lines;
        mutable KeyIndex keys;
    };

    const QByteArray& EolOf(const Line& line) const { return eolBytes_[static_cast<std::size_t>(line.eol)]; }
    Line MakeLine(const QString& text) const;
    void Classify(Line& line) const;
    // The name and value of a key line; false for other lines.
    bool ParseKey(QStringView decoded, KeyParts* parts) const;
    // The line's text: a view of its bytes where they are UTF-16 of this machine's byte order,
    // else decoded into `storage`.
    QStringView TextOf(const QByteArray& raw, QString& storage) const;
    KeyParts KeyOf(const Line& line) const;
    // The line of the first key of that lower-case name in the section.
    std::optional<std::size_t> FindKey(const Section& section, const QString& lookup) const;
    QString Decode(const QByteArray& raw) const;
    QByteArray Encode(const QString& text) const;
    const Section* FindSection(const QString& name, SectionCase match) const;
    Section* FindSection(const QString& name, SectionCase match);
    bool Matches(const Section& section, const QString& name, SectionCase match) const;
    void Reindex();
    void EndLine(Line& line) const;
    void EnsureLastLineEnds();

    Encoding encoding_;
    QByteArray source_; // the parsed text, which the parsed lines' bytes are views into
    QByteArray prefix_; // byte-order mark
    Eol newline_ = Eol::Lf;          // the end of new lines: the text's first line end
    std::array<QByteArray, 4> eolBytes_; // of each Eol, in the text's encoding
    std::vector<Section> sections_;
    QHash<QString, std::size_t> index_;      // lower-case section name -> first section of that name
    QHash<QString, std::size_t> exactIndex_; // section name -> first section of exactly that name
    bool modified_ = false;
};

// ASCII-only lower case, independent of the locale.
QString AsciiLower(const QString& text);

} // namespace kelvane
