#pragma once
// TFormSettings, "Kelvane Settings": the four start-up options (splash screen, start minimized,
// version check, start with the desktop session). Created at start-up, before the about box, which
// reads its splash option. The autostart box switches the desktop session's autostart entry at
// once, also when a load changes it, so that "Cancel" puts the entry back in line with the file.

#include <QCheckBox>
#include <QDialog>
#include <functional>

#include "dialogs/DialogServices.h"

namespace kelvane {

class TFormSettings : public QDialog {
public:
    // `autostart` writes (true) or removes (false) the autostart entry; false with the error text.
    using Autostart = std::function<bool(bool on, QString* error)>;
    TFormSettings(const QString& settingsPath, Autostart autostart, DialogServices services,
                  QWidget* parent = nullptr);

    QCheckBox* CheckBoxShowSplashScreen;
    QCheckBox* CheckBoxStartMinimized;
    QCheckBox* CheckBoxCheckForNewVersion;
    QCheckBox* CheckBoxAutoStart;

    // The four options from the settings file; an absent key keeps the box as it is.
    void LoadSettings();
    // The four options into the settings file; false (after the error box) when refused.
    bool SaveSettings();
    void CheckBoxAutoStartClick();
    void ButtonSaveClick();
    void ButtonCancelClick();

private:
    QString settingsPath_;
    Autostart autostart_;
    DialogServices services_;
};

} // namespace kelvane
