#include "dialogs/FormSettings.h"

#include <QVBoxLayout>

#include "settings/IniFile.h"
#include "settings/Preferences.h"

namespace kelvane {

TFormSettings::TFormSettings(const QString& settingsPath, QWidget* parent)
    : QDialog(parent), settingsPath_(settingsPath) {
    setObjectName(QStringLiteral("FormSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    CheckBoxShowSplashScreen = new QCheckBox(QStringLiteral("Show splash screen"), this);
    CheckBoxShowSplashScreen->setChecked(true);
    CheckBoxStartMinimized = new QCheckBox(QStringLiteral("Start minimized"), this);
    CheckBoxCheckForNewVersion = new QCheckBox(QStringLiteral("Check for new version"), this);
    CheckBoxCheckForNewVersion->setChecked(true);
    CheckBoxAutoStart = new QCheckBox(QStringLiteral("Start Kelvane with the desktop session"), this);
    auto* layout = new QVBoxLayout(this);
    for (QCheckBox* box :
         {CheckBoxShowSplashScreen, CheckBoxStartMinimized, CheckBoxCheckForNewVersion, CheckBoxAutoStart})
        layout->addWidget(box);
    LoadSettings();
}

void TFormSettings::LoadSettings() {
    const DialogOptions current{CheckBoxShowSplashScreen->isChecked(), CheckBoxStartMinimized->isChecked(),
                                CheckBoxCheckForNewVersion->isChecked(), CheckBoxAutoStart->isChecked()};
    const DialogOptions loaded = LoadDialogOptions(IniFile(settingsPath_).Load(), current);
    CheckBoxShowSplashScreen->setChecked(loaded.ShowSplashScreen);
    CheckBoxStartMinimized->setChecked(loaded.StartMinimized);
    CheckBoxCheckForNewVersion->setChecked(loaded.CheckForNewVersion);
    CheckBoxAutoStart->setChecked(loaded.StartWithDesktop);
}

} // namespace kelvane
