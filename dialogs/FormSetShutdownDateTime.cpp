#include "dialogs/FormSetShutdownDateTime.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/ClampingSpinBox.h"
#include "dialogs/DialogOwner.h"
#include "dialogs/ExecutableIcon.h"
#include "engine/RowTexts.h"
#include "util/DateTimeText.h"

namespace kelvane {

namespace {

QSpinBox* Spin(const char* name, int maximum, const char* hint, QWidget* parent) {
    auto* spin = new TClampingSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(0, maximum);
    spin->setToolTip(QString::fromUtf8(hint));
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}

} // namespace

TFormSetShutdownDateTime::TFormSetShutdownDateTime(ProcessTable& table, QWidget* parent)
    : QDialog(parent), table_(table) {
    setObjectName(QStringLiteral("FormSetShutdownDateTime"));
    setWindowTitle(QStringLiteral("Set Process Shutdown Time"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/watch.svg")));
    auto* group = new QGroupBox(QStringLiteral(" Parameters: "), this);
    LabelProcessName = new QLabel(group);
    LabelProcessName->setObjectName(QStringLiteral("LabelProcessName"));
    ImageIcon = new QLabel(group);
    ImageIcon->setFixedSize(48, 48);
    ImageIcon->setAlignment(Qt::AlignCenter);
    DateTimePickerShutdownDate = new QDateEdit(group);
    DateTimePickerShutdownDate->setObjectName(QStringLiteral("DateTimePickerShutdownDate"));
    DateTimePickerShutdownDate->setCalendarPopup(true);
    DateTimePickerShutdownDate->setDisplayFormat(ShortDateFormat(QLocale::system()));
    SpinEditShutdownTimeHour = Spin("SpinEditShutdownTimeHour", 23, "Hour", group);
    SpinEditShutDownTimeMinutes = Spin("SpinEditShutDownTimeMinutes", 59, "Minute", group);
    SpinEditShutDownTimeSeconds = Spin("SpinEditShutDownTimeSeconds", 59, "Second", group);
    CheckBoxDaily = new QCheckBox(QStringLiteral("Daily"), group);
    CheckBoxDaily->setObjectName(QStringLiteral("CheckBoxDaily"));

    auto* time = new QHBoxLayout;
    time->addWidget(SpinEditShutdownTimeHour);
    time->addWidget(new QLabel(QStringLiteral(":"), group));
    time->addWidget(SpinEditShutDownTimeMinutes);
    time->addWidget(new QLabel(QStringLiteral(":"), group));
    time->addWidget(SpinEditShutDownTimeSeconds);
    time->addStretch(1);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Process Name:"), group), 0, 0);
    grid->addWidget(LabelProcessName, 0, 1);
    grid->addWidget(ImageIcon, 0, 2, 2, 1, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Shutdown Date:"), group), 1, 0);
    grid->addWidget(DateTimePickerShutdownDate, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Shutdown Time:"), group), 2, 0);
    grid->addLayout(time, 2, 1, 1, 2);
    grid->addWidget(CheckBoxDaily, 3, 1);
    grid->setColumnStretch(1, 1);

    auto* remove = new QPushButton(QStringLiteral("Remove Setting"), this);
    remove->setObjectName(QStringLiteral("ButtonRemoveSettings"));
    remove->setToolTip(QStringLiteral("Never shutdown this process"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setToolTip(QStringLiteral("Use these settings"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    cancel->setToolTip(QStringLiteral("Cancel changes"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(CheckBoxDaily, &QCheckBox::toggled, this, [this] { CheckBoxDailyClick(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        ApplyChanges();
        accept();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        RemoveSettings();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void TFormSetShutdownDateTime::SetShutdownTimeProcess(Pid pid) {
    PID = pid;
    removed_ = false;
    ExecOver(*this, parentWidget()); // centred on the main window by QDialog, at its size of this opening
}

void TFormSetShutdownDateTime::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    LoadParameters(); // FormShow
}

TProcess* TFormSetShutdownDateTime::ShownRecord() {
    TProcess& record = Record();
    return record.Identity == shownIdentity_ ? &record : nullptr;
}

void TFormSetShutdownDateTime::LoadParameters() {
    TProcess& record = Record();
    shownIdentity_ = record.Identity;
    ImageIcon->setPixmap(ExecutableIcon(record.Name).pixmap(48, 48));
    LabelProcessName->setText(FileNamePart(record.Name));
    QDate date;
    QTime time;
    if (record.ShutDownTime != 0) {
        date = DateOfDays(record.ShutDownTime);
        time = TimeOfDays(record.ShutDownTime);
    } else {
        const QDateTime current = now();
        date = current.date();
        time = current.time();
    }
    DateTimePickerShutdownDate->setDate(date);
    SpinEditShutdownTimeHour->setValue(time.hour());
    SpinEditShutDownTimeMinutes->setValue(time.minute());
    SpinEditShutDownTimeSeconds->setValue(time.second());
    CheckBoxDaily->setChecked(record.DailyShutDown);
    CheckBoxDailyClick();
}

void TFormSetShutdownDateTime::CheckBoxDailyClick() {
    DateTimePickerShutdownDate->setEnabled(!CheckBoxDaily->isChecked());
}

void TFormSetShutdownDateTime::ApplyChanges() {
    // A value still being typed counts, brought into its range (OK taken without leaving the box).
    for (QSpinBox* box : {SpinEditShutdownTimeHour, SpinEditShutDownTimeMinutes, SpinEditShutDownTimeSeconds})
        box->interpretText();
    TProcess* shown = ShownRecord();
    if (shown == nullptr)
        return;
    TProcess& record = *shown;
    record.ShutDownTime = DaysOf(DateTimePickerShutdownDate->date(),
                                 QTime(SpinEditShutdownTimeHour->value(), SpinEditShutDownTimeMinutes->value(),
                                       SpinEditShutDownTimeSeconds->value()));
    record.DailyShutDown = CheckBoxDaily->isChecked();
}

void TFormSetShutdownDateTime::RemoveSettings() {
    TProcess* shown = ShownRecord();
    if (shown == nullptr)
        return;
    shown->ShutDownTime = 0;
    removed_ = true; // the main window's save then removes the stored time as well
}

} // namespace kelvane
