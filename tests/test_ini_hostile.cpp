// The INI layer under hostile conditions: write failures and their reasons, section names that
// differ only in blanks, paths a settings file cannot hold, and very large files.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/IniDocument.h"
#include "settings/IniFile.h"
#include "util/FileName.h"

using namespace kelvane;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Runs `body` in a forked child and returns its exit status (128 + signal when killed).
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}


} // namespace

class IniHostile : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("kelvane.ini"));
};

// ---- Write errors -------------------------------------------------------------------------------

// The user is told the file and, on a line of its own, what the system said.
TEST_F(IniHostile, WriteErrorsTellTheSystemsReason) {
    struct Case {
        const char* name;
        std::function<QString()> make; // returns the settings path to write
        const char* reason;
    };
    const Case cases[] = {
        {"read-only file",
         [this] {
             WriteBytes(path, "[Preferences]\nALU=0\n");
             ::chmod(QFile::encodeName(path).constData(), 0444);
             return path;
         },
         "Permission denied"},
        {"missing folder", [this] { return dir.filePath(QStringLiteral("gone/kelvane.ini")); },
         "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = c.make();
        const IniResult result = IniFile(target).WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"),
                                                              QStringLiteral("1"));
        ASSERT_FALSE(result.ok);
        EXPECT_EQ(result.error, QStringLiteral("Unable to write to ") + target);
        EXPECT_EQ(result.Message(), result.error + u'\n' + QString::fromLatin1(c.reason));
    }
    EXPECT_EQ(WriteErrorText(QStringLiteral("Unable to write to x"), QString()), QStringLiteral("Unable to write to x"))
        << "no reason, no empty line";
}

// A full disk: a small file system of this test's own, in a private mount namespace.
TEST_F(IniHostile, AFullDiskSaysSoAndKeepsTheFile) {
    const int status = InChild([this] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return 77;
        const QByteArray folder = QFile::encodeName(dir.path());
        if (::mount("kelvane-test", folder.constData(), "tmpfs", 0, "size=64k") != 0)
            return 77;
        const QByteArray before = "\xFF\xFE[\0P\0]\0\n\0";
        QFile kept(path);
        if (!kept.open(QIODevice::WriteOnly) || kept.write(before) != before.size())
            return 2;
        kept.close();
        QFile filler(dir.filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly))
            return 2;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        IniBatch batch;
        for (int i = 0; i < 2000; ++i)
            batch.Write(QStringLiteral("/usr/bin/p%1").arg(i), QStringLiteral("Priority"), QStringLiteral("128"));
        const IniResult result = IniFile(path).Apply(batch);
        if (result.ok)
            return 3;
        if (result.Message() != QStringLiteral("Unable to write to ") + path + QStringLiteral("\nNo space left on device"))
            return 4;
        return ReadBytes(path) == before ? 0 : 5;
    });
    if (status == 77)
        GTEST_SKIP() << "no private mount namespace with a tmpfs here";
    EXPECT_EQ(status, 0) << "3: written anyway, 4: message without the reason, 5: file changed";
}

// ---- Section names with blanks ------------------------------------------------------------------

