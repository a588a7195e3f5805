#pragma once
// TFormSettings, "Kelvane Settings": the four start-up options (splash screen, start minimized,
// version check, start with the desktop session). Created at start-up, before the about box, which
// reads its splash option. The autostart box switches the desktop session's autostart entry at
// once, also when the load at start-up changes it; when the dialog opens the box shows whether the
// entry is there, and "Cancel" puts the entry back as it was then.

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
    // Whether the autostart entry is there now (set by the program entry; without it the box
    // follows the settings file only).
    std::function<bool()> autostartExists;

    // The four options from the settings file; an absent key keeps the box as it is.
    void LoadSettings();
    // The four options into the settings file; false (after the error box) when refused.
    bool SaveSettings();
    void CheckBoxAutoStartClick();
    void ButtonSaveClick();
    void ButtonCancelClick();
    // The box shows whether the entry is there, without switching it.
    void ShowAutostartEntry();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SwitchAutostart(bool on);

    QString settingsPath_;
    Autostart autostart_;
    DialogServices services_;
    bool followingEntry_ = false; // the box is set to what the entry is: nothing to switch
    bool entryAtOpen_ = false;    // the entry when the dialog opened
};

} // namespace kelvane
