// The INI layer: reading hand-edited files, changes that keep every other byte, atomic writes.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/IniDocument.h"
#include "settings/IniFile.h"
#include "tools/kelvanectl/IniCommands.h"
#include "util/FileName.h"

using namespace kelvane;

namespace {

QByteArray Utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

QString ReadOr(const IniDocument& doc, const char* section, const char* key, const char* absent = "<absent>") {
    return doc.Read(QString::fromUtf8(section), QString::fromUtf8(key)).value_or(QString::fromUtf8(absent));
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file as people edit it by hand.
const QByteArray kHandEdited = "; Kelvane settings\n"
                               "orphan=before any section\n"
                               "\n"
                               "[Preferences]\r\n"
                               "  RefreshInterval =  750  \r\n"
                               "Quoted = \"  spaced  \"\n"
                               "single='x'\n"
                               "mismatched=\"x'\n"
                               ";OptimizerEnabled=1\n"
                               "not a key line\n"
                               "refreshinterval=999\n"
                               "\n"
                               "[ /usr/bin/app ]\r"
                               "Priority=128\r"
                               "[preferences]\n"
                               "ALU=1\n"
                               "[Last]\n"
                               "Key=no final newline";

} // namespace

struct ReadCase {
    const char* section;
    const char* key;
    const char* expected;
};

class IniReading : public testing::TestWithParam<ReadCase> {};

TEST_P(IniReading, FollowsTheHandEditingConventions) {
    const IniDocument doc = IniDocument::Parse(kHandEdited);
    EXPECT_EQ(ReadOr(doc, GetParam().section, GetParam().key), QString::fromUtf8(GetParam().expected));
    const IniDocument wide = IniDocument::Parse(Utf16(QString::fromUtf8(kHandEdited)));
    EXPECT_EQ(ReadOr(wide, GetParam().section, GetParam().key), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReading,
    testing::Values(ReadCase{"Preferences", "RefreshInterval", "750"},  // blanks around key and value
                    ReadCase{"PREFERENCES", "refreshINTERVAL", "750"},  // case; the first duplicate wins
                    ReadCase{"Preferences", "Quoted", "  spaced  "},    // one pair of quotes removed
                    ReadCase{"Preferences", "single", "x"},
                    ReadCase{"Preferences", "mismatched", "\"x'"},
                    ReadCase{"Preferences", "OptimizerEnabled", "<absent>"}, // a comment
                    ReadCase{"Preferences", "not a key line", "<absent>"},
                    ReadCase{"Preferences", "ALU", "<absent>"},         // in the second, ignored section
                    ReadCase{"", "orphan", "<absent>"},                  // before any section
                    ReadCase{"/usr/bin/app", "Priority", "128"},        // CR line ends, blanks in brackets
                    ReadCase{"Last", "Key", "no final newline"},
                    ReadCase{"Missing", "Key", "<absent>"}));

TEST(IniDocument, ListsKeysOnceInFileOrder) {
    const IniDocument doc = IniDocument::Parse(kHandEdited);
    EXPECT_EQ(doc.Keys(QStringLiteral("preferences")),
              (QStringList{QStringLiteral("RefreshInterval"), QStringLiteral("Quoted"), QStringLiteral("single"),
                           QStringLiteral("mismatched")}));
    EXPECT_TRUE(doc.Keys(QStringLiteral("Missing")).isEmpty());
}

TEST(IniDocument, AProfileSectionMatchesItsPathExactly) {
    const IniDocument doc = IniDocument::Parse("[/opt/x/Tool]\nAutoKill=1\n[/opt/x/tool]\nTabu=1\n[/opt/y]\nStatic=1\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    for (const Case& c : {Case{"/opt/x/Tool", "AutoKill", "1"}, Case{"/opt/x/tool", "AutoKill", "<absent>"},
                          Case{"/opt/x/tool", "Tabu", "1"}, Case{"/OPT/Y", "Static", "<absent>"},
                          Case{"/opt/y", "static", "1"}}) {
        const QString section = QString::fromUtf8(c.section);
        EXPECT_EQ(doc.Read(section, QString::fromUtf8(c.key), SectionCase::Exact).value_or(QStringLiteral("<absent>")),
                  QString::fromUtf8(c.expected))
            << c.section << " " << c.key;
    }
    EXPECT_EQ(doc.Keys(QStringLiteral("/opt/x/tool"), SectionCase::Exact), QStringList{QStringLiteral("Tabu")});
    EXPECT_EQ(doc.Keys(QStringLiteral("/OPT/X/TOOL")), QStringList{QStringLiteral("AutoKill")}) << "other sections: any case";
}

TEST(IniDocument, ListingAndReadingAreLinearInTheKeys) {
    // 200k keys in one section: a quadratic listing took tens of seconds.
    QByteArray text = "[Big]\n";
    for (int i = 0; i < 200000; ++i)
        text += "Key" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
    const IniDocument doc = IniDocument::Parse(text);
    QElapsedTimer timer;
    timer.start();
    const QStringList keys = doc.Keys(QStringLiteral("big"));
    for (const char* key : {"Priority", "AutoKill", "Tabu", "Static", "Affinity", "Shutdown time", "Shutdown daily"})
        EXPECT_FALSE(doc.Read(QStringLiteral("Big"), QLatin1String(key)));
    EXPECT_EQ(keys.size(), 200000);
    EXPECT_LT(timer.elapsed(), 2000) << "listing and seven reads of 200k keys";
}

TEST(IniDocument, LongValuesAreCutAndNulsDoNotStopTheLine) {
    QByteArray text = "[S]\nlong=" + QByteArray(5000, 'v') + "\nnul=a";
    text += '\0';
    text += "b\n";
    const IniDocument doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.Read(QStringLiteral("S"), QStringLiteral("long"))->size(), kMaxIniValueLength);
    EXPECT_EQ(doc.Read(QStringLiteral("S"), QStringLiteral("nul"))->size(), 3);
    EXPECT_EQ(doc.Serialize(), text);
}

