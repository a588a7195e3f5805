#include "app/PropertiesPanel.h"

#include "app/ElidedCaption.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "engine/FlagScope.h"
#include "engine/ProcessApi.h"
#include "engine/ProcessMonitor.h"

namespace kelvane::app {

namespace {

struct RadioDesign {
    const char* caption;
    const char* hint;
    std::uint32_t code;
};
constexpr RadioDesign kRadios[6] = {
    {"RealTime", "Real time priority class", REALTIME_PRIORITY_CLASS},
    {"High", "High priority class", HIGH_PRIORITY_CLASS},
    {"Above Normal", "Above normal priority class", ABOVE_NORMAL_PRIORITY_CLASS},
    {"Normal", "Normal priority class", NORMAL_PRIORITY_CLASS},
    {"Below Normal", "Below normal priority class", BELOW_NORMAL_PRIORITY_CLASS},
    {"Low", "Low priority class", IDLE_PRIORITY_CLASS},
};

struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* hint;
    int tag;
};
// In the row's order: Terminate, Taboo, Max., Normal, Min.
constexpr ButtonDesign kButtons[5] = {
    {"ButtonKill", "Terminate", "Preset: Automatically shutdown this process", 3},
    {"ButtonTabu", "Taboo", "Preset: Never manage this process", 4},
    {"ButtonMaximal", "Max.", "Preset: Maximum priority", 2},
    {"ButtonNormal", "Normal", "Preset: Normal priority", 1},
    {"ButtonMininal", "Min.", "Preset: Minimal priority", 0},
};

QCheckBox* CheckBox(const char* name, const char* caption, const char* hint, QWidget* parent) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setStatusTip(QString::fromUtf8(hint));
    box->setEnabled(false);
    box->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    MakeCaptionElidable(box); // cut short with an ellipsis, never clipped
    return box;
}

} // namespace

