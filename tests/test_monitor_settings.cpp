// What the monitor reads from and "Save Settings" writes to the settings file, under hostile
// values: stored times of other locales or none, paths the file cannot hold.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "engine/SaveSettings.h"
#include "platform/fake/FakeProcessApi.h"
#include "settings/IniFile.h"
#include "util/DateTimeText.h"
#include "util/FileName.h"

using namespace kelvane;

namespace {

class QuietHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind) override { boxes.append(text); }
    QStringList boxes;
};

class MonitorSettings : public testing::Test {
protected:
    MonitorSettings() { strings.LoadLanguageStrings(DefaultLanguageTable(), host); }

    // A monitor under `locale` that has listed what runs now.
    ProcessMonitor& Started(const QLocale& locale) {
        monitor = std::make_unique<ProcessMonitor>(api, host, strings, settingsPath, 8, locale);
        monitor->StartUp();
        monitor->flags.windowVisible = true;
        monitor->TimerRefreshDisplayOn();
        return *monitor;
    }

    FakeProcessApi api;
    QuietHost host;
    MessageStrings strings;
    QTemporaryDir dir;
    QString settingsPath = dir.filePath(QStringLiteral("kelvane.ini"));
    std::unique_ptr<ProcessMonitor> monitor;
};

} // namespace

// ---- Shutdown times -----------------------------------------------------------------------------

// Times are written in one form every locale reads; older files' texts of the user's own locale are
// read too; a text that none reads stays in the file as it was, told once, never made "1899".
TEST_F(MonitorSettings, ShutdownTimesReadUnderEveryLocaleAndUnreadableOnesStay) {
    const double time = DaysOf(QDate(2026, 12, 10), QTime(22, 12, 56));
    const QString written = QStringLiteral("10 Dec 2026 22:12:56");
    struct Case {
        const char* locale;
        const char* stored;
        bool readable;
    };
    const Case cases[] = {
        {"C", "10 Dec 2026 22:12:56", true},         {"de_DE", "10 Dec 2026 22:12:56", true},
        {"en_US", "10 Dec 2026 22:12:56", true},     {"ar_EG", "10 Dec 2026 22:12:56", true},
        {"de_DE", "10.12.2026 22:12:56", true},      {"en_US", "12/10/2026 10:12:56 PM", true},
        {"C", "10.12.2026 22:12:56", false},         {"en_US", "10.12.2026 22:12:56", false},
        {"de_DE", "tomorrow at noon", false},        {"C", "31 Feb 2026 25:00:00", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.locale << " reads \"" << c.stored << "\"");
        QFile::remove(settingsPath);
        const QString exe = QStringLiteral("/usr/bin/timed");
        IniBatch profile;
        profile.Write(exe, QStringLiteral("Priority"), QStringLiteral("64"), SectionCase::Exact);
        profile.Write(exe, QStringLiteral("Shutdown time"), QString::fromUtf8(c.stored), SectionCase::Exact);
        ASSERT_TRUE(IniFile(settingsPath).Apply(profile));
        api.AddProcess(100, exe);
        api.AddProcess(101, exe);

        ProcessMonitor& m = Started(QLocale(QString::fromLatin1(c.locale)));
        ASSERT_TRUE(m.table()[100].Managed);
        if (c.readable)
            EXPECT_NEAR(m.table()[100].ShutDownTime, time, 1e-8);
        else
            EXPECT_EQ(m.table()[100].ShutDownTime, 0.0);
        const QStringList notices = m.TakeNotices();
        EXPECT_EQ(notices.size(), c.readable ? 0 : 1) << notices.join(u'\n').toStdString();

        // A later process of the same program is not told of again.
        api.RemoveProcess(101);
        api.AddProcess(102, exe);
        m.TimerRefreshDisplayOn();
        EXPECT_TRUE(m.TakeNotices().isEmpty());

        ASSERT_TRUE(SaveSettings(settingsPath, Preferences(), m));
        const IniDocument saved = IniFile(settingsPath).Load();
        EXPECT_EQ(saved.Read(exe, QStringLiteral("Shutdown time"), SectionCase::Exact),
                  c.readable ? written : QString::fromUtf8(c.stored));
        EXPECT_EQ(saved.Read(exe, QStringLiteral("Priority"), SectionCase::Exact), QStringLiteral("64"));
        api.RemoveProcess(100);
        api.RemoveProcess(102);
    }
}

// A process without a time is saved as "no time", which every locale reads back as none.
TEST_F(MonitorSettings, NoTimeIsWrittenAsDayZeroAndReadsBackAsNone) {
    api.AddProcess(100, QStringLiteral("/usr/bin/plain"));
    IniFile(settingsPath).WriteString(QStringLiteral("/usr/bin/plain"), QStringLiteral("Static"), QStringLiteral("1"));
    ASSERT_TRUE(SaveSettings(settingsPath, Preferences(), Started(QLocale(QStringLiteral("de_DE")))));
    const IniDocument saved = IniFile(settingsPath).Load();
    EXPECT_EQ(saved.Read(QStringLiteral("/usr/bin/plain"), QStringLiteral("Shutdown time")),
              QStringLiteral("30 Dec 1899"));
    for (const char* locale : {"C", "de_DE", "en_US", "ja_JP"}) {
        ProcessMonitor& m = Started(QLocale(QString::fromLatin1(locale)));
        EXPECT_EQ(m.table()[100].ShutDownTime, 0.0) << locale;
        EXPECT_TRUE(m.TakeNotices().isEmpty()) << locale;
    }
}

// ---- Paths the file cannot hold -----------------------------------------------------------------

// "Save Settings" writes every profile it can and says which it could not, and why.
TEST_F(MonitorSettings, SaveTellsWhichProfilesCannotBeStored) {
    const QString newline = QStringLiteral("/opt/a\nb");
    const QString notUtf8 = DecodeFileName("/opt/p\xFF");
    const QString fine = QStringLiteral("/usr/bin/fine");
    api.AddProcess(100, newline);
    api.AddProcess(101, notUtf8);
    api.AddProcess(102, fine);
    api.AddProcess(103, QStringLiteral("/usr/bin/unmanaged"));
    ProcessMonitor& m = Started(QLocale::c());
    for (const Pid pid : {Pid{100}, Pid{101}, Pid{102}})
        m.table()[pid].Managed = true;
    const IniResult result = SaveSettings(settingsPath, Preferences(), m);
    EXPECT_FALSE(result.ok);
    const QStringList lines = result.Message().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << result.Message().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Unable to write to ") + settingsPath);
    EXPECT_TRUE(lines.contains(QStringLiteral("The profile of \"/opt/a\\nb\" cannot be stored: its path holds a line "
                                              "break, which a line of the settings file cannot hold.")))
        << result.Message().toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("\"/opt/p\\xFF\" cannot be stored: its path holds bytes that are not UTF-8"))
                    .size() == 1)
        << result.Message().toStdString();
    const IniDocument saved = IniFile(settingsPath).Load();
    EXPECT_EQ(saved.Read(fine, QStringLiteral("AutoKill"), SectionCase::Exact), QStringLiteral("0"));
    EXPECT_EQ(saved.Read(kPreferencesSection, QStringLiteral("RefreshInterval")), QStringLiteral("500"));
    EXPECT_FALSE(saved.HasSection(QStringLiteral("/usr/bin/unmanaged")));
}