// A profile is the executable's path exactly: "/DIR/tool", "/DIR/tool " and "/DIR/tool<TAB>" are
// three programs. The settings file's own sections still ignore blanks and case.
TEST(IniSectionNames, AProfileKeepsTheBlanksOfItsPath) {
    const QByteArray text = "[/DIR/tool]\nAutoKill=1\n"
                            "[/DIR/tool ]\nTabu=1\n"
                            "[/DIR/tool\t]\nStatic=1\n"
                            "[ Preferences ]\nALU=1\n";
    struct Case {
        const char* section;
        const char* key; // the one key the section holds, or nullptr for no section
    };
    const Case cases[] = {{"/DIR/tool", "AutoKill"}, {"/DIR/tool ", "Tabu"}, {"/DIR/tool\t", "Static"},
                          {" /DIR/tool", nullptr},    {"/DIR/tool  ", nullptr}, {"/DIR/tool\n", nullptr}};
    for (const auto encoding : {IniDocument::Encoding::Utf8, IniDocument::Encoding::Utf16Le}) {
        IniDocument written(encoding);
        IniDocument doc = IniDocument::Parse(text);
        if (encoding != IniDocument::Encoding::Utf8) {
            // The same sections written by the program into a UTF-16 file.
            for (const Case& c : cases)
                if (c.key != nullptr)
                    written.Write(QString::fromLatin1(c.section), QString::fromLatin1(c.key), QStringLiteral("1"),
                                  SectionCase::Exact);
            doc = IniDocument::Parse(written.Serialize());
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "section \"" << c.section << "\"");
            const QString section = QString::fromLatin1(c.section);
            const QStringList keys = doc.Keys(section, SectionCase::Exact);
            EXPECT_EQ(keys, c.key ? QStringList{QString::fromLatin1(c.key)} : QStringList());
            EXPECT_EQ(doc.HasSection(section, SectionCase::Exact), c.key != nullptr);
        }
    }
    IniDocument doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.Read(QStringLiteral("preferences"), QStringLiteral("alu")), QStringLiteral("1"));
    EXPECT_EQ(doc.Read(QStringLiteral(" /dir/TOOL "), QStringLiteral("AutoKill")), QStringLiteral("1"))
        << "other readers: blanks and case ignored";

    // Changes reach only the section of exactly that name.
    doc.Erase(QStringLiteral("/DIR/tool"), SectionCase::Exact);
    doc.Write(QStringLiteral("/DIR/tool\t"), QStringLiteral("AutoKill"), QStringLiteral("0"), SectionCase::Exact);
    doc.Write(QStringLiteral(" /DIR/tool"), QStringLiteral("Priority"), QStringLiteral("64"), SectionCase::Exact);
    EXPECT_EQ(doc.Serialize(), QByteArray("[/DIR/tool ]\nTabu=1\n"
                                          "[/DIR/tool\t]\nStatic=1\nAutoKill=0\n"
                                          "[ Preferences ]\nALU=1\n"
                                          "[ /DIR/tool]\nPriority=64\n"));
}

// ---- Paths the file cannot hold -----------------------------------------------------------------

namespace {

// Whether the bytes after a UTF-16LE mark are valid UTF-16 (no lone surrogate), as other tools demand.
bool IsValidUtf16(const QByteArray& bytes) {
    if (!bytes.startsWith("\xFF\xFE"))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes.mid(2));
    return !decoder.hasError() && text.size() * 2 == bytes.size() - 2;
}

} // namespace

