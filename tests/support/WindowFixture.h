#pragma once
// A main window over the fake process world, with a settings file of its own and message boxes
// and opened pages recorded instead of shown.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <memory>

#include "app/FormMain.h"
#include "platform/fake/FakeProcessApi.h"
#include "tests/support/WaitFor.h"

namespace kelvane::test {

class WindowFixture : public testing::Test {
protected:
    WindowFixture() : settingsPath(dir.filePath(QStringLiteral("kelvane.ini"))) {
        api.SetSelfPid(1);
        api.AddProcess(1, QStringLiteral("/opt/kelvane/kelvane"));
        services.messageBox = [this](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                     QMessageBox::StandardButtons) {
            boxes.append(text);
            if (onBox)
                onBox(text);
            return answer;
        };
        services.openUrl = [this](const QUrl& url) { opened.append(url); };
    }
    ~WindowFixture() override {
        if (window)
            window->FormDestroy();
    }

    // Writes the settings file (UTF-8 text is accepted as it stands).
    void Settings(const QByteArray& text) {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray SettingsText() const {
        QFile file(settingsPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    app::TFormMain& Start(int processors = 2) {
        api.SetProcessorCount(processors);
        window = std::make_unique<app::TFormMain>(api, app::TFormMain::Options{settingsPath, 64, {}}, services);
        return *window;
    }
    app::TFormMain& StartShown(int processors = 2) {
        Start(processors);
        window->show();
        window->TimerRefreshDisplayOn();
        return *window;
    }
    // Selects the row of `pid` as a click would.
    void Select(Pid pid);
    int ModelRowOf(Pid pid) const;

    QTemporaryDir dir;
    QString settingsPath;
    FakeProcessApi api;
    app::UiServices services;
    QStringList boxes;
    QList<QUrl> opened;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    std::function<void(const QString&)> onBox;
    std::unique_ptr<app::TFormMain> window;
};

} // namespace kelvane::test
