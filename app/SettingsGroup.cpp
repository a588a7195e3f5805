#include "app/SettingsGroup.h"

#include "app/ElidedCaption.h"

#include <QGridLayout>
#include <QLabel>

namespace kelvane::app {

namespace {

QCheckBox* CheckBox(const char* name, const char* caption, const char* hint, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setStatusTip(QString::fromUtf8(hint));
    box->setChecked(checked);
    box->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    MakeCaptionElidable(box);
    return box;
}

TSpinEdit* Spin(const char* name, int minimum, int maximum, int value, QWidget* parent) {
    auto* spin = new TSpinEdit(minimum, maximum, value, parent);
    spin->setObjectName(QLatin1String(name));
    return spin;
}

} // namespace

TSettingsGroup::TSettingsGroup(QWidget* parent) : QGroupBox(QStringLiteral(" Settings: "), parent) {
    setObjectName(QStringLiteral("GroupBoxSettings"));
    CheckBoxOptimize = CheckBox("CheckBoxOptimize", "Optimizer Enabled",
                                "Enable Kelvane, process priorities will be adjusted automaticaly", false, this);
    SpinEditOptimizer = Spin("SpinEditOptimizer", 10, 2000, 300, this);
    CheckBoxRefreshProfiles =
        CheckBox("CheckBoxRefreshProfiles", "Profiles Refresh", "Enable Managing Profiles refresh ", true, this);
    SpinEditRefresh = Spin("SpinEditRefresh", 100, 3000, 300, this);
    CheckBoxALU = CheckBox("CheckBoxALU", "Anti-LockUp CPU", "Automatically withdraw CPU time from aggressive processes",
                           false, this);
    SpinEditALUPerc = Spin("SpinEditALUPerc", 10, 100, 90, this);
    SpinEditALUPerc->setStatusTip(QStringLiteral("CPU Time in %"));
    CheckBoxBoost = CheckBox("CheckBoxBoost", "Boost Foreground", "Boost foreground application to Above Normal",
                             false, this);
    ComboBoxBoost = new QComboBox(this);
    ComboBoxBoost->setObjectName(QStringLiteral("ComboBoxBoost"));
    ComboBoxBoost->setEditable(true);
    ComboBoxBoost->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxBoost->addItems({QStringLiteral("Low"), QStringLiteral("Below Normal"), QStringLiteral("Normal"),
                             QStringLiteral("Above Normal"), QStringLiteral("High"), QStringLiteral("RealTime")});
    ComboBoxBoost->setCurrentIndex(3); // "Above Normal"

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto unit = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    grid->addWidget(CheckBoxOptimize, 0, 0);
    grid->addWidget(SpinEditOptimizer, 0, 1);
    grid->addWidget(unit("ms"), 0, 2);
    grid->addWidget(CheckBoxRefreshProfiles, 1, 0);
    grid->addWidget(SpinEditRefresh, 1, 1);
    grid->addWidget(unit("ms"), 1, 2);
    grid->addWidget(CheckBoxALU, 2, 0);
    grid->addWidget(SpinEditALUPerc, 2, 1);
    grid->addWidget(unit("%"), 2, 2);
    grid->addWidget(CheckBoxBoost, 3, 0);
    grid->addWidget(ComboBoxBoost, 3, 1, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);
}

} // namespace kelvane::app
