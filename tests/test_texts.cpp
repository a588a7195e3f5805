// Values in the settings file, size and date texts, file helpers, version texts.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <ctime>

#include "settings/SettingsLocation.h"
#include "settings/ValueCodec.h"
#include "util/DateTimeText.h"
#include "util/DpkgDatabase.h"
#include "util/FileUtil.h"
#include "util/FileVersion.h"
#include "util/SizeText.h"

using namespace kelvane;

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> value;
};

class IniIntegers : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegers, ParseLikeTheSettingsFileWantsThem) {
    EXPECT_EQ(ParseIniInteger(QString::fromUtf8(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniIntegers,
    testing::Values(IntegerCase{"0x3E8", 1000}, IntegerCase{"0X3e8", 1000}, IntegerCase{"$10", 16},
                    IntegerCase{"  12", 12}, IntegerCase{"\t-5", -5}, IntegerCase{"+7", 7}, IntegerCase{"-$10", -16},
                    IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                    IntegerCase{"2147483648", std::nullopt}, IntegerCase{"$FFFFFFFF", -1},
                    IntegerCase{"$100000000", std::nullopt}, IntegerCase{"-2147483649", std::nullopt},
                    IntegerCase{"12a", std::nullopt}, IntegerCase{"12 ", std::nullopt}, IntegerCase{"", std::nullopt},
                    IntegerCase{"0x", std::nullopt}, IntegerCase{"$", std::nullopt}, IntegerCase{"-", std::nullopt},
                    IntegerCase{"yes", std::nullopt}, IntegerCase{"\u0663", std::nullopt}, // Arabic-Indic 3
                    IntegerCase{"1e3", std::nullopt}));

TEST(IniValues, BooleansAndDefaults) {
    EXPECT_FALSE(ReadIniBool(QStringLiteral("yes"), false));
    EXPECT_TRUE(ReadIniBool(QStringLiteral("yes"), true));
    EXPECT_TRUE(ReadIniBool(QStringLiteral("2"), false));
    EXPECT_TRUE(ReadIniBool(QStringLiteral("-1"), false));
    EXPECT_FALSE(ReadIniBool(QStringLiteral("0"), true));
    EXPECT_TRUE(ReadIniBool(std::nullopt, true));
    EXPECT_EQ(ReadIniInteger(QStringLiteral("5"), 250), 5);
    EXPECT_EQ(ReadIniInteger(std::nullopt, 250), 250);
    EXPECT_EQ(IniBoolText(true), QStringLiteral("1"));
    EXPECT_EQ(IniIntegerText(32768), QStringLiteral("32768"));
    // An affinity mask with bit 31 is stored as a negative number and read back sign-extended.
    EXPECT_EQ(IniIntegerText(static_cast<std::int32_t>(0x80000001U)), QStringLiteral("-2147483647"));
    EXPECT_EQ(static_cast<std::uint64_t>(static_cast<std::int64_t>(*ParseIniInteger(QStringLiteral("-2147483647")))),
              0xFFFFFFFF80000001ULL);
}

// ---- Date-times ---------------------------------------------------------------------------------

struct LocaleCase {
    const char* locale;
    const char* dayZero;
    const char* may2025;
};

class DateTimes : public testing::TestWithParam<LocaleCase> {};

TEST_P(DateTimes, RoundTripWithFourDigitYearsAndNoTimeZone) {
    const QLocale locale(QString::fromLatin1(GetParam().locale));
    EXPECT_EQ(IniDateTimeText(0, locale), QString::fromUtf8(GetParam().dayZero));
    EXPECT_EQ(ReadIniDateTime(IniDateTimeText(0, locale), -1, locale), 0.0);

    const double may = DaysOf(QDate(2025, 5, 17), QTime(14, 30, 0));
    EXPECT_EQ(IniDateTimeText(may, locale), QString::fromUtf8(GetParam().may2025));
    EXPECT_NEAR(ReadIniDateTime(IniDateTimeText(may, locale), -1, locale), may, 1e-8);

    const double midnight = DaysOf(QDate(2025, 1, 2));
    EXPECT_FALSE(IniDateTimeText(midnight, locale).contains(u':'));
    EXPECT_EQ(ReadIniDateTime(IniDateTimeText(midnight, locale), -1, locale), midnight);

    // A daily time: only its time of day counts, seconds included.
    const double daily = DaysOf(QDate(2024, 2, 29), QTime(23, 59, 30));
    EXPECT_NEAR(ReadIniDateTime(IniDateTimeText(daily, locale), -1, locale), daily, 1e-8);
    EXPECT_EQ(TimeOfDays(daily), QTime(23, 59, 30));

    for (const char* bad : {"", "tomorrow", "31/31/2025", "12:00:00"})
        EXPECT_EQ(ReadIniDateTime(QString::fromLatin1(bad), 42, locale), 42) << bad;
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTimes,
                         testing::Values(LocaleCase{"en_US", "12/30/1899", "5/17/2025 2:30:00 PM"},
                                         LocaleCase{"de_DE", "30.12.1899", "17.05.2025 14:30:00"},
                                         LocaleCase{"en_GB", "30/12/1899", "17/05/2025 14:30:00"},
                                         LocaleCase{"C", "30 Dec 1899", "17 May 2025 14:30:00"}));

// Local times that a daylight-saving change skips or repeats are plain texts here.
TEST(DateTimes, DaylightSavingChangesDoNotShiftValues) {
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    const QLocale locale(QStringLiteral("de_DE"));
    for (const QDate day : {QDate(2025, 3, 30), QDate(2025, 10, 26)}) {
        const double value = DaysOf(day, QTime(2, 30, 0));
        const QString text = IniDateTimeText(value, locale);
        EXPECT_EQ(text, locale.toString(day, QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" 02:30:00"));
        EXPECT_NEAR(ReadIniDateTime(text, -1, locale), value, 1e-8) << text.toStdString();
    }
    if (saved.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    ::tzset();
}

TEST(DateTimes, WrittenUnderOneLocaleUnreadableUnderAnotherGivesTheDefault) {
    const double may = DaysOf(QDate(2025, 5, 17), QTime(14, 30, 0));
    EXPECT_EQ(ReadIniDateTime(IniDateTimeText(may, QLocale(QStringLiteral("en_US"))), 0, QLocale(QStringLiteral("de_DE"))),
              0.0);
}

// ---- Sizes --------------------------------------------------------------------------------------

TEST(SizeTexts, Table) {
    const QLocale en(QStringLiteral("en_US"));
    const std::vector<std::pair<std::int64_t, const char*>> sizes = {
        {1023, "1023 Byte"},         {1024, "1.00 KB"},      {-5, "-5 Byte"},      {0, "0 Byte"},
        {1536, "1.50 KB"},           {1000000, "976.60 KB"}, {1048575, "1024.00 KB"}, {1048576, "1.00 MB"},
        {1073741824, "1.00 GB"},     {1099511627776LL, "1.00 TB"}, {INT64_MAX, "8.00 EB"}};
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(FormatSize(bytes, en), QString::fromLatin1(text)) << bytes;
    EXPECT_EQ(FormatSizeFloat(1023.5, en), QStringLiteral("1024 Byte"));
    EXPECT_EQ(FormatSizeFloat(1022.5, en), QStringLiteral("1022 Byte"));
    EXPECT_EQ(FormatSizeFloat(std::ldexp(1.0, 80), en), QStringLiteral("1.00 YB"));
    EXPECT_EQ(FormatSizeFloat(std::ldexp(1.0, 90), en), QStringLiteral("1024.00 YB"));
    EXPECT_EQ(FormatSize(1536, QLocale(QStringLiteral("de_DE"))), QStringLiteral("1,50 KB"));
    EXPECT_EQ(FormatFixed4(12.34567, 2, en), QStringLiteral("12.35"));
    EXPECT_EQ(FormatFixed4(99.996, 2, en), QStringLiteral("100.00"));
}

// ---- Files --------------------------------------------------------------------------------------

TEST(FileUtil, CreateUnicodeFileAndSizes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kelvane.ini"));
    EXPECT_EQ(GetFileSize64(path), -1);
    EXPECT_TRUE(IsFirstRun(path));
    ASSERT_TRUE(CreateUnicodeFile(path));
    EXPECT_EQ(GetFileSize64(path), 2);
    EXPECT_TRUE(IsFirstRun(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("x");
    file.close();
    EXPECT_FALSE(CreateUnicodeFile(path));
    EXPECT_EQ(GetFileSize64(path), 3);
    EXPECT_FALSE(IsFirstRun(path));
    EXPECT_EQ(GetFileSize64(dir.path()), -1);
}

TEST(SettingsLocation, PortableFileBesideTheExecutableWinsElseXdg) {
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("kelvane"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    const QString xdg = dir.filePath(QStringLiteral("config/kelvane/kelvane.ini"));
    EXPECT_EQ(SettingsFilePath(exe), xdg);
    ASSERT_TRUE(EnsureSettingsFile(xdg));
    EXPECT_EQ(GetFileSize64(xdg), 2);
    ASSERT_TRUE(CreateUnicodeFile(dir.filePath(QStringLiteral("kelvane.ini"))));
    EXPECT_EQ(SettingsFilePath(exe), dir.filePath(QStringLiteral("kelvane.ini")));
    EXPECT_EQ(BesideSettingsFile(xdg, QStringLiteral("kelvane_crash.log")),
              dir.filePath(QStringLiteral("config/kelvane/kelvane_crash.log")));
    qputenv("XDG_CONFIG_HOME", saved);
}

// ---- Version texts ------------------------------------------------------------------------------

#ifdef KELVANE_PE_DIR
TEST(FileVersion, PeFilesAnswerFromTheUsEnglish1252BlockOnly) {
    const QString dir = QStringLiteral(KELVANE_PE_DIR);
    const QString both = dir + QStringLiteral("/two_blocks.exe");
    EXPECT_EQ(GetFileVersionText(both), QStringLiteral("1.2.3.4"));
    EXPECT_EQ(GetFileDescription(both), QStringLiteral("Example tool"));
    EXPECT_EQ(GetCompanyName(both), QStringLiteral("Example Corp"));
    EXPECT_EQ(GetFileVersionTextOrBlank(both, true), QStringLiteral("1.2.3.4"));

    for (const char* name : {"/unicode_block.exe", "/no_version.exe"}) {
        const QString file = dir + QString::fromLatin1(name);
        EXPECT_EQ(GetFileVersionText(file), QStringLiteral("Unknown version")) << name;
        EXPECT_EQ(GetFileVersionTextOrBlank(file, true), QString()) << name;
        EXPECT_EQ(GetFileVersionTextOrBlank(file, false), QStringLiteral("unknown version")) << name;
        EXPECT_EQ(GetFileDescription(file), QString()) << name;
        EXPECT_EQ(GetCompanyName(file), QString()) << name;
    }
    EXPECT_EQ(GetCompanyName(dir + QStringLiteral("/blank_company.exe")), QString());
    EXPECT_EQ(GetFileDescription(dir + QStringLiteral("/blank_company.exe")), QString());
    EXPECT_EQ(GetFileVersionText(dir + QStringLiteral("/blank_company.exe")), QStringLiteral("5"));
}
#else
TEST(FileVersion, PeFilesAnswerFromTheUsEnglish1252BlockOnly) {
    GTEST_SKIP() << "no PE test files: install binutils-mingw-w64-x86-64 (windres) and reconfigure";
}
#endif

TEST(FileVersion, DebianPackagesAndOwnBuild) {
    QProcess query;
    query.start(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), QStringLiteral("bash")});
    if (!query.waitForFinished() || query.exitCode() != 0)
        GTEST_SKIP() << "no dpkg database on this machine";
    const QString version = QString::fromUtf8(query.readAllStandardOutput());
    EXPECT_EQ(GetFileVersionText(QStringLiteral("/bin/bash")), version);
    EXPECT_EQ(GetFileVersionText(QStringLiteral("/usr/bin/bash")), version);
    EXPECT_EQ(GetFileDescription(QStringLiteral("/usr/bin/bash")), QStringLiteral("GNU Bourne Again SHell"));
    EXPECT_FALSE(GetCompanyName(QStringLiteral("/bin/bash")).contains(u'<'));
    EXPECT_FALSE(GetCompanyName(QStringLiteral("/bin/bash")).isEmpty());
    EXPECT_EQ(GetFileVersionText(QStringLiteral("/no/such/file")), QStringLiteral("Unknown version"));
    EXPECT_EQ(GetFileVersionText(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()), BuildVersion());
}

TEST(DpkgDatabase, ReadsInstalledPackagesFromAnAdminFolder) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("info"));
    QFile status(dir.filePath(QStringLiteral("status")));
    ASSERT_TRUE(status.open(QIODevice::WriteOnly));
    status.write("Package: tool\nStatus: install ok installed\nArchitecture: amd64\nVersion: 1.0-2\n"
                 "Maintainer: Jane Roe <jane@example.org>\nDescription: a useful tool\n long text\n .\n more\n\n"
                 "Package: gone\nStatus: deinstall ok config-files\nVersion: 3\nDescription: removed\n");
    status.close();
    for (const auto& [name, content] : {std::pair{"tool:amd64.list", "/usr\n/usr/bin\n/usr/bin/tool\n/sbin/toold\n"},
                                        std::pair{"gone.list", "/usr/bin/gone\n"}}) {
        QFile list(dir.filePath(QStringLiteral("info/") + QString::fromLatin1(name)));
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(content);
    }
    DpkgDatabase db(dir.path());
    const std::optional<PackageInfo> tool = db.OwnerOf(QStringLiteral("/usr/bin/tool"));
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->version, QStringLiteral("1.0-2"));
    EXPECT_EQ(tool->description, QStringLiteral("a useful tool"));
    EXPECT_EQ(tool->maintainer, QStringLiteral("Jane Roe"));
    EXPECT_TRUE(db.OwnerOf(QStringLiteral("/usr/sbin/toold"))) << "merged /usr alias";
    EXPECT_FALSE(db.OwnerOf(QStringLiteral("/usr/bin/gone"))) << "not installed";
    EXPECT_FALSE(db.OwnerOf(QStringLiteral("/usr/bin/other")));
}