// Every change touches its own line only; all other bytes stay.
struct EditCase {
    const char* name;
    std::function<void(IniDocument&)> edit;
    QByteArray expected;
};

class IniEditing : public testing::TestWithParam<EditCase> {};

TEST_P(IniEditing, KeepsEveryOtherByte) {
    IniDocument doc = IniDocument::Parse(kHandEdited);
    ASSERT_EQ(doc.Serialize(), kHandEdited);
    GetParam().edit(doc);
    EXPECT_EQ(doc.Serialize(), GetParam().expected);
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Serialize(), GetParam().expected);
}

namespace {
QByteArray Replaced(const char* before, const char* after) {
    QByteArray text = kHandEdited;
    const qsizetype at = text.indexOf(before);
    return text.left(at) + after + text.mid(at + static_cast<qsizetype>(std::strlen(before)));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Edits, IniEditing,
    testing::Values(
        EditCase{"ReplaceInPlace",
                 [](IniDocument& d) { d.Write(QStringLiteral("preferences"), QStringLiteral("RefreshInterval"), QStringLiteral("500")); },
                 Replaced("  RefreshInterval =  750  \r\n", "  RefreshInterval =  500\r\n")},
        EditCase{"WriteKeepsTheKeysNameAsItStands",
                 [](IniDocument& d) { d.Write(QStringLiteral("Preferences"), QStringLiteral("REFRESHINTERVAL"), QStringLiteral("x")); },
                 Replaced("  RefreshInterval =  750  \r\n", "  RefreshInterval =  x\r\n")},
        EditCase{"DeleteEveryCopyOfTheKey",
                 [](IniDocument& d) { d.Delete(QStringLiteral("Preferences"), QStringLiteral("refreshInterval")); },
                 Replaced("  RefreshInterval =  750  \r\n", "").replace("refreshinterval=999\n", "")},
        EditCase{"EraseEverySectionOfTheName",
                 [](IniDocument& d) { d.Erase(QStringLiteral("PREFERENCES")); },
                 "; Kelvane settings\norphan=before any section\n\n[ /usr/bin/app ]\rPriority=128\r"
                 "[Last]\nKey=no final newline"},
        EditCase{"ExactSectionsAreTheirOwn",
                 [](IniDocument& d) {
                     d.Erase(QStringLiteral("/usr/bin/APP"), SectionCase::Exact);
                     d.Write(QStringLiteral("/USR/bin/app"), QStringLiteral("Tabu"), QStringLiteral("1"), SectionCase::Exact);
                 },
                 kHandEdited + "\n[/USR/bin/app]\nTabu=1\n"},
        EditCase{"SameValueLeavesTheLine",
                 [](IniDocument& d) { d.Write(QStringLiteral("Preferences"), QStringLiteral("refreshinterval"), QStringLiteral("750")); },
                 kHandEdited},
        EditCase{"AppendAfterTheLastKey",
                 [](IniDocument& d) { d.Write(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("0")); },
                 Replaced("refreshinterval=999\n", "refreshinterval=999\nALU=0\n")},
        EditCase{"AppendToTheLastLineWithoutNewline",
                 [](IniDocument& d) { d.Write(QStringLiteral("Last"), QStringLiteral("Other"), QStringLiteral("2")); },
                 kHandEdited + "\nOther=2\n"},
        EditCase{"NewSectionAtTheEnd",
                 [](IniDocument& d) { d.Write(QStringLiteral("/opt/new app"), QStringLiteral("Tabu"), QStringLiteral("1")); },
                 kHandEdited + "\n[/opt/new app]\nTabu=1\n"},
        EditCase{"DeleteKey",
                 [](IniDocument& d) { d.Delete(QStringLiteral("/USR/BIN/APP"), QStringLiteral("priority")); },
                 Replaced("Priority=128\r", "")},
        EditCase{"EraseSection",
                 [](IniDocument& d) { d.Erase(QStringLiteral("/usr/bin/app")); },
                 Replaced("[ /usr/bin/app ]\rPriority=128\r", "")},
        EditCase{"MissingThingsChangeNothing",
                 [](IniDocument& d) {
                     d.Delete(QStringLiteral("Nope"), QStringLiteral("x"));
                     d.Erase(QStringLiteral("Nope"));
                 },
                 kHandEdited}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(IniDocument, Utf16KeepsItsEncodingOddBytesAndLoneSurrogates) {
    QByteArray bytes = Utf16(QStringLiteral("[A]\r\nk=v\r\n"));
    bytes += QByteArray("\x00\xD8", 2); // a lone high surrogate
    bytes += QByteArray("=\x00x\x00\r\x00\n\x00", 8);
    bytes += '\x41';                      // an odd trailing byte
    IniDocument doc = IniDocument::Parse(bytes);
    EXPECT_EQ(doc.encoding(), IniDocument::Encoding::Utf16Le);
    ASSERT_EQ(doc.Serialize(), bytes);
    doc.Write(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("w\u00e9"));
    QByteArray expected = bytes;
    expected.replace(Utf16(QStringLiteral("k=v")).mid(2), Utf16(QStringLiteral("k=w\u00e9")).mid(2));
    EXPECT_EQ(doc.Serialize(), expected);
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Read(QStringLiteral("a"), QStringLiteral("K")), QStringLiteral("w\u00e9"));
}

// Random bytes built from the characters that matter to the parser: parsing never crashes, gives
// the same bytes back, and a write then reads back.
TEST(IniDocument, Utf16BigEndianIsReadAndWrittenAsItself) {
    auto be = [](const QString& text) {
        QByteArray bytes("\xFE\xFF", 2);
        for (const QChar c : text) {
            bytes += static_cast<char>(c.unicode() >> 8);
            bytes += static_cast<char>(c.unicode() & 0xFF);
        }
        return bytes;
    };
    IniDocument doc = IniDocument::Parse(be(QStringLiteral("[Preferences]\r\nALU=1\r\n")));
    EXPECT_EQ(doc.encoding(), IniDocument::Encoding::Utf16Be);
    EXPECT_EQ(ReadOr(doc, "Preferences", "ALU"), QStringLiteral("1"));
    doc.Write(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("0"));
    doc.Write(QStringLiteral("/opt/\u00e9"), QStringLiteral("Tabu"), QStringLiteral("1"));
    EXPECT_EQ(doc.Serialize(), be(QStringLiteral("[Preferences]\r\nALU=0\r\n[/opt/\u00e9]\r\nTabu=1\r\n")));
}

TEST(IniDocument, AByteOrderMarkAtTheStartOfALineIsIgnored) {
    // Two files joined: the second one's mark stands before its first section header.
    const QByteArray utf8 = "[A]\nk=1\n\xEF\xBB\xBF[B]\nk=2\n\xEF\xBB\xBF  m=3\n";
    const QByteArray utf16 = Utf16(QStringLiteral("[A]\r\nk=1\r\n")) + Utf16(QStringLiteral("[B]\r\nk=2\r\n\uFEFF  m=3\r\n"));
    for (const QByteArray& text : {utf8, utf16}) {
        const IniDocument doc = IniDocument::Parse(text);
        EXPECT_EQ(ReadOr(doc, "B", "k"), QStringLiteral("2"));
        EXPECT_EQ(ReadOr(doc, "B", "m"), QStringLiteral("3"));
        EXPECT_EQ(ReadOr(doc, "A", "k"), QStringLiteral("1"));
        EXPECT_EQ(doc.Serialize(), text);
    }
}

TEST(IniDocument, RandomTextsSurviveParsingAndWriting) {
    std::mt19937 random(20261209);
    const char alphabet[] = "[]=;\"' \t\r\nabAB\0\xFF\xFE\xD8\xC3";
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (round % 3 == 0)
            bytes = QByteArray("\xFF\xFE", 2);
        const int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[random() % (sizeof alphabet - 1)];
        IniDocument doc = IniDocument::Parse(bytes);
        ASSERT_EQ(doc.Serialize(), bytes) << round;
        doc.Read(QStringLiteral("a"), QStringLiteral("b"));
        doc.Keys(QStringLiteral("A"));
        doc.Write(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("value"));
        const IniDocument again = IniDocument::Parse(doc.Serialize());
        ASSERT_EQ(again.Read(QStringLiteral("A"), QStringLiteral("B")), QStringLiteral("value")) << round;
        doc.Erase(QStringLiteral("a"));
        ASSERT_FALSE(IniDocument::Parse(doc.Serialize()).HasSection(QStringLiteral("a")) &&
                     IniDocument::Parse(doc.Serialize()).Read(QStringLiteral("a"), QStringLiteral("b")) ==
                         QStringLiteral("value"))
            << round;
    }
}

TEST(IniDocument, TenMegabytesParse) {
    QByteArray big;
    big.reserve(10 * 1024 * 1024 + 100);
    for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
        big += "[Section " + QByteArray::number(i) + "]\nKey=" + QByteArray(40, 'x') + "\n";
    IniDocument doc = IniDocument::Parse(big);
    EXPECT_EQ(doc.Read(QStringLiteral("Section 7"), QStringLiteral("key"))->size(), 40);
    doc.Write(QStringLiteral("Section 7"), QStringLiteral("key"), QStringLiteral("y"));
    EXPECT_EQ(doc.Serialize().size(), big.size() - 39);
}

// Profile sections are paths, which need not be valid UTF-8: in every encoding each stays a name of
// its own and is written back byte for byte.
class IniPathNames : public testing::TestWithParam<IniDocument::Encoding> {
protected:
    // The file bytes of a text given as its UTF-8 form, in the parameter's encoding.
    QByteArray InEncoding(const QByteArray& utf8) const {
        if (GetParam() == IniDocument::Encoding::Utf8)
            return utf8;
        const QString text = DecodeFileName(utf8);
        const bool big = GetParam() == IniDocument::Encoding::Utf16Be;
        QByteArray bytes = big ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        for (const QChar c : text) {
            const char high = static_cast<char>(c.unicode() >> 8);
            const char low = static_cast<char>(c.unicode() & 0xFF);
            bytes += big ? high : low;
            bytes += big ? low : high;
        }
        return bytes;
    }
};

TEST_P(IniPathNames, UndecodableBytesKeepEveryNameItsOwn) {
    const QByteArray paths[] = {"/opt/p\xFF", "/opt/p\xFE", "/opt/p\xEF\xBF\xBD" /* a valid U+FFFD */,
                                "/opt/p\xED\xB2\x80" /* U+DC80 written as UTF-8 */, "/opt/p\x80",
                                "/opt/caf\xC3\xA9", "/opt/caf\xE9" /* Latin-1 */};
    IniDocument doc(GetParam());
    QByteArray expected;
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        doc.Write(DecodeFileName(paths[i]), QStringLiteral("AutoKill"), QString::number(i), SectionCase::Exact);
        expected += "[" + paths[i] + "]\nAutoKill=" + QByteArray::number(i) + "\n";
    }
    ASSERT_EQ(doc.Serialize(), InEncoding(expected));

