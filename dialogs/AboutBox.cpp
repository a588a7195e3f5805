#include "dialogs/AboutBox.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "dialogs/FormSettings.h"

namespace kelvane {

TAboutBox::TAboutBox(const TFormSettings& settings, const QString& versionText, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0x1c, 0x4f, 0x8c));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    auto* title = new QLabel(QStringLiteral("Kelvane"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);
    layout->addWidget(new QLabel(QStringLiteral("Version ") + versionText, this));
    layout->addWidget(new QLabel(QStringLiteral("Foreground boost, process profiles and Anti-LockUp"), this));
    setFixedSize(360, 150);

    // The splash: shown at once, closed after about four seconds by a 50 ms timer.
    splash_ = settings.CheckBoxShowSplashScreen->isChecked();
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, [this] {
        elapsedMs_ += 50;
        if (elapsedMs_ >= 4000) {
            timer_.stop();
            hide();
        }
    });
    if (splash_) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
        timer_.start();
    }
}

} // namespace kelvane
