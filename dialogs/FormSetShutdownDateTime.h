#pragma once
// TFormSetShutdownDateTime, "Set Process Shutdown Time": sets or removes the moment at which one
// process is to be ended, once or every day. It edits the process's record only; the main window
// saves the settings file afterwards. Created once at start-up and reused.

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QSpinBox>
#include <functional>

#include "engine/ProcessTable.h"

namespace kelvane {

class TFormSetShutdownDateTime : public QDialog {
public:
    explicit TFormSetShutdownDateTime(ProcessTable& table, QWidget* parent = nullptr);

    Pid PID = 0;
    // The local date and time now (replaceable for tests).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    QLabel* LabelProcessName;
    QLabel* ImageIcon;
    QDateEdit* DateTimePickerShutdownDate;
    QSpinBox* SpinEditShutdownTimeHour;
    QSpinBox* SpinEditShutDownTimeMinutes;
    QSpinBox* SpinEditShutDownTimeSeconds;
    QCheckBox* CheckBoxDaily;

    // Stores the PID and shows the dialog modally; returns when it closes, however it was closed.
    void SetShutdownTimeProcess(Pid pid);
    void LoadParameters();
    void ApplyChanges();
    void RemoveSettings();
    void CheckBoxDailyClick();
    // Whether "Remove Setting" closed the dialog the last time it was shown.
    bool RemovedSetting() const { return removed_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TProcess& Record() { return table_[PID]; }
    // The record shown, while it still belongs to the process it was shown for (a PID reused
    // while the dialog is open is another process's record); null otherwise.
    TProcess* ShownRecord();

    ProcessTable& table_;
    std::uint64_t shownIdentity_ = 0;
    bool removed_ = false;
};

} // namespace kelvane
