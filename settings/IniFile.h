#pragma once
// The settings file, accessed the way the private-profile functions do: every operation opens the
// file by name, reads or changes it, and lets it go; nothing is kept in memory between operations,
// so a hand edit made while Kelvane runs is seen by the next read and kept by the next write.
// A write re-reads the file under a lock, applies all its changes and replaces the file once,
// atomically. A file that does not exist yet is created as UTF-16LE with its byte-order mark.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "settings/IniDocument.h"

namespace kelvane {

// "Unable to write to PATH" with the system's reason (as "No space left on device") on its own line.
inline QString WriteErrorText(const QString& error, const QString& reason) {
    return reason.isEmpty() ? error : error + u'\n' + reason;
}

// The outcome of a write: on failure `error` is "Unable to write to PATH" and `reason` the system's
// text (or why the text was refused).
struct IniResult {
    bool ok = true;
    QString error;
    QString reason;
    explicit operator bool() const { return ok; }
    // What the user is told: the error, and the reason on a line of its own.
    QString Message() const { return WriteErrorText(error, reason); }
};

// Many changes made as one operation (as "Save Settings" writes hundreds of profiles).
class IniBatch {
public:
    void Write(const QString& section, const QString& key, const QString& value,
               SectionCase match = SectionCase::Ignore) {
        ops_.push_back({Op::Write, section, key, value, match});
    }
    void Delete(const QString& section, const QString& key, SectionCase match = SectionCase::Ignore) {
        ops_.push_back({Op::Delete, section, key, {}, match});
    }
    void Erase(const QString& section, SectionCase match = SectionCase::Ignore) {
        ops_.push_back({Op::Erase, section, {}, {}, match});
    }
    // A change the batch's maker could not make (why, for the user): the others are still written,
    // and the write reports this.
    void Refuse(const QString& why) { refused_.append(why); }
    const QStringList& refused() const { return refused_; }
    // Makes the batch's changes in `doc`, but for writes whose text `doc` cannot hold (IniDocument::
    // CanHold): their sections are returned, each once.
    QStringList ApplyTo(IniDocument& doc) const;
    bool empty() const { return ops_.empty(); }
    std::size_t size() const { return ops_.size(); }

private:
    friend class IniFile;
    struct Op {
        enum Kind { Write, Delete, Erase } kind;
        QString section, key, value;
        SectionCase match;
    };
    std::vector<Op> ops_;
    QStringList refused_;
};

// Why the path cannot be the section of a profile in a file of `encoding`, or empty when it can.
QString ProfileNameProblem(const QString& path, IniDocument::Encoding encoding = IniDocument::Encoding::Utf16Le);
// "The profile of "PATH" cannot be stored: WHY.", the path's line breaks and bytes that are not
// UTF-8 shown as escapes.
QString ProfileRefusedText(const QString& path, const QString& problem);

class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }

    // The whole file as it is now, for reading many keys in one go. An absent or unreadable file
    // gives an empty document (every key absent); `reason` tells why a file that is there could not
    // be read (not a regular file, a link that is not followed, ...), and stays empty otherwise.
    IniDocument Load(QString* reason = nullptr) const;

    // The key's value (at most 2047 characters); nothing when absent.
    std::optional<QString> ReadString(const QString& section, const QString& key) const;
    QStringList Keys(const QString& section) const;
    bool KeyExists(const QString& section, const QString& key) const;

    IniResult WriteString(const QString& section, const QString& key, const QString& value);
    IniResult DeleteKey(const QString& section, const QString& key);
    IniResult EraseSection(const QString& section, SectionCase match = SectionCase::Ignore);
    // All changes of the batch in order, in one replacement of the file. When any text is refused
    // nothing is written.
    // The batch's changes; when some could not be made (IniBatch::Refuse, text the file cannot hold)
    // the others are written and the result fails with why, one line each.
    IniResult Apply(const IniBatch& batch);
    // The encoding the file has, or a new one gets.
    IniDocument::Encoding FileEncoding() const;

private:
    IniResult Failure(const QString& reason) const;

    QString path_;
};

} // namespace kelvane