    IniDocument read = IniDocument::Parse(InEncoding(expected));
    EXPECT_EQ(read.encoding(), GetParam());
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        EXPECT_EQ(read.Read(DecodeFileName(paths[i]), QStringLiteral("AutoKill"), SectionCase::Exact),
                  QString::number(i))
            << paths[i].toHex().constData();
        EXPECT_EQ(read.Keys(DecodeFileName(paths[i]), SectionCase::Exact).size(), 1);
    }
    // A change elsewhere leaves the names' bytes as they are; erasing one reaches only that one.
    read.Write(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1"));
    read.Erase(DecodeFileName(paths[0]), SectionCase::Exact);
    EXPECT_EQ(read.Serialize(), InEncoding(expected.mid(expected.indexOf("[/opt/p\xFE]")) + "[Preferences]\nALU=1\n"));
    EXPECT_FALSE(IniDocument::Parse(read.Serialize()).HasSection(DecodeFileName(paths[0]), SectionCase::Exact));
    EXPECT_TRUE(IniDocument::Parse(read.Serialize()).HasSection(DecodeFileName(paths[1]), SectionCase::Exact));
}

TEST_P(IniPathNames, HandEditedBytesSurviveRewritingTheirValue) {
    const QByteArray text = "[S]\r\nName = caf\xE9 \xFF\r\n; \xC3\r\nOther=1\r\n";
    IniDocument doc = IniDocument::Parse(InEncoding(text));
    const std::optional<QString> name = doc.Read(QStringLiteral("S"), QStringLiteral("Name"));
    ASSERT_TRUE(name);
    EXPECT_EQ(EncodeFileName(*name), QByteArray("caf\xE9 \xFF"));
    doc.Write(QStringLiteral("S"), QStringLiteral("Name"), *name + u'!');
    EXPECT_EQ(doc.Serialize(), InEncoding("[S]\r\nName = caf\xE9 \xFF!\r\n; \xC3\r\nOther=1\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Encodings, IniPathNames,
                         testing::Values(IniDocument::Encoding::Utf8, IniDocument::Encoding::Utf16Le,
                                         IniDocument::Encoding::Utf16Be),
                         [](const auto& param) {
                             switch (param.param) {
                             case IniDocument::Encoding::Utf8:
                                 return std::string("Utf8");
                             case IniDocument::Encoding::Utf16Le:
                                 return std::string("Utf16Le");
                             case IniDocument::Encoding::Utf16Be:
                                 return std::string("Utf16Be");
                             }
                             return std::string();
                         });

// ---- The file -----------------------------------------------------------------------------------

class IniFileTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("kelvane.ini"));
};