TPropertiesPanel::TPropertiesPanel(ProcessMonitor& monitor, QWidget* parent)
    : QGroupBox(QStringLiteral(" Process's Properties: "), parent), monitor_(monitor) {
    setObjectName(QStringLiteral("GroupBoxProperties"));
    CheckBoxManaged = CheckBox("CheckBoxManaged", "Managed", "Manage this process", this);
    CheckBoxNever = CheckBox("CheckBoxNever", "Never Manage", "Never manage this process", this);
    CheckBoxAutoKill = CheckBox("CheckBoxAutoKill", "Kill on sense", "Kill this process if detected", this);
    CheckBoxStatic = CheckBox("CheckBoxStatic", "Dynamic", "Change this process's priority class when needed", this);

    auto* setTo = new QGroupBox(QStringLiteral(" Set to: "), this);
    setTo->setObjectName(QStringLiteral("GroupBoxSetTo"));
    auto* radios = new QGridLayout(setTo);
    radios->setContentsMargins(6, 2, 6, 4);
    radios->setVerticalSpacing(0);
    radios->setHorizontalSpacing(10);
    radioGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(kRadios[i].caption), setTo);
        radio->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        radio->setStatusTip(QString::fromUtf8(kRadios[i].hint));
        radio->setEnabled(false);
        radio->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        MakeCaptionElidable(radio);
        radioGroup_->addButton(radio, i);
        radioButtons[static_cast<std::size_t>(i)] = radio;
        radios->addWidget(radio, i % 3, i / 3);
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RadioButton1Click();
        });
    }

    int widest = 0;
    for (const QRadioButton* radio : radioButtons)
        widest = std::max(widest, radio->minimumWidth());
    setTo->setMinimumWidth(2 * widest + 10 + 16);

    ListViewAffinity = new QTreeWidget(this);
    ListViewAffinity->setObjectName(QStringLiteral("ListViewAffinity"));
    ListViewAffinity->setHeaderLabels({QStringLiteral("CPU Affinity")});
    ListViewAffinity->setRootIsDecorated(false);
    ListViewAffinity->setUniformRowHeights(true);
    ListViewAffinity->setSelectionMode(QAbstractItemView::NoSelection);
    ListViewAffinity->setEnabled(false);
    // As tall as the row of groups makes it, not as tall as a list would like to be.
    ListViewAffinity->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    ListViewAffinity->setMinimumHeight(48);
    // Room for its rows ("CPU 15" and a check box); the heading is elided where it is narrower.
    ListViewAffinity->setMinimumWidth(ListViewAffinity->fontMetrics().horizontalAdvance(QStringLiteral("CPU 15")) + 40);
    // No wider than its heading needs: room beyond that goes to the captions beside it.
    ListViewAffinity->setMaximumWidth(ListViewAffinity->fontMetrics().horizontalAdvance(QStringLiteral("CPU Affinity")) + 40);
    connect(ListViewAffinity, &QTreeWidget::itemChanged, this, [this] { ListViewAffinityItemChecked(); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    for (const ButtonDesign& design : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(design.caption), this);
        button->setObjectName(QLatin1String(design.name));
        button->setStatusTip(QString::fromUtf8(design.hint));
        button->setEnabled(false);
        button->setAutoDefault(false);
        button->setProperty("tag", design.tag);
        presetButtons[static_cast<std::size_t>(design.tag)] = button;
        const int tag = design.tag;
        connect(button, &QPushButton::clicked, this, [this, tag] { ButtonProfilesClick(tag); });
        buttons->addWidget(button);
    }

    auto* checks = new QVBoxLayout;
    checks->setSpacing(2);
    for (QCheckBox* box : {CheckBoxManaged, CheckBoxNever, CheckBoxAutoKill, CheckBoxStatic})
        checks->addWidget(box);
    checks->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addLayout(checks);
    top->addWidget(setTo, 1);
    top->addWidget(ListViewAffinity);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(4);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(CheckBoxManaged, &QCheckBox::toggled, this, [this] { CheckBoxManagedClick(); });
    connect(CheckBoxNever, &QCheckBox::toggled, this, [this] { CheckBoxNeverClick(); });
    connect(CheckBoxAutoKill, &QCheckBox::toggled, this, [this] { CheckBoxAutoKillClick(); });
    connect(CheckBoxStatic, &QCheckBox::toggled, this, [this] { CheckBoxStaticClick(); });
    // The user's clicks and keys reach the boxes and buttons only while the row's process runs.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{CheckBoxManaged, CheckBoxNever,
                                                                          CheckBoxAutoKill, CheckBoxStatic})
        button->installEventFilter(this);
    for (QAbstractButton* button : radioButtons)
        button->installEventFilter(this);
    for (QAbstractButton* button : presetButtons)
        button->installEventFilter(this);
}

bool TPropertiesPanel::RowProcessRuns() {
    const TProcess* record = Record();
    if (record == nullptr || record->Identity == 0)
        return true; // no process of its own to check (the idle row), or none selected
    const int row = monitor_.list().SelectedIndex();
    return static_cast<bool>(monitor_.OpenRowProcess(AccessMask::Query, monitor_.list().at(row).caption.toUInt()));
}

bool TPropertiesPanel::eventFilter(QObject* watched, QEvent* event) {
    // A change here is the row's process's profile. Once that process has ended (or its PID went
    // to another one) the click is refused with the "ended" error and changes nothing: the press
    // and release never reach the button, and the error shows once, at the release or the key.
    bool tells = false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        break;
    case QEvent::MouseButtonRelease:
        tells = true;
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space && key->key() != Qt::Key_Select)
            return QGroupBox::eventFilter(watched, event);
        tells = event->type() == QEvent::KeyPress && !key->isAutoRepeat();
        break;
    }
    default:
        return QGroupBox::eventFilter(watched, event);
    }
    if (RowProcessRuns())
        return false;
    if (tells && showError)
        showError(monitor_.api().LastErrorText());
    return true;
}

