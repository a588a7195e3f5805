#include "dialogs/FormWizzard.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dialogs/ClampingSpinBox.h"
#include "engine/ProcessApi.h"
#include "util/FileName.h"

namespace kelvane {

QString ShellFileFilter(const QString& shellName) {
    return QStringLiteral("%1 (%1);;All files (*)").arg(shellName);
}

namespace {

QLabel* Text(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QWidget* Page(QStackedWidget* stack, const char* name) {
    auto* page = new QWidget(stack);
    page->setObjectName(QLatin1String(name));
    new QVBoxLayout(page);
    stack->addWidget(page);
    return page;
}

void Add(QWidget* page, QWidget* widget) { page->layout()->addWidget(widget); }

// A message string with its "%s" places filled in order.
QString Filled(QString pattern, const QStringList& args) {
    for (const QString& arg : args) {
        const qsizetype at = pattern.indexOf(QLatin1String("%s"));
        if (at < 0)
            break;
        pattern.replace(at, 2, arg);
    }
    return pattern;
}

} // namespace

TFormWizzard::TFormWizzard(const MessageStrings& strings, const QString& settingsPath, QString shellName,
                           QString shellPath, WizardHost host, DialogServices services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), strings_(strings), settingsPath_(settingsPath),
      shellName_(std::move(shellName)), shellPath_(std::move(shellPath)), host_(std::move(host)),
      services_(std::move(services)) {
    setObjectName(QStringLiteral("FormWizzard"));
    setWindowTitle(QStringLiteral("Configuration Wizard"));
    setAttribute(Qt::WA_DeleteOnClose); // FormClose frees the window
    const QString shell = shellName_.isEmpty() ? QStringLiteral("the desktop shell") : shellName_;
    const QString self = host_.ownExecutable.isEmpty() ? QStringLiteral("kelvane") : host_.ownExecutable.section(u'/', -1);

    auto* banner = new QLabel(QStringLiteral("Configuration Wizard"), this);
    banner->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    banner->setFixedHeight(50);
    banner->setMargin(8);
    banner->setAutoFillBackground(true);
    QPalette colours = banner->palette();
    colours.setColor(QPalette::Window, QColor(0x1c, 0x4f, 0x8c));
    colours.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(colours);
    QFont bold = banner->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    banner->setFont(bold);

    pages = new QStackedWidget(this);
    QWidget* p1 = Page(pages, "Panel1");
    Add(p1, Text(QStringLiteral("This is the first time you run Kelvane. Would you like to run the Configuration "
                                "Wizzard now?"),
                 p1));
    QWidget* p2 = Page(pages, "Panel2");
    Add(p2, Text(QStringLiteral("Desktop task (%1) shouldn't be managed. Disable managing of %1?").arg(shell), p2));
    CheckBoxExplorer = new QCheckBox(QStringLiteral("Don't manage %1").arg(shell), p2);
    CheckBoxExplorer->setChecked(true);
    Add(p2, CheckBoxExplorer);
    Add(p2, Text(QStringLiteral("Kernel task 'SYSTEM' shouldn't be managed. Disable managing of 'SYSTEM'?"), p2));
    CheckBoxSYSTEM = new QCheckBox(QStringLiteral("Don't manage SYSTEM"), p2);
    CheckBoxSYSTEM->setChecked(true);
    Add(p2, CheckBoxSYSTEM);
    QWidget* p3 = Page(pages, "Panel3");
    Add(p3, Text(QStringLiteral("Foreground Applications can be boosted so that thay receive more attention by the "
                                "system."),
                 p3));
    CheckBoxBoost = new QCheckBox(QStringLiteral("Boost foreground Application"), p3);
    CheckBoxBoost->setChecked(true);
    Add(p3, CheckBoxBoost);
    Add(p3, Text(QStringLiteral("to:"), p3));
    RadioButtonRTb = new QRadioButton(QStringLiteral("RealTime"), p3);
    RadioButtonHighb = new QRadioButton(QStringLiteral("High"), p3);
    RadioButtonANb = new QRadioButton(QStringLiteral("Above Normal (Default)"), p3);
    RadioButtonANb->setChecked(true);
    for (QWidget* w : {static_cast<QWidget*>(RadioButtonRTb), static_cast<QWidget*>(RadioButtonHighb),
                       static_cast<QWidget*>(RadioButtonANb)})
        Add(p3, w);
    QWidget* p4 = Page(pages, "Panel4");
    Add(p4, Text(QStringLiteral("Anti-LockUp (ALU) can try to lower a particular process's priority class if it "
                                "uses too much CPU power."),
                 p4));
    CheckBoxALU = new QCheckBox(QStringLiteral("Use Anti-LockUP"), p4);
    Add(p4, CheckBoxALU);
    auto* threshold = new QWidget(p4);
    auto* row = new QHBoxLayout(threshold);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("when CPU is used more than"), threshold));
    SpinEditCPUp = new TClampingSpinBox(threshold);
    SpinEditCPUp->setRange(10, 100);
    SpinEditCPUp->setValue(75);
    row->addWidget(SpinEditCPUp);
    row->addWidget(new QLabel(QStringLiteral("% by the process."), threshold));
    row->addStretch(1);
    Add(p4, threshold);
    Add(p4, Text(QStringLiteral("Note: It may be quite dengerous for some processes to change their priority class "
                                "when they use too much CPU time. So ALU is exeperimental!"),
                 p4));
    QWidget* p5 = Page(pages, "Panel5");
    Add(p5, Text(QStringLiteral("Kelvane (%1) should be set to Higher priority class. Set %1 to:").arg(self), p5));
    RadioButtonRT = new QRadioButton(QStringLiteral("RealTime"), p5);
    RadioButtonHigh = new QRadioButton(QStringLiteral("High (Default)"), p5);
    RadioButtonAbNormal = new QRadioButton(QStringLiteral("Above Normal"), p5);
    RadioButtonHigh->setChecked(true);
    for (QWidget* w : {static_cast<QWidget*>(RadioButtonRT), static_cast<QWidget*>(RadioButtonHigh),
                       static_cast<QWidget*>(RadioButtonAbNormal)})
        Add(p5, w);
    QWidget* p6 = Page(pages, "Panel6");
    Add(p6, Text(QStringLiteral("Should Kelvane start automatically with the desktop session?"), p6));
    CheckBoxAutoStart = new QCheckBox(QStringLiteral("Start Kelvane automatically"), p6);
    CheckBoxAutoStart->setChecked(true);
    Add(p6, CheckBoxAutoStart);
    CheckBoxMinimzed = new QCheckBox(QStringLiteral("Minimized"), p6);
    CheckBoxMinimzed->setChecked(true);
    Add(p6, CheckBoxMinimzed);
    Add(p6, Text(QStringLiteral("    Note: You can turn Kelvane On/Off with middle mouse button clicking on the tray "
                                "icon."),
                 p6));
    for (int i = 0; i < pages->count(); ++i)
        static_cast<QVBoxLayout*>(pages->widget(i)->layout())->addStretch(1);

