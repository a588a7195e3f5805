#pragma once
// TFormSettings: the start-up options (splash screen, start minimized, version check, start with
// the desktop session). Created at start-up, before the about box, which reads its splash option.
// The dialog's own page, Save and Cancel come with the dialogs; here it holds and loads the options.

#include <QCheckBox>
#include <QDialog>

namespace kelvane {

class TFormSettings : public QDialog {
public:
    TFormSettings(const QString& settingsPath, QWidget* parent = nullptr);

    QCheckBox* CheckBoxShowSplashScreen;
    QCheckBox* CheckBoxStartMinimized;
    QCheckBox* CheckBoxCheckForNewVersion;
    QCheckBox* CheckBoxAutoStart;

    // The four options from the settings file; an absent key keeps the box as it is.
    void LoadSettings();

private:
    QString settingsPath_;
};

} // namespace kelvane