TEST_F(IniFileTest, MissingFileIsCreatedAsUtf16AndReadsAsEmpty) {
    IniFile file(path);
    EXPECT_FALSE(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("ALU")));
    EXPECT_TRUE(file.DeleteKey(QStringLiteral("S"), QStringLiteral("k")));
    EXPECT_FALSE(QFile::exists(path)) << "a change that changes nothing creates no file";
    ASSERT_TRUE(file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1")));
    EXPECT_EQ(ReadBytes(path), Utf16(QStringLiteral("[Preferences]\nALU=1\n")));
}

TEST_F(IniFileTest, HandEditsBetweenOperationsAreSeenAndKept) {
    IniFile file(path);
    WriteBytes(path, kHandEdited);
    ASSERT_TRUE(file.WriteString(QStringLiteral("Last"), QStringLiteral("Key"), QStringLiteral("1")));
    QByteArray edited = ReadBytes(path);
    edited.replace("Priority=128", "Priority=64");
    WriteBytes(path, edited);
    EXPECT_EQ(file.ReadString(QStringLiteral("/usr/bin/app"), QStringLiteral("Priority")), QStringLiteral("64"));
    ASSERT_TRUE(file.WriteString(QStringLiteral("Preferences"), QStringLiteral("single"), QStringLiteral("y")));
    EXPECT_EQ(file.ReadString(QStringLiteral("/usr/bin/app"), QStringLiteral("Priority")), QStringLiteral("64"));
    EXPECT_EQ(ReadBytes(path).left(18), QByteArray("; Kelvane settings"));
}

