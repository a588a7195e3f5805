// Where the settings file lives when the home is odd: a name that is not UTF-8, no $HOME at all.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"
#include "util/FileName.h"
#include "util/FileUtil.h"
#include "util/XdgDirs.h"

using namespace kelvane;

namespace {

// Sets (or, with nullopt, unsets) an environment variable for the scope's duration.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name), old_(qgetenv(name)) {
        had_ = qEnvironmentVariableIsSet(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_ = false;
};

QByteArray AccountHome() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? QByteArray(entry->pw_dir) : QByteArray();
}

// The entries of a folder as bytes.
QList<QByteArray> Entries(const QByteArray& folder) {
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.append(QByteArray(entry->d_name));
        ::closedir(dir);
    }
    return names;
}

bool IsFile(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

TEST(SettingsLocation, TheHomeAndTheConfigFolderAreTakenByteForByte) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    struct Case {
        const char* name;
        std::optional<QByteArray> home, config;
        QByteArray expected; // the settings file's bytes
    };
    const Case cases[] = {
        {"home not UTF-8", root + "/h\xFF\xE9", std::nullopt, root + "/h\xFF\xE9/.config/kelvane/kelvane.ini"},
        {"trailing slash", root + "/h\xFF/", std::nullopt, root + "/h\xFF/.config/kelvane/kelvane.ini"},
        {"config not UTF-8", root + "/h", root + "/c\x80", root + "/c\x80/kelvane/kelvane.ini"},
        {"relative config", root + "/h", QByteArray("rel"), root + "/h/.config/kelvane/kelvane.ini"},
        {"HOME unset", std::nullopt, std::nullopt, AccountHome() + "/.config/kelvane/kelvane.ini"},
        {"HOME empty", QByteArray(), std::nullopt, AccountHome() + "/.config/kelvane/kelvane.ini"},
        {"HOME relative", QByteArray("home"), std::nullopt, AccountHome() + "/.config/kelvane/kelvane.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedEnv home("HOME", c.home);
        const ScopedEnv config("XDG_CONFIG_HOME", c.config);
        const QString path = SettingsFilePath(QStringLiteral("/nonexistent/bin/kelvane"));
        EXPECT_EQ(EncodeFileName(path), c.expected);
        EXPECT_FALSE(path.startsWith(QLatin1String("/.config"))) << "never at the root";
    }
}

// The file is made, written and read at the real home's bytes; nothing appears beside the home.
TEST(SettingsLocation, AHomeThatIsNotUtf8IsUsedAndNothingStraysBesideIt) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray homeBytes = root + "/caf\xE9";
    ASSERT_EQ(::mkdir(homeBytes.constData(), 0700), 0);
    const ScopedEnv home("HOME", homeBytes);
    const ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);

    const QString path = SettingsFilePath(QStringLiteral("/nonexistent/bin/kelvane"));
    EXPECT_TRUE(IsFirstRun(path));
    ASSERT_TRUE(EnsureSettingsFile(path));
    const QByteArray real = homeBytes + "/.config/kelvane/kelvane.ini";
    ASSERT_TRUE(IsFile(real));
    EXPECT_EQ(GetFileSize64(path), 2);
    ASSERT_TRUE(IniFile(path).WriteString(QStringLiteral("Preferences"), QStringLiteral("ALU"), QStringLiteral("1")));
    EXPECT_FALSE(IsFirstRun(path));
    EXPECT_EQ(IniFile(path).ReadString(QStringLiteral("Preferences"), QStringLiteral("ALU")), QStringLiteral("1"));
    EXPECT_EQ(IniFile(DecodeFileName(real)).ReadString(QStringLiteral("Preferences"), QStringLiteral("ALU")),
              QStringLiteral("1"));
    EXPECT_EQ(Entries(root), QList<QByteArray>{QByteArray("caf\xE9")}) << "no stray folder beside the home";
    EXPECT_EQ(Entries(homeBytes + "/.config/kelvane"), QList<QByteArray>{QByteArray("kelvane.ini")});
    EXPECT_EQ(EncodeFileName(BesideSettingsFile(path, QStringLiteral("kelvane.tmp"))),
              homeBytes + "/.config/kelvane/kelvane.tmp");

    // The user's own file there, made by hand, is the one read.
    const QByteArray portable = homeBytes + "/bin";
    ASSERT_EQ(::mkdir(portable.constData(), 0700), 0);
    ASSERT_TRUE(CreateUnicodeFile(DecodeFileName(portable + "/kelvane.ini")));
    EXPECT_EQ(EncodeFileName(SettingsFilePath(DecodeFileName(portable + "/kelvane"))), portable + "/kelvane.ini")
        << "the portable file beside an executable whose folder is not UTF-8";
}

// Sizes are read from the file the path's bytes name, not from a lossy copy of its name.
TEST(SettingsLocation, FileSizesAreReadFromTheRealPath) {
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    struct Case {
        QByteArray name;
        QByteArray content; // empty: a folder
        std::int64_t size;
    };
    const Case cases[] = {{"/plain", "12345", 5}, {"/p\xFF\xFE", "123", 3}, {"/caf\xE9", "", -1},
                          {"/\xED\xB2\x80", "1234567", 7} /* U+DC80 written as UTF-8 */};
    for (const Case& c : cases) {
        const QByteArray path = root + c.name;
        if (c.content.isEmpty()) {
            ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
        } else {
            FILE* file = std::fopen(path.constData(), "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(c.content.constData(), 1, static_cast<std::size_t>(c.content.size()), file);
            std::fclose(file);
        }
        EXPECT_EQ(GetFileSize64(DecodeFileName(path)), c.size) << c.name.toHex().constData();
    }
    EXPECT_EQ(GetFileSize64(DecodeFileName(root + "/missing\xFF")), -1);
}
