// The real kelvane and kelvanectl run side by side on a child of the test's own, inside the
// private PID namespace CTest gives this test: one window per session, one optimizer at a time,
// and after both have ended the child is back at the nice value it started with.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "tests/support/ChildProcess.h"

using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;

namespace {

int NiceOf(pid_t pid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
    return errno == 0 ? nice : 1000;
}

template <typename F> bool WaitUntil(F condition, int limitMs = 15000) {
    const QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

class OneOptimizer : public testing::Test {
protected:
    void SetUp() override {
        if (::getpid() >= 100)
            GTEST_SKIP() << "needs a private PID namespace (CTest's in-pid-namespace.sh): the optimizers "
                            "must reach nothing but this test's child";
        child = std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "1"},
                                               [] { ::setpriority(PRIO_PROCESS, 0, 3); });
        child->ReadLine();
        QDir().mkpath(home.filePath(QStringLiteral("config/kelvane")));
        QDir().mkpath(home.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner |
                                                                            QFileDevice::WriteOwner |
                                                                            QFileDevice::ExeOwner);
        QFile ini(SettingsPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Preferences]\nOptimizerEnabled=1\nOptimizerInterval=50\nShow splash screen=0\n[" +
                  QFile::encodeName(QString::fromStdString(TestChildPath())) + "]\nPriority=128\n");
    }
    void TearDown() override {
        for (QProcess* process : started)
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        qDeleteAll(started);
    }
    QString SettingsPath() const { return home.filePath(QStringLiteral("config/kelvane/kelvane.ini")); }
    QProcess* Start(const char* program, const QStringList& args = {}) {
        auto* process = new QProcess;
        started.append(process);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process->setProcessEnvironment(env);
        process->start(QString::fromLatin1(program), args);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }
    static bool Ends(QProcess* process, int signal) {
        ::kill(static_cast<pid_t>(process->processId()), signal);
        return process->waitForFinished(15000);
    }
    bool Raised() const { return NiceOf(child->pid()) == -10; }

    std::unique_ptr<ChildProcess> child;
    QTemporaryDir home;
    QList<QProcess*> started;
};

} // namespace

TEST_F(OneOptimizer, KelvanectlRunRefusesBesideTheWindow) {
    QProcess* window = Start(KELVANE_PATH);
    ASSERT_TRUE(WaitUntil([&] { return Raised(); })) << "the window's optimizer did not run";
    QProcess* run = Start(KELVANECTL_PATH, {QStringLiteral("run")});
    ASSERT_TRUE(run->waitForFinished(10000)) << "kelvanectl run optimizes beside the window";
    EXPECT_EQ(run->exitCode(), 3);
    const QString said = QString::fromLocal8Bit(run->readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("Another Kelvane optimizer"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("PID %1").arg(window->processId()))) << said.toStdString();
    EXPECT_TRUE(Raised());
    ASSERT_TRUE(Ends(window, SIGTERM));
    EXPECT_EQ(NiceOf(child->pid()), 3);
}

TEST_F(OneOptimizer, TheWindowStartsWithItsOptimizerOffBesideKelvanectlRun) {
    QProcess* run = Start(KELVANECTL_PATH, {QStringLiteral("run")});
    ASSERT_TRUE(WaitUntil([&] { return Raised(); })) << "kelvanectl run did not optimize";
    QProcess* window = Start(KELVANE_PATH);
    QString said;
    EXPECT_TRUE(WaitUntil([&] {
        window->waitForReadyRead(50);
        said += QString::fromLocal8Bit(window->readAllStandardError());
        return said.contains(QStringLiteral("the optimizer stays off"));
    })) << said.toStdString();
    ASSERT_TRUE(Ends(window, SIGTERM));
    EXPECT_TRUE(Raised()) << "the window's exit undid kelvanectl's change";
    QFile ini(SettingsPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()), text.size() / 2)
                    .contains(QStringLiteral("OptimizerEnabled=1")) ||
                text.contains("OptimizerEnabled=1"))
        << "the refusal went into the settings file";
    ASSERT_TRUE(Ends(run, SIGTERM));
    EXPECT_EQ(run->exitCode(), 0);
    EXPECT_EQ(NiceOf(child->pid()), 3);
}

TEST_F(OneOptimizer, ASecondKelvaneShowsTheFirstAndEnds) {
    QProcess* first = Start(KELVANE_PATH);
    ASSERT_TRUE(WaitUntil([&] { return Raised(); })) << "the first kelvane did not come up";
    QProcess* second = Start(KELVANE_PATH);
    ASSERT_TRUE(second->waitForFinished(15000)) << "two kelvane run in one session";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    // A kelvane that was killed leaves its lock to the next start.
    ASSERT_TRUE(Ends(first, SIGKILL));
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(child->pid()), 3); // what SIGKILL kept it from
    QProcess* third = Start(KELVANE_PATH);
    EXPECT_TRUE(WaitUntil([&] { return Raised(); })) << "the killed one's lock kept the next one off";
    EXPECT_EQ(third->state(), QProcess::Running);
    ASSERT_TRUE(Ends(third, SIGTERM));
    EXPECT_EQ(NiceOf(child->pid()), 3);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
