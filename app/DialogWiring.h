#pragma once
// Connects the main window's commands to the dialogs, and the configuration wizard's finish to the
// main window and the settings dialog.

#include <QString>

#include "dialogs/DialogServices.h"
#include "dialogs/FormWizzard.h"

namespace kelvane {
class TAboutBox;
class TFormSettings;
class TFormSetShutdownDateTime;
class TFormProcessInformation;
} // namespace kelvane

namespace kelvane::app {

class TFormMain;

struct Dialogs {
    TFormSettings* settings = nullptr;
    TAboutBox* about = nullptr;
    TFormSetShutdownDateTime* shutdownTime = nullptr;
    QString settingsPath;
    QString ownExecutable;
    DialogServices services;
    std::function<bool(bool on, QString* error)> autostart;
    TFormProcessInformation* processInformation = nullptr;
};

// What the wizard's finish reaches in the main window and the settings dialog.
WizardHost MakeWizardHost(TFormMain& window, const Dialogs& dialogs);
// Sets the window's dialog hooks and the about box's first-run wizard and "Exit".
void WireDialogs(TFormMain& window, const Dialogs& dialogs);

} // namespace kelvane::app
