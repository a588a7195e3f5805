#pragma once
// The group " Settings: ": the optimizer's switches and numbers in four rows. The handlers live in
// the main window, which wires them; this pane only lays the controls out.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>

#include "app/SpinEdit.h"

namespace kelvane::app {

class TSettingsGroup : public QGroupBox {
public:
    explicit TSettingsGroup(QWidget* parent = nullptr);

    QCheckBox* CheckBoxOptimize;
    TSpinEdit* SpinEditOptimizer;
    QCheckBox* CheckBoxRefreshProfiles;
    TSpinEdit* SpinEditRefresh;
    QCheckBox* CheckBoxALU;
    TSpinEdit* SpinEditALUPerc;
    QCheckBox* CheckBoxBoost;
    QComboBox* ComboBoxBoost;
};

} // namespace kelvane::app
