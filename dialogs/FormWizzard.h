#pragma once
// TFormWizzard, "Configuration Wizard": a first configuration, page by page: the desktop shell and
// the kernel's task kept out of management, foreground boost, Anti-LockUp, Kelvane's own class,
// autostart; its finish applies the choices to the running system as a user would, then offers to
// turn the optimizer on and to save. Created at each opening and destroyed when it closes.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <functional>

#include "dialogs/DialogServices.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessTable.h"

namespace kelvane {

// What the finish step reaches in the rest of the program (the main window implements it).
struct WizardHost {
    std::function<void(bool on, int percent, bool boost, int boostIndex)> setOptimizerChoices;
    // The PID of the first process-list row, from the top, whose "Location" is `path`; -1 for none.
    std::function<std::int64_t(const QString& path)> findLocation;
    std::function<TProcess*(Pid pid)> record;
    Pid systemPid = 0; // the kernel's task; 0 where there is none
    QString ownExecutable;
    std::function<void(bool minimized)> setStartMinimized; // the settings dialog's box
    std::function<bool(bool on, QString* error)> autostart;
    std::function<bool()> optimizerOn;
    std::function<void()> turnOn;  // "Optimizer Enabled" and "Profiles Refresh" checked
    std::function<void()> saveAll; // the main window's settings, then the settings dialog's
};

// The open-file dialog's filter for the desktop shell's file, in Qt's form: that file, or all files.
QString ShellFileFilter(const QString& shellName);

class TFormWizzard : public QDialog {
public:
    TFormWizzard(const MessageStrings& strings, const QString& settingsPath, QString shellName, QString shellPath,
                 WizardHost host, DialogServices services, QWidget* parent = nullptr);

    int page() const { return page_; }
    QPushButton* ButtonPrev;
    QPushButton* ButtonNext;
    QPushButton* ButtonCancel;
    QStackedWidget* pages;
    QCheckBox* CheckBoxExplorer;
    QCheckBox* CheckBoxSYSTEM;
    QCheckBox* CheckBoxBoost;
    QRadioButton* RadioButtonRTb;
    QRadioButton* RadioButtonHighb;
    QRadioButton* RadioButtonANb;
    QCheckBox* CheckBoxALU;
    QSpinBox* SpinEditCPUp;
    QRadioButton* RadioButtonRT;
    QRadioButton* RadioButtonHigh;
    QRadioButton* RadioButtonAbNormal;
    QCheckBox* CheckBoxAutoStart;
    QCheckBox* CheckBoxMinimzed;

    void SetPage(bool next);
    void Finish();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowPage(int page) { pages->setCurrentIndex(page - 1); }

    const MessageStrings& strings_;
    QString settingsPath_;
    QString shellName_;
    QString shellPath_;
    WizardHost host_;
    DialogServices services_;
    int page_ = 1;
};

} // namespace kelvane