    ButtonPrev = new QPushButton(QStringLiteral("<< Prev"), this);
    ButtonNext = new QPushButton(QStringLiteral("Next >>"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonNext->setDefault(true);
    connect(ButtonPrev, &QPushButton::clicked, this, [this] { SetPage(false); });
    connect(ButtonNext, &QPushButton::clicked, this, [this] { SetPage(true); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonPrev);
    buttons->addWidget(ButtonNext);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(banner);
    auto* middle = new QVBoxLayout;
    middle->setContentsMargins(10, 6, 10, 0);
    middle->addWidget(pages, 1);
    middle->addLayout(buttons);
    layout->addLayout(middle, 1);
    setFixedSize(400, 296);
}

void TFormWizzard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ButtonPrev->setEnabled(false);
    if (FileNameExists(settingsPath_)) { // the path's exact bytes, whatever the home's name
        page_ = 2;
        ShowPage(2);
    } else {
        page_ = 1;
        ShowPage(1);
        ButtonNext->setText(strings_[Msg::Yes]);
        ButtonCancel->setText(strings_[Msg::No]);
    }
}

void TFormWizzard::SetPage(bool next) {
    ButtonCancel->setText(strings_[Msg::Cancel]);
    if (next) {
        if (page_ <= 5)
            ShowPage(page_ + 1);
        ++page_;
    } else {
        if (page_ <= 2)
            return;
        ShowPage(page_ - 1);
        --page_;
    }
    ButtonNext->setText(page_ == 6 ? strings_[Msg::OK] : strings_[Msg::Next]);
    ButtonPrev->setEnabled(page_ > 2);
    if (page_ == 7) {
        Finish();
        accept();
    }
}

void TFormWizzard::Finish() {
    // 1, 2: the main window's Anti-LockUp and boost, set as a user would.
    SpinEditCPUp->interpretText(); // a value still being typed, brought into its range
    const int boostIndex = RadioButtonRTb->isChecked() ? 5 : RadioButtonHighb->isChecked() ? 4 : 3;
    if (host_.setOptimizerChoices)
        host_.setOptimizerChoices(CheckBoxALU->isChecked(), SpinEditCPUp->value(), CheckBoxBoost->isChecked(),
                                  boostIndex);
    auto neverManage = [this](Pid pid) {
        if (TProcess* record = host_.record ? host_.record(pid) : nullptr) {
            record->Managed = true;
            record->Never = true;
            record->Static = true;
            record->Kill = false;
        }
    };
    // 3: the desktop shell, at its default place or where the user shows it to be.
    if (CheckBoxExplorer->isChecked() && !shellName_.isEmpty()) {
        QString path = shellPath_;
        if (!QFileInfo::exists(path)) {
            if (services_.messageBox)
                services_.messageBox(this, QMessageBox::Warning,
                                     Filled(strings_[Msg::ShellNotFound], {shellName_, path}) + u'\n' +
                                         strings_[Msg::SelectManually],
                                     QMessageBox::Ok);
            const QString chosen =
                services_.openFile ? services_.openFile(this, shellName_, ShellFileFilter(shellName_), QStringLiteral("/"))
                                   : QString();
            if (!chosen.isEmpty())
                path = chosen;
        }
        if (const std::int64_t pid = host_.findLocation ? host_.findLocation(path) : -1; pid >= 0)
            neverManage(static_cast<Pid>(pid));
    }
    // 4: the kernel's task.
    if (CheckBoxSYSTEM->isChecked() && host_.systemPid != 0)
        neverManage(host_.systemPid);
    // 5: Kelvane itself.
    if (const std::int64_t pid = host_.findLocation ? host_.findLocation(host_.ownExecutable) : -1; pid >= 0) {
        if (TProcess* record = host_.record ? host_.record(static_cast<Pid>(pid)) : nullptr) {
            record->Managed = true;
            record->Never = false;
            record->Static = true;
            record->OptimizeProfile = static_cast<std::uint16_t>(
                RadioButtonRT->isChecked()     ? REALTIME_PRIORITY_CLASS
                : RadioButtonHigh->isChecked() ? HIGH_PRIORITY_CLASS
                                               : ABOVE_NORMAL_PRIORITY_CLASS);
        }
    }
    // 6, 7: start minimized, and the autostart entry at once.
    if (host_.setStartMinimized)
        host_.setStartMinimized(CheckBoxMinimzed->isChecked());
    QString error;
    if (host_.autostart && !host_.autostart(CheckBoxAutoStart->isChecked(), &error) && services_.messageBox)
        services_.messageBox(this, QMessageBox::Critical, error, QMessageBox::Ok);
    // 8: turn the optimizer on.
    if (host_.optimizerOn && !host_.optimizerOn() && services_.messageBox &&
        services_.messageBox(this, QMessageBox::Question, strings_[Msg::TurnOn],
                             QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes &&
        host_.turnOn)
        host_.turnOn();
    // 9: save everything, or nothing.
    if (services_.messageBox &&
        services_.messageBox(this, QMessageBox::Question,
                             strings_[Msg::SaveConfirm1] + u'\n' + strings_[Msg::SaveConfirm2],
                             QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok &&
        host_.saveAll)
        host_.saveAll();
}

} // namespace kelvane
