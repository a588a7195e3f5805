#include "dialogs/FormSettings.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/FlagScope.h"
#include "settings/IniFile.h"
#include "settings/Preferences.h"

namespace kelvane {

TFormSettings::TFormSettings(const QString& settingsPath, Autostart autostart, DialogServices services,
                             QWidget* parent)
    : QDialog(parent), settingsPath_(settingsPath), autostart_(std::move(autostart)), services_(std::move(services)) {
    setObjectName(QStringLiteral("FormSettings"));
    setWindowTitle(QStringLiteral("Kelvane Settings"));
    auto* group = new QGroupBox(QStringLiteral(" Options: "), this);
    CheckBoxShowSplashScreen = new QCheckBox(QStringLiteral("Show splash screen on startup"), group);
    CheckBoxShowSplashScreen->setObjectName(QStringLiteral("CheckBoxShowSplashScreen"));
    CheckBoxShowSplashScreen->setChecked(true);
    CheckBoxStartMinimized = new QCheckBox(QStringLiteral("Start minimized"), group);
    CheckBoxStartMinimized->setObjectName(QStringLiteral("CheckBoxStartMinimized"));
    CheckBoxCheckForNewVersion = new QCheckBox(QStringLiteral("Check for new version on startup"), group);
    CheckBoxCheckForNewVersion->setObjectName(QStringLiteral("CheckBoxCheckForNewVersion"));
    CheckBoxCheckForNewVersion->setChecked(true);
    CheckBoxAutoStart = new QCheckBox(QStringLiteral("Start automatically with the desktop session"), group);
    CheckBoxAutoStart->setObjectName(QStringLiteral("CheckBoxAutoStart"));
    auto* options = new QVBoxLayout(group);
    for (QCheckBox* box :
         {CheckBoxShowSplashScreen, CheckBoxStartMinimized, CheckBoxCheckForNewVersion, CheckBoxAutoStart})
        options->addWidget(box);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("ButtonSave"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(save, &QPushButton::clicked, this, [this] { ButtonSaveClick(); });
    connect(cancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // cannot be resized

    connect(CheckBoxAutoStart, &QCheckBox::toggled, this, [this] { CheckBoxAutoStartClick(); });
    LoadSettings(); // FormCreate
    entryAtOpen_ = CheckBoxAutoStart->isChecked();
}

void TFormSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowAutostartEntry();
    entryAtOpen_ = autostartExists ? autostartExists() : CheckBoxAutoStart->isChecked();
}

void TFormSettings::ShowAutostartEntry() {
    if (!autostartExists)
        return;
    const FlagScope following(followingEntry_);
    CheckBoxAutoStart->setChecked(autostartExists());
}

void TFormSettings::LoadSettings() {
    const DialogOptions current{CheckBoxShowSplashScreen->isChecked(), CheckBoxStartMinimized->isChecked(),
                                CheckBoxCheckForNewVersion->isChecked(), CheckBoxAutoStart->isChecked()};
    const DialogOptions loaded = LoadDialogOptions(IniFile(settingsPath_).Load(), current);
    CheckBoxShowSplashScreen->setChecked(loaded.ShowSplashScreen);
    CheckBoxStartMinimized->setChecked(loaded.StartMinimized);
    CheckBoxCheckForNewVersion->setChecked(loaded.CheckForNewVersion);
    CheckBoxAutoStart->setChecked(loaded.StartWithDesktop); // a change switches the entry
}

bool TFormSettings::SaveSettings() {
    IniBatch batch;
    WriteDialogOptions({CheckBoxShowSplashScreen->isChecked(), CheckBoxStartMinimized->isChecked(),
                        CheckBoxCheckForNewVersion->isChecked(), CheckBoxAutoStart->isChecked()},
                       batch);
    const IniResult result = IniFile(settingsPath_).Apply(batch);
    if (!result && services_.messageBox)
        services_.messageBox(this, QMessageBox::Critical, result.Message(), QMessageBox::Ok);
    return result.ok;
}

void TFormSettings::CheckBoxAutoStartClick() {
    if (!followingEntry_)
        SwitchAutostart(CheckBoxAutoStart->isChecked());
}

void TFormSettings::SwitchAutostart(bool on) {
    QString error;
    if (autostart_ && !autostart_(on, &error) && services_.messageBox)
        services_.messageBox(this, QMessageBox::Critical, error, QMessageBox::Ok);
}

void TFormSettings::ButtonSaveClick() {
    SaveSettings();
    accept();
}

void TFormSettings::ButtonCancelClick() {
    // The other options as the file holds them; the entry as it was when the dialog opened (the
    // file's "Start with Windows" need not say so: the wizard, or a fresh file).
    const bool entryNow = autostartExists ? autostartExists() : CheckBoxAutoStart->isChecked();
    {
        const FlagScope following(followingEntry_);
        LoadSettings();
        CheckBoxAutoStart->setChecked(entryAtOpen_);
    }
    if (entryNow != entryAtOpen_)
        SwitchAutostart(entryAtOpen_);
    reject();
}

} // namespace kelvane
