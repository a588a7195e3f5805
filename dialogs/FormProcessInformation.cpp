#include "dialogs/FormProcessInformation.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "dialogs/ExecutableIcon.h"
#include "util/FileUtil.h"
#include "util/FileVersion.h"
#include "util/SizeText.h"

namespace kelvane {

namespace {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name, const QString& toolTip = {}) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setToolTip(toolTip);
    return edit;
}

enum ModuleColumn { ColumnName, ColumnSize, ColumnBase, ColumnDescription, ColumnCompany, ColumnPath };

} // namespace

TFormProcessInformation::TFormProcessInformation(ProcessApi& api, std::function<QString(Pid)> executablePath,
                                                 QWidget* parent)
    : QDialog(parent), api_(api), executablePath_(std::move(executablePath)) {
    setObjectName(QStringLiteral("FormProcessInformation"));
    setWindowTitle(QStringLiteral("Process Information"));
    setMinimumSize(770, 400);

    // Upper left: the executable, its threads and its user.
    auto* group = new QGroupBox(QStringLiteral(" Information: "), this);
    ImageIcon = new QLabel(group);
    ImageIcon->setObjectName(QStringLiteral("ImageIcon"));
    ImageIcon->setFixedSize(32, 32);
    EditProcessName = ReadOnlyEdit(group, "EditProcessName");
    EditDescription = ReadOnlyEdit(group, "EditDescription");
    EditCompany = ReadOnlyEdit(group, "EditCompany");
    EditVersion = ReadOnlyEdit(group, "EditVersion");
    EditFileSize = ReadOnlyEdit(group, "EditFileSize");
    EditThreads = ReadOnlyEdit(group, "EditThreads", QStringLiteral("Threads: in /proc/PID/status"));
    EditUserName = ReadOnlyEdit(group, "EditUserName",
                                QStringLiteral("The name of the process's real user, and this machine's host name"));
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(ImageIcon);
    nameRow->addWidget(EditProcessName, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Description:"), EditDescription);
    form->addRow(QStringLiteral("Company:"), EditCompany);
    form->addRow(QStringLiteral("Version:"), EditVersion);
    form->addRow(QStringLiteral("File size:"), EditFileSize);
    form->addRow(QStringLiteral("Threads:"), EditThreads);
    form->addRow(QStringLiteral("User name:"), EditUserName);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(nameRow);
    groupLayout->addLayout(form);

    // Upper right: the memory counters, each under its label; the tooltips say what Linux gives.
    EditPageFaultCount = ReadOnlyEdit(this, "EditPageFaultCount",
                                      QStringLiteral("minflt + majflt in /proc/PID/stat: minor and major page faults"));
    EditPeakWorkingSetSize = ReadOnlyEdit(this, "EditPeakWorkingSetSize",
                                          QStringLiteral("VmHWM in /proc/PID/status: the peak resident set size"));
    EditWorkingSetSize =
        ReadOnlyEdit(this, "EditWorkingSetSize", QStringLiteral("VmRSS in /proc/PID/status: the resident set size"));
    EditQuotaPeakPagedPoolUsage = ReadOnlyEdit(
        this, "EditQuotaPeakPagedPoolUsage",
        QStringLiteral("VmStk in /proc/PID/status: the size of the stack, whose pages can be swapped out "
                       "(Linux keeps no peak of it: the current size)"));
    EditQuotaPagedPoolUsage = ReadOnlyEdit(
        this, "EditQuotaPagedPoolUsage",
        QStringLiteral("VmStk in /proc/PID/status: the size of the stack, whose pages can be swapped out"));
    EditQuotaPeakNonPagedPoolUsage = ReadOnlyEdit(
        this, "EditQuotaPeakNonPagedPoolUsage",
        QStringLiteral("VmPTE in /proc/PID/status: the size of the page tables, kernel memory that is never "
                       "swapped out (Linux keeps no peak of it: the current size)"));
    EditQuotaNonPagedPoolUsage = ReadOnlyEdit(
        this, "EditQuotaNonPagedPoolUsage",
        QStringLiteral("VmPTE in /proc/PID/status: the size of the page tables, kernel memory that is never "
                       "swapped out"));
    EditPagefileUsage = ReadOnlyEdit(
        this, "EditPagefileUsage",
        QStringLiteral("RssAnon + VmSwap in /proc/PID/status: private memory, resident or swapped out"));
    EditPeakPagefileUsage = ReadOnlyEdit(this, "EditPeakPagefileUsage",
                                         QStringLiteral("VmPeak in /proc/PID/status: the peak virtual memory size"));
    const std::pair<const char*, QLineEdit*> counters[] = {
        {"Page fault count:", EditPageFaultCount},
        {"Peak working set size:", EditPeakWorkingSetSize},
        {"Working set size:", EditWorkingSetSize},
        {"Quota peak paged pool usage:", EditQuotaPeakPagedPoolUsage},
        {"Quota paged pool usage:", EditQuotaPagedPoolUsage},
        {"Quota peak non paged pool usage:", EditQuotaPeakNonPagedPoolUsage},
        {"Quota non paged pool usage:", EditQuotaNonPagedPoolUsage},
        {"Pagefile usage:", EditPagefileUsage},
        {"Peak pagefile usage:", EditPeakPagefileUsage},
    };
    auto* counterGrid = new QGridLayout;
    for (int i = 0; i < 9; ++i) {
        const int row = (i / 3) * 2;
        const int column = i % 3;
        auto* label = new QLabel(QLatin1String(counters[i].first), this);
        label->setBuddy(counters[i].second);
        counterGrid->addWidget(label, row, column);
        counterGrid->addWidget(counters[i].second, row + 1, column);
    }
    counterGrid->setRowStretch(6, 1);

    // Below: the modules.
    ListViewModules = new QTreeWidget(this);
    ListViewModules->setObjectName(QStringLiteral("ListViewModules"));
    ListViewModules->setRootIsDecorated(false);
    ListViewModules->setUniformRowHeights(true);
    ListViewModules->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewModules->setHeaderLabels({QStringLiteral("Module name"), QStringLiteral("Size"),
                                      QStringLiteral("Base address"), QStringLiteral("Description"),
                                      QStringLiteral("Company"), QStringLiteral("Path")});
    const int widths[] = {200, 75, 84, 150, 150, 325};
    for (int column = 0; column < 6; ++column)
        ListViewModules->setColumnWidth(column, widths[column]);
    ListViewModules->headerItem()->setTextAlignment(ColumnSize, Qt::AlignRight | Qt::AlignVCenter);
    ListViewModules->headerItem()->setTextAlignment(ColumnBase, Qt::AlignRight | Qt::AlignVCenter);

    ButtonClose = new QPushButton(QStringLiteral("Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    connect(ButtonClose, &QPushButton::clicked, this, [this] { ButtonCloseClick(); });

    TimerRefresh = new QTimer(this);
    TimerRefresh->setObjectName(QStringLiteral("TimerRefresh"));
    TimerRefresh->setInterval(2000);
    connect(TimerRefresh, &QTimer::timeout, this, [this] { TimerRefreshTimer(); });

    auto* top = new QHBoxLayout;
    top->addWidget(group, 2);
    top->addLayout(counterGrid, 3);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ButtonClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ListViewModules, 1);
    layout->addLayout(bottom);
    // Wider than the minimum at first, so that the executable's texts fit beside the counters.
    resize(QSize(960, 560).expandedTo(sizeHint()));
}

QString TFormProcessInformation::BaseAddressText(std::uint64_t base) {
    return u'$' + QStringLiteral("%1").arg(base, 8, 16, QLatin1Char('0')).toUpper();
}

ProcessHandle TFormProcessInformation::OpenRunning(std::uint32_t access, Pid pid) {
    if (ended_)
        return {};
    ProcessHandle handle = api_.OpenProcess(access, pid);
    if (!handle)
        return {};
    if (identity_ == 0)
        identity_ = handle.identity();
    std::uint32_t exitCode = 0;
    if (handle.identity() != identity_ || !api_.GetExitCodeProcess(handle, exitCode) || exitCode != STILL_ACTIVE) {
        ended_ = true; // whatever has its PID now is another process
        return {};
    }
    return handle;
}

void TFormProcessInformation::LoadProcessInformation(Pid pid) {
    ProcessPID = pid;
    identity_ = identityOf ? identityOf(pid) : 0;
    ended_ = false;
    const QString name = executablePath_ ? executablePath_(pid) : QString();
    const QPixmap icon = ExecutableIcon(name).pixmap(32, 32);
    ImageIcon->setPixmap(icon);
    EditProcessName->setText(QFileInfo(name).fileName());
    EditDescription->setText(GetFileDescription(name));
    EditCompany->setText(GetCompanyName(name));
    EditVersion->setText(GetFileVersionText(name));
    EditFileSize->setText(FormatSize(GetFileSize64(name)));
    ListViewModules->clear();
    LoadModuleList(pid);
    GetProcessMemoryUsage(pid);
    GetProcessInformation(pid);
}

void TFormProcessInformation::LoadModuleList(Pid pid) {
    const ProcessHandle handle = OpenRunning(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, pid);
    std::vector<ModuleEntry> modules;
    if (!handle || !api_.EnumProcessModuleList(handle, modules))
        return;
    QList<QTreeWidgetItem*> rows;
    for (const ModuleEntry& module : modules) {
        if (module.base == 0)
            continue;
        auto* row = new QTreeWidgetItem;
        row->setText(ColumnName, QFileInfo(module.path).fileName());
        row->setText(ColumnSize, FormatSize(static_cast<std::int64_t>(module.size)));
        row->setText(ColumnBase, BaseAddressText(module.base));
        row->setText(ColumnDescription, GetFileDescription(module.path));
        row->setText(ColumnCompany, GetCompanyName(module.path));
        row->setText(ColumnPath, module.path);
        row->setTextAlignment(ColumnSize, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(ColumnBase, Qt::AlignRight | Qt::AlignVCenter);
        rows.append(row);
    }
    ListViewModules->addTopLevelItems(rows);
    // The column's first width holds a 32-bit address; a 64-bit one widens it to fit.
    const int width = ListViewModules->columnWidth(ColumnBase);
    ListViewModules->resizeColumnToContents(ColumnBase);
    if (ListViewModules->columnWidth(ColumnBase) < width)
        ListViewModules->setColumnWidth(ColumnBase, width);
}

void TFormProcessInformation::GetProcessMemoryUsage(Pid pid) {
    const ProcessHandle handle = OpenRunning(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, pid);
    ProcessMemoryCounters counters;
    if (!handle || !api_.GetProcessMemoryInfo(handle, counters))
        return;
    const auto size = [](std::uint64_t bytes) { return FormatSizeFloat(static_cast<double>(bytes)); };
    EditPageFaultCount->setText(QString::number(counters.PageFaultCount));
    EditPeakWorkingSetSize->setText(size(counters.PeakWorkingSetSize));
    EditWorkingSetSize->setText(size(counters.WorkingSetSize));
    EditQuotaPeakPagedPoolUsage->setText(size(counters.QuotaPeakPagedPoolUsage));
    EditQuotaPagedPoolUsage->setText(size(counters.QuotaPagedPoolUsage));
    EditQuotaPeakNonPagedPoolUsage->setText(size(counters.QuotaPeakNonPagedPoolUsage));
    EditQuotaNonPagedPoolUsage->setText(size(counters.QuotaNonPagedPoolUsage));
    EditPagefileUsage->setText(size(counters.PagefileUsage));
    EditPeakPagefileUsage->setText(size(counters.PeakPagefileUsage));
}

void TFormProcessInformation::GetProcessInformation(Pid pid) {
    // The thread count needs no open: it is there even for processes that cannot be opened. It
    // counts for the process shown when that one still runs after the count was read.
    std::uint32_t threads = 0;
    const bool counted = !ended_ && api_.GetProcessThreadCount(pid, threads);
    const ProcessHandle handle = OpenRunning(PROCESS_QUERY_INFORMATION, pid);
    if (counted && !ended_)
        EditThreads->setText(QString::number(threads));
    QString user;
    if (handle && api_.GetProcessUserName(handle, user))
        EditUserName->setText(user);
}

void TFormProcessInformation::TimerRefreshTimer() {
    GetProcessMemoryUsage(ProcessPID);
    GetProcessInformation(ProcessPID);
}

void TFormProcessInformation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TimerRefresh->start();
}

void TFormProcessInformation::hideEvent(QHideEvent* event) {
    TimerRefresh->stop();
    QDialog::hideEvent(event);
}

void TFormProcessInformation::closeEvent(QCloseEvent* event) {
    TimerRefresh->stop();
    QDialog::closeEvent(event);
}

} // namespace kelvane
