#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <set>
#include <unistd.h>

#include "util/ElapsedText.h"
#include "util/FileName.h"

using namespace kelvane;

struct ElapsedCase {
    std::int64_t start, end, frequency;
    std::int64_t ms;
    const char* text;
};

class ElapsedTextTest : public testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedTextTest, RoundsHalvesToEven) {
    const ElapsedCase& c = GetParam();
    EXPECT_EQ(ElapsedMilliseconds(c.start, c.end, c.frequency), c.ms);
    EXPECT_EQ(ElapsedMsText(c.start, c.end, c.frequency), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ElapsedTextTest,
    testing::Values(ElapsedCase{0, 0, 1000000000, 0, "0 ms"},
                    ElapsedCase{0, 12000000, 1000000000, 12, "12 ms"},
                    ElapsedCase{0, 500000, 1000000000, 0, "0 ms"},    // 0.5 -> 0
                    ElapsedCase{0, 1500000, 1000000000, 2, "2 ms"},   // 1.5 -> 2
                    ElapsedCase{0, 2500000, 1000000000, 2, "2 ms"},   // 2.5 -> 2
                    ElapsedCase{0, 2500001, 1000000000, 3, "3 ms"},
                    ElapsedCase{100, 35100, 10000000, 4, "4 ms"},     // 3.5 -> 4 at a 10 MHz counter
                    ElapsedCase{0, 1000, 0, 0, "0 ms"},               // no frequency
                    ElapsedCase{5000000, 0, 1000000000, -5, "-5 ms"}));

// ---- File names as text ---------------------------------------------------------------------------

struct NameCase {
    const char* name;
    QByteArray bytes;
    QString text;
};

class FileNameCodec : public testing::TestWithParam<NameCase> {};

TEST_P(FileNameCodec, DecodesAndEncodesBackByteForByte) {
    const NameCase& c = GetParam();
    EXPECT_EQ(FromUtf8Escaped(c.bytes), c.text);
    EXPECT_EQ(ToUtf8Escaped(c.text), c.bytes);
    EXPECT_EQ(EncodeFileName(DecodeFileName(c.bytes)), c.bytes);
}

QString Units(std::initializer_list<char16_t> units) {
    QString text;
    for (const char16_t u : units)
        text += QChar(u);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, FileNameCodec,
    testing::Values(
        NameCase{"empty", QByteArray(), QString()},
        NameCase{"ascii", "/usr/bin/app", QStringLiteral("/usr/bin/app")},
        NameCase{"valid", "/opt/caf\xC3\xA9/\xE2\x82\xAC", QStringLiteral("/opt/caf\u00E9/\u20AC")},
        NameCase{"ff", "p\xFF", QStringLiteral("p") + Units({0xDCFF})},
        NameCase{"fe", "p\xFE", QStringLiteral("p") + Units({0xDCFE})},
        NameCase{"lowestEscape", "\x80", Units({0xDC80})},
        NameCase{"literalReplacementChar", "p\xEF\xBF\xBD", QStringLiteral("p\uFFFD")},
        NameCase{"cutAtTheEnd", "a\xE2\x82", QStringLiteral("a") + Units({0xDCE2, 0xDC82})},
        NameCase{"cutBeforeAscii", "\xC3(", Units({0xDCC3, u'('})},
        NameCase{"overlongNul", "\xC0\x80", Units({0xDCC0, 0xDC80})},
        NameCase{"overlongSlash", "\xE0\x80\xAF", Units({0xDCE0, 0xDC80, 0xDCAF})},
        // Surrogates written as UTF-8 are no text: their bytes are escaped, so they never meet the
        // escapes of other bytes.
        NameCase{"encodedHighSurrogate", "\xED\xA0\x80", Units({0xDCED, 0xDCA0, 0xDC80})},
        NameCase{"encodedEscape", "\xED\xB2\x80", Units({0xDCED, 0xDCB2, 0xDC80})},
        NameCase{"aboveUnicode", "\xF4\x90\x80\x80", Units({0xDCF4, 0xDC90, 0xDC80, 0xDC80})},
        NameCase{"leadF5", "\xF5\x80", Units({0xDCF5, 0xDC80})},
        NameCase{"pairThenEscape", "\xF0\x9F\x98\x80\xFF", QStringLiteral("\U0001F600") + Units({0xDCFF})},
        NameCase{"mixed", "\xE2\x82\xAC\xFF\xC3\xA9", QStringLiteral("\u20AC") + Units({0xDCFF}) + QStringLiteral("\u00E9")},
        NameCase{"markAndNul", QByteArray("\xEF\xBB\xBF[x]\0\xFF", 8), QStringLiteral("\uFEFF[x]") + Units({0, 0xDCFF})}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(FileNameCodec, EveryShortByteStringHasATextOfItsOwn) {
    // All strings of one and two bytes, and random ones from the bytes that matter to UTF-8.
    std::set<QString> texts;
    auto check = [&texts](const QByteArray& bytes) {
        const QString text = FromUtf8Escaped(bytes);
        ASSERT_EQ(ToUtf8Escaped(text), bytes) << bytes.toHex().constData();
        ASSERT_TRUE(texts.insert(text).second) << bytes.toHex().constData() << " collides";
    };
    for (int a = 0; a < 256; ++a) {
        check(QByteArray(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b)
            check(QByteArray(1, static_cast<char>(a)) + static_cast<char>(b));
    }
    std::mt19937 random(20261209);
    const unsigned char alphabet[] = {'a', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0,
                                      0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFE, 0xFF};
    std::set<QByteArray> seen;
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int length = 3 + static_cast<int>(random() % 4);
        for (int i = 0; i < length; ++i)
            bytes += static_cast<char>(alphabet[random() % sizeof alphabet]);
        if (seen.insert(bytes).second)
            check(bytes);
    }
}

TEST(FileNameCodec, ValidUtf8BesideABadByteReadsAsFromUtf8ReadsIt) {
    // A bad byte makes the whole text take the escaping path: the valid part must read as before.
    std::mt19937 random(16);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = 0; i < 8; ++i) {
            char32_t code = 0;
            do
                code = static_cast<char32_t>(random() % 0x110000);
            while (code >= 0xD800 && code <= 0xDFFF);
            text += QString::fromUcs4(&code, 1);
        }
        EXPECT_EQ(FromUtf8Escaped(text.toUtf8()), text);
        EXPECT_EQ(FromUtf8Escaped(text.toUtf8() + "\xFF" + text.toUtf8()), text + Units({0xDCFF}) + text);
    }
}

TEST(FileNameCodec, TextsOfOtherOriginEncodeAsToUtf8Does) {
    struct Case {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QStringLiteral("\U0001F480"), "\xF0\x9F\x92\x80"}, // a pair whose low half lies in the escape range
        {Units({0xD800}), "?"},                              // UTF-8 holds no lone surrogate
        {Units({0xDC7F}), "?"},                              // just below the escapes
        {Units({0xDD00, 0xDCFF}), "?\xFF"},
        {Units({0xD83D, 0xDCFF, 0xDCFF}), "\xF0\x9F\x93\xBF\xFF"}, // the first low surrogate is the pair's
        {QStringLiteral("plain \u00E9"), "plain \xC3\xA9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToUtf8Escaped(c.text), c.bytes) << c.bytes.toHex().constData();
}

TEST(FileNameCodec, UrlsNameTheExactBytes) {
    EXPECT_EQ(LocalFileUrl(DecodeFileName("/tmp/d\xFF/")).toEncoded(), QByteArray("file:///tmp/d%FF/"));
    EXPECT_EQ(LocalFileUrl(DecodeFileName("/tmp/d\xFE/")).toEncoded(), QByteArray("file:///tmp/d%FE/"));
    for (const QString& path : {QStringLiteral("/usr/bin/"), QStringLiteral("/opt/a b/caf\u00E9/"),
                                QStringLiteral("/opt/x%y#z?/")}) {
        EXPECT_EQ(LocalFileUrl(path), QUrl::fromLocalFile(path)) << path.toStdString();
        EXPECT_TRUE(LocalFileUrl(path).isLocalFile());
    }
}

TEST(FileNameCodec, FilesAreFoundAndOpenedByTheirExactBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path());
    for (const char* name : {"p\xFF", "p\xFE", "p\xEF\xBF\xBD"}) { // the last one is valid UTF-8
        const int fd = ::open((folder + "/" + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, name, std::strlen(name)), static_cast<ssize_t>(std::strlen(name)));
        ::close(fd);
    }
    for (const char* name : {"p\xFF", "p\xFE", "p\xEF\xBF\xBD"}) {
        const QString path = DecodeFileName(folder + "/" + name);
        EXPECT_TRUE(FileNameExists(path));
        QFile file;
        ASSERT_TRUE(OpenForReading(file, path));
        EXPECT_EQ(file.readAll(), QByteArray(name)) << "another file was opened";
        EXPECT_EQ(CanonicalFileName(path), QFile::encodeName(QDir(dir.path()).canonicalPath()) + "/" + name);
    }
    EXPECT_FALSE(FileNameExists(DecodeFileName(folder + "/p\xFD")));
    QFile missing;
    EXPECT_FALSE(OpenForReading(missing, DecodeFileName(folder + "/p\xFD")));
    EXPECT_TRUE(CanonicalFileName(DecodeFileName(folder + "/p\xFD")).isEmpty());
}