// A profile whose path the file's encoding cannot hold is left out, with why; the rest is written
// and a UTF-16 file stays valid UTF-16. A UTF-8 file writes such a path's bytes as they are.
TEST_F(IniHostile, ProfilesTheFileCannotHoldAreRefusedWithWhy) {
    const QString odd = DecodeFileName("/opt/p\xFF");
    const QString fine = QStringLiteral("/opt/caf\u00E9");
    struct Case {
        const char* name;
        QByteArray start;
        bool oddWritten;
    };
    const Case cases[] = {{"UTF-16 file", QByteArray("\xFF\xFE", 2), false},
                          {"new file", QByteArray(), false},
                          {"UTF-8 file", QByteArray("[Preferences]\nALU=1\n"), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        if (!c.start.isEmpty())
            WriteBytes(path, c.start);
        IniBatch batch;
        for (const QString& section : {odd, fine}) {
            batch.Write(section, QStringLiteral("Priority"), QStringLiteral("64"), SectionCase::Exact);
            batch.Write(section, QStringLiteral("AutoKill"), QStringLiteral("1"), SectionCase::Exact);
        }
        const IniResult result = IniFile(path).Apply(batch);
        const IniDocument doc = IniFile(path).Load();
        EXPECT_EQ(doc.Read(fine, QStringLiteral("AutoKill"), SectionCase::Exact), QStringLiteral("1"));
        EXPECT_EQ(doc.HasSection(odd, SectionCase::Exact), c.oddWritten);
        EXPECT_EQ(result.ok, c.oddWritten);
        if (!c.oddWritten) {
            EXPECT_TRUE(IsValidUtf16(ReadBytes(path)));
            EXPECT_EQ(result.Message(), QStringLiteral("Unable to write to ") + path +
                                            QStringLiteral("\nThe profile of \"/opt/p\\xFF\" cannot be stored: its "
                                                           "path holds bytes that are not UTF-8, which the UTF-16 "
                                                           "settings file cannot hold."))
                << "told once, not once per key";
        }
    }
}

TEST(ProfileNames, WhyAPathCannotBeStored) {
    struct Case {
        QString path;
        const char* shown; // nullptr: it can be stored
        const char* why;
    };
    const Case cases[] = {
        {QStringLiteral("/usr/bin/a b (x)"), nullptr, nullptr},
        {QStringLiteral("/opt/caf\u00E9 \U0001F600"), nullptr, nullptr},
        {QStringLiteral("/opt/a\nb"), "/opt/a\\nb", "line break"},
        {QStringLiteral("/opt/a\rb"), "/opt/a\\rb", "line break"},
        {DecodeFileName("/opt/\xC3(\x80"), "/opt/\\xC3(\\x80", "not UTF-8"},
        {DecodeFileName("/opt/\x01\n\xFF"), "/opt/\\x01\\n\\xFF", "line break"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QString problem = ProfileNameProblem(c.path);
        EXPECT_EQ(problem.isEmpty(), c.shown == nullptr) << problem.toStdString();
        if (c.shown == nullptr)
            continue;
        EXPECT_TRUE(problem.contains(QLatin1String(c.why))) << problem.toStdString();
        EXPECT_TRUE(ProfileRefusedText(c.path, problem)
                        .startsWith(QStringLiteral("The profile of \"%1\" cannot be stored: ").arg(QLatin1String(c.shown))))
            << ProfileRefusedText(c.path, problem).toStdString();
    }
    EXPECT_TRUE(ProfileNameProblem(DecodeFileName("/opt/\xFF"), IniDocument::Encoding::Utf8).isEmpty())
        << "a UTF-8 file holds the bytes as they are";
}

// ---- Large files --------------------------------------------------------------------------------

// Writes into one section, new keys and changed ones alike, cost each about the same however many
// the section holds: 100k new keys took minutes when each write walked the section.
TEST(IniLargeFiles, ABatchIntoOneSectionIsNotQuadratic) {
    constexpr int kKeys = 100000;
    IniDocument doc = IniDocument::Parse(QByteArray("\xFF\xFE[\0S\0]\0\r\0\n\0;\0c\0\r\0\n\0", 20));
    IniBatch batch;
    for (int k = 0; k < kKeys; ++k)
        batch.Write(QStringLiteral("S"), QStringLiteral("Key%1").arg(k), QString::number(k));
    for (int k = 0; k < kKeys; k += 2)
        batch.Write(QStringLiteral("s"), QStringLiteral("KEY%1").arg(k), QStringLiteral("x"));
    QElapsedTimer timer;
    timer.start();
    batch.ApplyTo(doc);
    EXPECT_LT(timer.elapsed(), 5000) << "150k writes into one section";
    const IniDocument read = IniDocument::Parse(doc.Serialize());
    EXPECT_EQ(read.Keys(QStringLiteral("S")).size(), kKeys);
    EXPECT_EQ(read.Read(QStringLiteral("S"), QStringLiteral("key0")), QStringLiteral("x"));
    EXPECT_EQ(read.Read(QStringLiteral("S"), QStringLiteral("Key99999")), QStringLiteral("99999"));
    const QString tail = QStringLiteral("Key99999=99999\r\n;c\r\n");
    EXPECT_TRUE(doc.Serialize().endsWith(QByteArray(reinterpret_cast<const char*>(tail.utf16()), tail.size() * 2)))
        << "new keys after the last key, before the comment, with the file's line end";
    // Deleting a key and writing it again finds the right line after the lines moved.
    doc.Delete(QStringLiteral("S"), QStringLiteral("Key5"));
    doc.Write(QStringLiteral("S"), QStringLiteral("Key7"), QStringLiteral("seven"));
    EXPECT_EQ(doc.Read(QStringLiteral("S"), QStringLiteral("Key7")), QStringLiteral("seven"));
    EXPECT_FALSE(doc.Read(QStringLiteral("S"), QStringLiteral("Key5")));
}