void TPropertiesPanel::FillAffinityList(int processors) {
    ListViewAffinity->clear();
    for (int i = 0; i < processors; ++i) {
        auto* item = new QTreeWidgetItem(ListViewAffinity, {QStringLiteral("CPU %1").arg(i)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
        item->setCheckState(0, Qt::Unchecked);
    }
}

void TPropertiesPanel::SetAffinityMarks(const std::vector<bool>& marks) {
    for (int i = 0; i < ListViewAffinity->topLevelItemCount(); ++i) {
        const bool on = static_cast<std::size_t>(i) < marks.size() && marks[static_cast<std::size_t>(i)];
        ListViewAffinity->topLevelItem(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<bool> TPropertiesPanel::AffinityMarks() const {
    std::vector<bool> marks;
    for (int i = 0; i < ListViewAffinity->topLevelItemCount(); ++i)
        marks.push_back(ListViewAffinity->topLevelItem(i)->checkState(0) == Qt::Checked);
    return marks;
}

std::uint32_t TPropertiesPanel::CodeOfRadio(int index) { return kRadios[index].code; }

void TPropertiesPanel::CheckRadioOfCode(std::uint32_t code) {
    for (int i = 0; i < 6; ++i)
        if (kRadios[i].code == code)
            radioButtons[static_cast<std::size_t>(i)]->setChecked(true);
}

std::uint32_t TPropertiesPanel::CheckedCode() const {
    const int id = radioGroup_->checkedId();
    return id >= 0 ? kRadios[id].code : 0;
}

TProcess* TPropertiesPanel::Record() {
    const int row = monitor_.list().SelectedIndex();
    if (row < 0)
        return nullptr;
    bool ok = false;
    const uint pid = monitor_.list().at(row).caption.toUInt(&ok);
    if (!ok || !monitor_.table().InRange(pid))
        return nullptr;
    return &monitor_.table()[pid];
}

void TPropertiesPanel::SetRadiosEnabled(bool enabled) {
    for (QRadioButton* radio : radioButtons)
        radio->setEnabled(enabled);
}

void TPropertiesPanel::UncheckRadios() {
    radioGroup_->setExclusive(false);
    for (QRadioButton* radio : radioButtons)
        radio->setChecked(false);
    radioGroup_->setExclusive(true);
}

void TPropertiesPanel::EnableControls() {
    TProcess* record = Record();
    if (record == nullptr)
        return;
    for (QPushButton* button : presetButtons)
        button->setEnabled(true);
    CheckBoxManaged->setEnabled(true);
    {
        // The box shows what the record holds: the erase and the cycle of a click are the user's own.
        const FlagScope showing(showingRecord_);
        CheckBoxManaged->setChecked(record->Managed);
    }
    record = Record(); // a handler run by the change may have moved things
    if (record == nullptr)
        return;
    if (!CheckBoxManaged->isChecked()) {
        CheckRadioOfCode(record->Priority);
        return;
    }
    CheckBoxNever->setEnabled(true);
    CheckBoxNever->setChecked(record->Never);
    if (CheckBoxNever->isChecked())
        return;
    CheckBoxAutoKill->setEnabled(true);
    CheckBoxAutoKill->setChecked(record->Kill);
    if (CheckBoxAutoKill->isChecked())
        return;
    if (antiLockUpChecked && antiLockUpChecked()) {
        CheckBoxStatic->setEnabled(true);
        CheckBoxStatic->setChecked(!record->Static);
    } else {
        CheckBoxStatic->setEnabled(false);
    }
    SetRadiosEnabled(true);
    CheckRadioOfCode(record->OptimizeProfile);
    ListViewAffinity->setEnabled(true);
}

void TPropertiesPanel::DisableControls() {
    for (QPushButton* button : presetButtons)
        button->setEnabled(false);
    CheckBoxAutoKill->setEnabled(false);
    CheckBoxManaged->setEnabled(false);
    CheckBoxNever->setEnabled(false);
    CheckBoxStatic->setEnabled(false);
    SetRadiosEnabled(false);
    ListViewAffinity->setEnabled(false);
    // As tall as the row of groups makes it, not as tall as a list would like to be.
    ListViewAffinity->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    ListViewAffinity->setMinimumHeight(48);
    CheckBoxNever->setChecked(false);
    CheckBoxStatic->setChecked(false);
    UncheckRadios();
}

void TPropertiesPanel::CheckBoxManagedClick() {
    TProcess* record = Record();
    if (record == nullptr || showingRecord_)
        return;
    if (!CheckBoxManaged->isChecked()) {
        record->OptimizeProfile = record->OrginalPriority;
        if (eraseProfile)
            eraseProfile(record->Name);
        if (optimizeOnce)
            optimizeOnce(); // applies OptimizeProfile, now the original class, while still managed
        record = Record();
        if (record != nullptr)
            record->Managed = false;
        DisableControls();
    } else {
        // A profile the settings file cannot hold is refused, not kept for this run alone.
        const QString problem = profileProblem ? profileProblem(record->Name) : QString();
        if (!problem.isEmpty()) {
            {
                const FlagScope showing(showingRecord_);
                CheckBoxManaged->setChecked(false);
            }
            if (showError)
                showError(ProfileRefusedText(record->Name, problem));
            return;
        }
        record->Managed = true;
    }
    RadioButton1Click();
    EnableControls();
}

void TPropertiesPanel::CheckBoxNeverClick() {
    TProcess* record = Record();
    if (record == nullptr)
        return;
    record->Never = CheckBoxNever->isChecked();
    if (CheckBoxNever->isChecked())
        record->Static = true;
    RadioButton1Click();
    EnableControls();
    const bool free = !CheckBoxNever->isChecked();
    CheckBoxStatic->setEnabled(free);
    CheckBoxAutoKill->setEnabled(free);
    SetRadiosEnabled(free);
}

void TPropertiesPanel::CheckBoxAutoKillClick() {
    if (TProcess* record = Record())
        record->Kill = CheckBoxAutoKill->isChecked();
}

void TPropertiesPanel::CheckBoxStaticClick() {
    if (TProcess* record = Record())
        record->Static = !CheckBoxStatic->isChecked();
}

void TPropertiesPanel::RadioButton1Click() {
    TProcess* record = Record();
    if (record == nullptr)
        return;
    if (!CheckBoxNever->isChecked()) {
        const std::uint32_t code = CheckedCode();
        if (code != 0)
            record->OptimizeProfile = static_cast<std::uint16_t>(code);
    }
    EnableControls();
}

void TPropertiesPanel::ButtonProfilesClick(int tag) {
    if (Record() == nullptr || tag < 0 || tag > 4)
        return;
    if (const QString problem = profileProblem ? profileProblem(Record()->Name) : QString(); !problem.isEmpty()) {
        if (showError)
            showError(ProfileRefusedText(Record()->Name, problem)); // a preset is a profile too
        return;
    }
    constexpr std::uint32_t kPresetClass[3] = {IDLE_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS};
    CheckBoxNever->setChecked(tag == 4);
    CheckBoxManaged->setChecked(true);
    if (tag <= 2)
        CheckRadioOfCode(kPresetClass[tag]);
    if (tag >= 3)
        CheckBoxAutoKill->setChecked(tag == 3);
    CheckBoxStatic->setChecked(true);
    if (tag <= 2)
        CheckBoxAutoKill->setChecked(false);
    if (TProcess* record = Record()) {
        record->Kill = CheckBoxAutoKill->isChecked();
        record->Static = !CheckBoxStatic->isChecked();
        record->Never = CheckBoxNever->isChecked();
    }
    RadioButton1Click();
    if (rescan)
        rescan();
    EnableControls();
}

void TPropertiesPanel::ListViewAffinityItemChecked() {
    if (monitor_.flags.affinityListUpdate)
        return;
    const int row = monitor_.list().SelectedIndex();
    if (row < 0)
        return;
    const Pid pid = monitor_.list().at(row).caption.toUInt();
    const std::uint64_t mask = ProcessMonitor::MaskOfMarks(AffinityMarks());
    if (monitor_.SetCPUAffinity(pid, mask) == ProcessMonitor::AffinityResult::OpenFailed && showError)
        showError(monitor_.api().LastErrorText());
}

} // namespace kelvane::app
