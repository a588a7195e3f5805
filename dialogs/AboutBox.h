#pragma once
// TAboutBox: the about box, which doubles as the splash screen. At its creation it reads the
// settings dialog's splash option and, when it is set, shows itself as the splash for about four
// seconds. Its links, buttons and the first-run wizard come with the dialogs.

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace kelvane {

class TFormSettings;

class TAboutBox : public QWidget {
public:
    TAboutBox(const TFormSettings& settings, const QString& versionText, QWidget* parent = nullptr);

    bool SplashShown() const { return splash_; }

private:
    QTimer timer_;
    int elapsedMs_ = 0;
    bool splash_ = false;
};

} // namespace kelvane
