#include "dialogs/AboutBox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "dialogs/FormSettings.h"
#include "settings/SettingsLocation.h"
#include "update/PublisherUrls.h"

namespace kelvane {

namespace {

constexpr int kWidth = 404;
constexpr int kHeight = 267;
constexpr QRgb kFadeLimit = 0xAAAAAA;
constexpr QRgb kFadeStep = 0x1A1A1A;

QLabel* Label(QWidget* parent, const char* name, const QString& text, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(alignment);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

// Whether the platform sets a window's opacity: X11 does (a compositor then draws it); the others
// here (Wayland, offscreen) warn at every call instead.
bool PlatformSetsOpacity() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

} // namespace

TAboutBox::TAboutBox(const TFormSettings& settings, const QString& settingsPath, const QString& versionText,
                     DialogServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      settingsPath_(settingsPath), versionText_(versionText), services_(std::move(services)) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Kelvane"));
    setFixedSize(kWidth, kHeight);

    Label3 = Label(this, "Label3", QStringLiteral("Norvik's Kelvane"), Qt::AlignLeft | Qt::AlignVCenter);
    Label1 = Label(this, "Label1", QStringLiteral("Norvik's Kelvane"), Qt::AlignLeft | Qt::AlignVCenter);
    QFont title = font();
    title.setPixelSize(30);
    title.setBold(true);
    for (QLabel* label : {Label1, Label3})
        label->setFont(title);
    Label3->setGeometry(22, 152, 360, 44); // the shadow, 2 pixels below and right
    Label1->setGeometry(20, 150, 360, 44);
    SetTextColour(Label3, 0x102040);
    SetTextColour(Label1, 0xFFFFFF);
    LabelVersion = Label(this, "LabelVersion", QStringLiteral("Version ") + versionText_, Qt::AlignRight | Qt::AlignVCenter);
    LabelVersion->setGeometry(20, 192, kWidth - 40, 20);
    SetTextColour(LabelVersion, 0xE0E8F0);
    Copyright = Label(this, "Copyright", QStringLiteral("Copyright \u00A9 2026 the Kelvane developers"),
                      Qt::AlignRight | Qt::AlignVCenter);
    LabelURL = Label(this, "LabelURL", PublisherUrl(), Qt::AlignRight | Qt::AlignVCenter);
    Comments = Label(this, "Comments", ContactMailAddress(), Qt::AlignRight | Qt::AlignVCenter);
    int top = 10;
    for (QLabel* label : {Copyright, LabelURL, Comments}) {
        label->setGeometry(20, top, kWidth - 30, 18);
        top += 18;
        SetTextColour(label, 0x000000);
    }
    for (QLabel* link : {LabelURL, Comments}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Accept"));
    ButtonWWW = new QPushButton(QStringLiteral("Online"), this);
    ButtonWWW->setObjectName(QStringLiteral("ButtonWWW"));
    ButtonWWW->setToolTip(QStringLiteral("Norvik online"));
    ButtonNo = new QPushButton(QStringLiteral("Exit"), this);
    ButtonNo->setObjectName(QStringLiteral("ButtonNo"));
    ButtonNo->setToolTip(QStringLiteral("Exit program"));
    int left = 20;
    for (QPushButton* button : {Button1, ButtonWWW, ButtonNo}) {
        button->setGeometry(left, kHeight - 40, 80, 28);
        left += 88;
        button->hide();
    }
    connect(Button1, &QPushButton::clicked, this, [this] { close(); });
    connect(ButtonWWW, &QPushButton::clicked, this, [this] { LabelURLClick(); });
    connect(ButtonNo, &QPushButton::clicked, this, [this] {
        close();
        if (exitApplication)
            exitApplication();
    });
    SetTopLabelsVisible(false);

    firstRun_ = IsFirstRun(settingsPath_);
    TimerFader.setInterval(50);
    connect(&TimerFader, &QTimer::timeout, this, [this] { TimerFaderTimer(); });
    TimerFader.start();
    if (settings.CheckBoxShowSplashScreen->isChecked()) { // FormCreate: the splash screen
        splashShown_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    }
}

void TAboutBox::SetTextColour(QLabel* label, QRgb colour) {
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    label->setPalette(colours);
}

QRgb TAboutBox::TextColour(const QLabel* label) const {
    return label->palette().color(QPalette::WindowText).rgb() & 0xFFFFFF;
}

void TAboutBox::FadeIn(QLabel* label) {
    const QRgb colour = TextColour(label);
    if (colour < kFadeLimit)
        SetTextColour(label, colour + kFadeStep);
}

void TAboutBox::SetTopLabelsVisible(bool visible) {
    for (QLabel* label : {Copyright, LabelURL, Comments})
        label->setVisible(visible);
}

void TAboutBox::AboutMode() {
    for (QPushButton* button : {Button1, ButtonNo, ButtonWWW})
        button->show();
    SetTopLabelsVisible(true);
    fade_ = 0;
    for (QLabel* label : {Copyright, LabelURL, Comments})
        SetTextColour(label, 0x000000);
    TimerFader.start();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutBox::TimerFaderTimer() {
    if (splash_ > 0)
        ++splash_;
    ++fade_;
    FadeIn(Copyright);
    if (fade_ > 3)
        FadeIn(LabelURL);
    if (fade_ > 6)
        FadeIn(Comments);
    if (splash_ > 80) { // about four seconds after creation
        splash_ = -1;  // never again
        close();
        QCoreApplication::processEvents();
        if (IsFirstRun(settingsPath_) && openWizard)
            openWizard();
        startupPending_ = false;
        if (startupOver)
            startupOver();
    }
}

void TAboutBox::LabelURLClick() {
    if (services_.openUrl)
        services_.openUrl(HomePageUrl());
    close();
}

void TAboutBox::CommentsClick() {
    if (services_.openUrl)
        services_.openUrl(MailLinkUrl(versionText_)); // subject "Kelvane " and the version
    close();
}

void TAboutBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (PlatformSetsOpacity())
        setWindowOpacity(1.0); // FormShow
}

void TAboutBox::closeEvent(QCloseEvent* event) {
    // FormCloseQuery, then FormClose: the fade-out (where a compositor draws opacity), hidden.
    TimerFader.stop();
    for (double opacity = windowOpacity(); PlatformSetsOpacity() && opacity > 9.0 / 255.0; opacity -= 9.0 / 255.0) {
        setWindowOpacity(opacity);
        repaint();
    }
    for (QLabel* label : {Copyright, LabelURL, Comments})
        SetTextColour(label, 0x000000);
    event->accept();
    hide();
    if (splash_ > 0)
        TimerFader.start(); // the first-run test still waits for its time
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    auto* label = qobject_cast<QLabel*>(watched);
    if (label == LabelURL || label == Comments) {
        switch (event->type()) {
        case QEvent::Enter:
            SetTextColour(label, qRgb(255, 255, 0));
            break;
        case QEvent::Leave:
            SetTextColour(label, qRgb(192, 192, 192));
            break;
        case QEvent::MouseButtonRelease:
            if (label == LabelURL)
                LabelURLClick();
            else
                CommentsClick();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TAboutBox::paintEvent(QPaintEvent*) {
    // The picture: a night-blue field with a rising CPU curve, drawn for this program.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(0x3b, 0x8f, 0xd9));
    sky.setColorAt(1, QColor(0x10, 0x2a, 0x50));
    painter.fillRect(rect(), sky);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int x = 0; x < kWidth; x += 34)
        painter.drawLine(x, 60, x, kHeight - 50);
    for (int y = 60; y < kHeight - 50; y += 26)
        painter.drawLine(0, y, kWidth, y);
    QPainterPath curve(QPointF(0, 170));
    const double points[] = {160, 150, 158, 120, 128, 96, 110, 84, 100, 70, 80, 76, 64};
    double x = 0;
    for (const double y : points)
        curve.lineTo(x += kWidth / 12.0, y);
    painter.setPen(QPen(QColor(0x7d, 0xf0, 0x7d), 3));
    painter.drawPath(curve);
    painter.setPen(QPen(QColor(255, 255, 255, 90), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kelvane
