#pragma once
// TAboutBox: a borderless picture window that is the splash screen at start-up and the about box
// of the Help menu. Its 50 ms timer fades the top labels in, closes the splash after about four
// seconds and then, on a first run (a settings file smaller than 3 bytes), opens the configuration
// wizard; it runs from creation whether or not the splash is shown.

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "dialogs/DialogServices.h"

namespace kelvane {

class TFormSettings;

class TAboutBox : public QWidget {
public:
    TAboutBox(const TFormSettings& settings, const QString& settingsPath, const QString& versionText,
              DialogServices services, QWidget* parent = nullptr);

    // What the box asks of the program: the first-run wizard, and ending Kelvane ("Exit").
    std::function<void()> openWizard;
    std::function<void()> exitApplication;
    // Called once the splash and, on a first run, the wizard after it have closed.
    std::function<void()> startupOver;

    QLabel* Label1;
    QLabel* Label3;
    QLabel* LabelVersion;
    QLabel* Copyright;
    QLabel* LabelURL;
    QLabel* Comments;
    QPushButton* Button1;
    QPushButton* ButtonWWW;
    QPushButton* ButtonNo;
    QTimer TimerFader;

    bool SplashShown() const { return splashShown_; }
    // Whether the splash or the first-run wizard is still to come or showing.
    bool StartupShowing() const { return startupPending_ && (splashShown_ || firstRun_); }
    int splashCounter() const { return splash_; }

    void AboutMode();
    void TimerFaderTimer();
    void LabelURLClick();
    void CommentsClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetTextColour(QLabel* label, QRgb colour);
    QRgb TextColour(const QLabel* label) const;
    void FadeIn(QLabel* label);
    void SetTopLabelsVisible(bool visible);

    QString settingsPath_;
    QString versionText_;
    DialogServices services_;
    int splash_ = 1;
    int fade_ = 0;
    bool splashShown_ = false;
    bool startupPending_ = true;
    bool firstRun_ = false;
};

} // namespace kelvane
