#pragma once
// TFormProcessInformation, "Process Information": the details of one process (its executable's
// name, icon and version texts, its threads and user, nine memory counters, its modules). Created
// once at start-up and reused; shown modally after LoadProcessInformation. While it is shown, the
// counters, the thread count and the user are read again every 2000 ms.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "engine/ProcessApi.h"

namespace kelvane {

class TFormProcessInformation : public QDialog {
public:
    // `executablePath` gives the executable path (the record's Name) of a PID.
    TFormProcessInformation(ProcessApi& api, std::function<QString(Pid)> executablePath,
                            QWidget* parent = nullptr);

    Pid ProcessPID = 0;
    // The identity (ProcessHandle::identity) of the process a PID's list row was made for; 0 when
    // unknown, and then the process found behind the PID at the opening is the one shown. Once
    // that process has ended, nothing else behind its PID is ever shown.
    std::function<std::uint64_t(Pid)> identityOf;

    QLabel* ImageIcon;
    QLineEdit* EditProcessName;
    QLineEdit* EditDescription;
    QLineEdit* EditCompany;
    QLineEdit* EditVersion;
    QLineEdit* EditFileSize;
    QLineEdit* EditThreads;
    QLineEdit* EditUserName;
    QLineEdit* EditPageFaultCount;
    QLineEdit* EditPeakWorkingSetSize;
    QLineEdit* EditWorkingSetSize;
    QLineEdit* EditQuotaPeakPagedPoolUsage;
    QLineEdit* EditQuotaPagedPoolUsage;
    QLineEdit* EditQuotaPeakNonPagedPoolUsage;
    QLineEdit* EditQuotaNonPagedPoolUsage;
    QLineEdit* EditPagefileUsage;
    QLineEdit* EditPeakPagefileUsage;
    QTreeWidget* ListViewModules;
    QPushButton* ButtonClose;
    QTimer* TimerRefresh;

    // Sets ProcessPID and fills everything: icon, executable texts, module list, counters,
    // threads and user.
    void LoadProcessInformation(Pid pid);
    // Appends one row per module of the process (none when it cannot be opened or has ended).
    void LoadModuleList(Pid pid);
    // Fills the nine counters when they can be read; otherwise leaves them as they are.
    void GetProcessMemoryUsage(Pid pid);
    // Fills "Threads:" and "User name:", each only when it can be read.
    void GetProcessInformation(Pid pid);
    void TimerRefreshTimer();
    void ButtonCloseClick() { close(); }

    // "$" and the address in upper-case hexadecimal, at least 8 digits: $00400000, $7FF812340000.
    static QString BaseAddressText(std::uint64_t base);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Opens the process shown and keeps the handle only while it runs (the running test). Empty
    // when it cannot be opened, and for good once it has ended.
    ProcessHandle OpenRunning(std::uint32_t access, Pid pid);

    ProcessApi& api_;
    std::function<QString(Pid)> executablePath_;
    std::uint64_t identity_ = 0; // of the process shown; 0 until known
    bool ended_ = false;         // the process shown has ended: the fields stay as they are
};

} // namespace kelvane
