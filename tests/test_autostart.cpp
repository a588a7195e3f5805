#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/linux/XdgAutostart.h"

using namespace kelvane;

class Autostart : public testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved_); }
    QTemporaryDir dir_;
    QByteArray saved_;
};

TEST(DesktopExec, QuotesAndEscapesAsTheDesktopEntryRulesSay) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("/usr/bin/kelvane"), QStringLiteral("/usr/bin/kelvane")},
        {QStringLiteral("/opt/my apps/kelvane"), QStringLiteral("\"/opt/my apps/kelvane\"")},
        {QStringLiteral("/opt/100%/kelvane"), QStringLiteral("/opt/100%%/kelvane")},
        {QStringLiteral("/opt/a\"b$c`d/k"), QStringLiteral("\"/opt/a\\\\\"b\\\\$c\\\\`d/k\"")},
        {QStringLiteral("/opt/back\\slash"), QStringLiteral("\"/opt/back\\\\\\\\slash\"")}};
    for (const auto& [path, exec] : cases)
        EXPECT_EQ(DesktopExecArgument(path), exec) << path.toStdString();
}

TEST_F(Autostart, OnWritesAValidEntryOffRemovesIt) {
    const QString exe = QStringLiteral("/opt/my apps/100% \"kelvane\"");
    QString error;
    ASSERT_TRUE(SetAutostart(true, exe, &error)) << error.toStdString();
    EXPECT_EQ(AutostartEntryPath(), dir_.filePath(QStringLiteral("autostart/Kelvane.desktop")));
    EXPECT_TRUE(AutostartEnabled());
    QFile file(AutostartEntryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\nExec=\"/opt/my apps/100%% \\\\\"kelvane\\\\\"\"\n"));

    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        ADD_FAILURE() << "desktop-file-validate is missing: install desktop-file-utils";
    } else {
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {AutostartEntryPath()});
        ASSERT_TRUE(validate.waitForFinished());
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }
    ASSERT_TRUE(SetAutostart(false, exe, &error));
    EXPECT_FALSE(AutostartEnabled());
    EXPECT_TRUE(SetAutostart(false, exe, &error)) << "switching off twice is no error";
}

TEST_F(Autostart, FailureNamesTheValue) {
    QFile blocker(dir_.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    QString error;
    EXPECT_FALSE(SetAutostart(true, QStringLiteral("/usr/bin/kelvane"), &error));
    EXPECT_EQ(error, QStringLiteral("Failed to set data for 'Kelvane'"));
}
