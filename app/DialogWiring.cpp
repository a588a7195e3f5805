#include "app/DialogWiring.h"

#include <QApplication>

#include "app/FormMain.h"
#include "app/SettingsGroup.h"
#include "dialogs/AboutBox.h"
#include "dialogs/DialogOwner.h"
#include "dialogs/FormProcessInformation.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "dialogs/FormSettings.h"
#include "engine/ProcessMonitor.h"
#include "platform/linux/DesktopShell.h"

namespace kelvane::app {

WizardHost MakeWizardHost(TFormMain& window, const Dialogs& dialogs) {
    WizardHost host;
    host.setOptimizerChoices = [&window](bool on, int percent, bool boost, int boostIndex) {
        TSettingsGroup& s = window.settingsGroup();
        s.CheckBoxALU->setChecked(on);
        s.SpinEditALUPerc->setValue(percent);
        s.CheckBoxBoost->setChecked(boost);
        s.ComboBoxBoost->setCurrentIndex(boostIndex);
    };
    host.findLocation = [&window](const QString& path) -> std::int64_t {
        const ProcessList& list = window.monitor().list();
        for (int i = 0; i < list.count(); ++i)
            if (list.at(i).subItems[8] == path) // Linux paths compare exactly
                return list.at(i).caption.toLongLong();
        return -1;
    };
    host.record = [&window](Pid pid) -> TProcess* {
        ProcessTable& table = window.monitor().table();
        return table.InRange(pid) ? &table[pid] : nullptr;
    };
    host.systemPid = window.monitor().api().SystemPid();
    host.ownExecutable = dialogs.ownExecutable;
    TFormSettings* settings = dialogs.settings;
    host.setStartMinimized = [settings](bool minimized) {
        if (settings != nullptr)
            settings->CheckBoxStartMinimized->setChecked(minimized);
    };
    if (dialogs.autostart)
        host.autostart = [autostart = dialogs.autostart, settings](bool on, QString* error) {
            const bool switched = autostart(on, error);
            if (settings != nullptr)
                settings->ShowAutostartEntry(); // its box, and so its saved option, follow the entry
            return switched;
        };
    host.optimizerOn = [&window] { return window.settingsGroup().CheckBoxOptimize->isChecked(); };
    host.turnOn = [&window] {
        window.settingsGroup().CheckBoxOptimize->setChecked(true);
        window.settingsGroup().CheckBoxRefreshProfiles->setChecked(true);
    };
    host.saveAll = [&window, settings] {
        window.ButtonSaveClick();
        if (settings != nullptr)
            settings->SaveSettings();
    };
    return host;
}

void WireDialogs(TFormMain& window, const Dialogs& dialogs) {
    TFormMain::DialogHooks& hooks = window.dialogs;
    if (TFormSetShutdownDateTime* shutdown = dialogs.shutdownTime) {
        hooks.setShutdownTime = [shutdown](Pid pid) { shutdown->SetShutdownTimeProcess(pid); };
        hooks.shutdownTimeRemoved = [shutdown] { return shutdown->RemovedSetting(); };
    }
    if (TFormProcessInformation* information = dialogs.processInformation)
        hooks.showProcessInformation = [information, &window](Pid pid) {
            information->LoadProcessInformation(pid);
            ExecOver(*information, &window);
        };
    if (TFormSettings* settings = dialogs.settings)
        hooks.showSettings = [settings, &window] { ExecOver(*settings, &window); };
    hooks.showWizard = [&window, dialogs] {
        const DesktopShell shell = FindDesktopShell();
        // A new wizard at each opening; it frees itself when it closes.
        auto* wizard = new TFormWizzard(window.strings(), dialogs.settingsPath, shell.fileName, shell.DefaultPath(),
                                        MakeWizardHost(window, dialogs), dialogs.services, &window);
        ExecOver(*wizard, &window);
    };
    if (TAboutBox* about = dialogs.about) {
        hooks.showAbout = [about] {
            about->AboutMode();
            about->show();
            about->raise();
        };
        hooks.openHomePage = [about] { about->LabelURLClick(); };
        hooks.raiseAbout = [about] {
            if (about->isVisible())
                about->raise();
        };
        about->openWizard = [&window] { window.Wizzard1Click(); };
        hooks.startupShowing = [about] { return about->StartupShowing(); };
        about->startupOver = [&window] { window.StartupDialogsClosed(); };
        about->exitApplication = [] { QApplication::exit(0); };
    }
}

} // namespace kelvane::app
