#pragma once
// The group " Process's Properties: ": the selected process's management flags, profile class and
// CPU affinity, with the enable-and-check cascade and the five presets. Everything here acts on
// the process's record in memory; only clearing "Managed" touches the settings file (the profile
// goes at once). Setting a check box from code runs its handler, as a click does; checking a radio
// button runs the group's handler when it was not checked. Showing a record's "Managed" is no
// click: it never erases a profile nor runs a cycle.

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <vector>

#include "engine/ProcessTable.h"

namespace kelvane {
class ProcessMonitor;
}

namespace kelvane::app {

class TPropertiesPanel : public QGroupBox {
public:
    explicit TPropertiesPanel(ProcessMonitor& monitor, QWidget* parent = nullptr);

    // What the panel needs from the window.
    std::function<bool()> antiLockUpChecked;       // "Anti-LockUp CPU"
    std::function<void(const QString&)> eraseProfile; // the profile section of this executable goes
    std::function<void()> optimizeOnce;             // one optimization cycle now
    std::function<void()> rescan;                   // GetProcessesOnNT and the list follows
    std::function<void(const QString&)> showError;  // an error box with this text
    // Why this executable's profile could not be stored in the settings file; empty when it can.
    std::function<QString(const QString&)> profileProblem;

    QCheckBox* CheckBoxManaged;
    QCheckBox* CheckBoxNever;
    QCheckBox* CheckBoxAutoKill;
    QCheckBox* CheckBoxStatic;
    std::array<QPushButton*, 5> presetButtons; // by tag: 0 Min., 1 Normal, 2 Max., 3 Terminate, 4 Taboo
    std::array<QRadioButton*, 6> radioButtons; // RadioButton1 (RealTime) ... RadioButton6 (Low)
    QTreeWidget* ListViewAffinity;

    // One affinity row per processor, "CPU 0" ...; with the affinity-list update flag set.
    void FillAffinityList(int processors);
    // The check marks of a process's mask (from the engine, flag already set).
    void SetAffinityMarks(const std::vector<bool>& marks);
    std::vector<bool> AffinityMarks() const;

    void EnableControls();
    void DisableControls();
    void CheckBoxManagedClick();
    void CheckBoxNeverClick();
    void CheckBoxAutoKillClick();
    void CheckBoxStaticClick();
    void RadioButton1Click();
    void ButtonProfilesClick(int tag);
    void ListViewAffinityItemChecked();

    // The class code of a radio button, and the button of a code (null for other codes).
    static std::uint32_t CodeOfRadio(int index);
    void CheckRadioOfCode(std::uint32_t code);
    // The code of the checked radio button, 0 when none is.
    std::uint32_t CheckedCode() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The record of the selected row's PID, or null without a selection.
    TProcess* Record();
    // Whether the selected row's process still runs (true without one to check); sets the
    // port's error otherwise.
    bool RowProcessRuns();
    void SetRadiosEnabled(bool enabled);
    void UncheckRadios();

    ProcessMonitor& monitor_;
    QButtonGroup* radioGroup_;
    bool showingRecord_ = false; // "Managed" is being set from the record, not by the user
};

} // namespace kelvane::app