TEST_F(IniFileTest, RefusesTextThatWouldMakeLinesOfItsOwn) {
    IniFile file(path);
    WriteBytes(path, kHandEdited);
    const QString nul(QChar(u'\0'));
    const std::vector<std::array<QString, 3>> refused = {
        {QStringLiteral("S\n[Preferences]"), QStringLiteral("k"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("k\r"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v\nALU=1")},
        {QStringLiteral("S"), QStringLiteral("k") + nul, QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral("a=b"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral(";k"), QStringLiteral("v")},
        {QStringLiteral("S"), QStringLiteral(" "), QStringLiteral("v")}};
    for (const auto& [section, key, value] : refused) {
        const IniResult result = file.WriteString(section, key, value);
        EXPECT_FALSE(result.ok) << key.toStdString();
        EXPECT_EQ(result.error, QStringLiteral("Unable to write to ") + path);
    }
    IniBatch batch;
    batch.Write(QStringLiteral("S"), QStringLiteral("fine"), QStringLiteral("1"));
    batch.Write(QStringLiteral("S"), QStringLiteral("bad"), QStringLiteral("1\n2"));
    EXPECT_FALSE(file.Apply(batch));
    EXPECT_EQ(ReadBytes(path), kHandEdited) << "a refused batch writes nothing";
}

TEST_F(IniFileTest, ReadOnlyFileIsNotReplaced) {
    WriteBytes(path, kHandEdited);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    IniFile file(path);
    const IniResult result = file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, QStringLiteral("Unable to write to ") + path);
    EXPECT_EQ(ReadBytes(path), kHandEdited);
}

TEST_F(IniFileTest, KeepsModeAndFollowsSymlinks) {
    const QString target = dir.filePath(QStringLiteral("real.ini"));
    WriteBytes(target, kHandEdited);
    ::chmod(QFile::encodeName(target).constData(), 0640);
    ASSERT_TRUE(QFile::link(QStringLiteral("real.ini"), path));
    IniFile file(path);
    ASSERT_TRUE(file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1")));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(IniFile(target).ReadString(QStringLiteral("Preferences"), QStringLiteral("ALU")), QStringLiteral("1"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
        << "no temporary file is left behind";
}

// A writer killed at any moment leaves the old or the new file, never a torn one.
TEST_F(IniFileTest, KilledWritersNeverLeaveATornFile) {
    constexpr int kKeys = 200;
    auto batchOf = [](int round) {
        IniBatch batch;
        for (int k = 0; k < kKeys; ++k)
            batch.Write(QStringLiteral("/usr/bin/p%1").arg(k % 40), QStringLiteral("Key%1").arg(k),
                        QString::number(round));
        return batch;
    };
    IniFile file(path);
    ASSERT_TRUE(file.Apply(batchOf(0)));
    std::mt19937 random(7);
    for (int kill = 0; kill < 25; ++kill) {
        const pid_t writer = ::fork();
        if (writer == 0) {
            IniFile own(path);
            for (int round = 1;; ++round)
                own.Apply(batchOf(round));
        }
        ::usleep(static_cast<useconds_t>(1000 + random() % 20000));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const IniDocument doc = file.Load();
        const std::optional<QString> first = doc.Read(QStringLiteral("/usr/bin/p0"), QStringLiteral("Key0"));
        ASSERT_TRUE(first) << "kill " << kill;
        for (int k = 0; k < kKeys; ++k)
            ASSERT_EQ(doc.Read(QStringLiteral("/usr/bin/p%1").arg(k % 40), QStringLiteral("Key%1").arg(k)), first)
                << "kill " << kill << " key " << k;
    }
    ASSERT_TRUE(file.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the next writer clears what killed writers left";
}

// ---- kelvanectl ini -----------------------------------------------------------------------------

namespace {
struct Ctl {
    int status = 0;
    QString out, err;
};
Ctl RunIni(const QStringList& args) {
    Ctl result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = CommandIni(args, out, err);
    out.flush();
    err.flush();
    return result;
}
} // namespace

TEST_F(IniFileTest, KelvanectlIniCommands) {
    auto run = [this](std::initializer_list<const char*> words) {
        QStringList args;
        for (const char* word : words)
            args.append(QString::fromUtf8(word));
        args.insert(1, path);
        return RunIni(args);
    };
    EXPECT_EQ(run({"get", "S", "k"}).status, 1);
    EXPECT_EQ(run({"get", "S", "k", "dflt"}).out, QStringLiteral("dflt\n"));
    EXPECT_EQ(run({"set", "/usr/bin/a b", "Priority", "128"}).status, 0);
    EXPECT_TRUE(ReadBytes(path).startsWith("\xFF\xFE")) << "created as UTF-16LE";
    EXPECT_EQ(run({"set", "/usr/bin/a b", "Tabu", "1"}).status, 0);
    EXPECT_EQ(run({"get", "/USR/BIN/A B", "priority"}).out, QStringLiteral("128\n"));
    EXPECT_EQ(run({"keys", "/usr/bin/a b"}).out, QStringLiteral("Priority\nTabu\n"));
    EXPECT_EQ(run({"delete", "/usr/bin/a b", "Tabu"}).status, 0);
    EXPECT_EQ(run({"keys", "/usr/bin/a b"}).out, QStringLiteral("Priority\n"));
    EXPECT_EQ(run({"erase", "/usr/bin/a b"}).status, 0);
    EXPECT_EQ(run({"keys", "/usr/bin/a b"}).out, QString());
    const Ctl refused = run({"set", "S", "k", "a\nb"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral("Unable to write to ") + path));
    EXPECT_EQ(run({"frobnicate", "S"}).status, 2);
}

namespace {

// Runs `body` in a forked child and returns its exit status, or -1 when it has not ended within
// `timeoutMs` (it is killed then): an operation that blocks fails the test instead of hanging it.
int InChildWithin(int timeoutMs, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace

TEST_F(IniFileTest, FilesThatAreNoSettingsFilesAreRefusedWithoutBlocking) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"fifo", [](const QString& p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); }, "is not a regular file"},
        {"device", [](const QString& p) { QFile::link(QStringLiteral("/dev/zero"), p); }, "is not a regular file"},
        {"loop",
         [this](const QString& p) {
             QFile::link(dir.filePath(QStringLiteral("loop-b")), p);
             QFile::link(p, dir.filePath(QStringLiteral("loop-b")));
         },
         "Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString bad = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".ini"));
        c.make(bad);
        const int status = InChildWithin(3000, [&] {
            IniFile file(bad);
            QString reason;
            const bool readRefused = file.Load(&reason).Keys(QStringLiteral("Preferences")).isEmpty() &&
                                     reason.contains(QLatin1String(c.reason));
            const IniResult written = file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1"));
            const bool writeRefused = !written && written.reason.contains(QLatin1String(c.reason));
            // The folder's lock is free again: another file there can be written.
            const bool other = IniFile(path).WriteString(QStringLiteral("P"), QStringLiteral("k"), QStringLiteral("v")).ok;
            return readRefused && writeRefused && other ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << "-1: blocked";
        EXPECT_FALSE(QFileInfo(bad).isFile() && !QFileInfo(bad).isSymLink()) << "replaced by a regular file";
    }
}

TEST_F(IniFileTest, ALinkOfAnotherUserIsNeverFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's link needs root";
    const QString secret = dir.filePath(QStringLiteral("root-only"));
    WriteBytes(secret, "[Secret]\nkey=1\n");
    ASSERT_TRUE(QFile::link(secret, path));
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    IniFile file(path);
    QString reason;
    EXPECT_FALSE(file.Load(&reason).HasSection(QStringLiteral("Secret")));
    EXPECT_TRUE(reason.contains(QLatin1String("symbolic link of another user"))) << reason.toStdString();
    EXPECT_FALSE(file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1")));
    EXPECT_EQ(ReadBytes(secret), QByteArray("[Secret]\nkey=1\n"));
    // Root's own link is followed, as the user's own is.
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), 0, 0), 0);
    EXPECT_TRUE(file.WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1")));
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(IniFile(secret).ReadString(QStringLiteral("Preferences"), QStringLiteral("ALU")), QStringLiteral("1"));
}
