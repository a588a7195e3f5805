#include "app/DetailsGroup.h"

#include <QGridLayout>

namespace kelvane::app {

TDetailsGroup::TDetailsGroup(QWidget* parent) : QGroupBox(QStringLiteral(" Details: "), parent) {
    setObjectName(QStringLiteral("GroupBoxDetails"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    struct Row {
        const char* caption;
        const char* hint;
        const char* name;
        QLabel** value;
    };
    const Row rows[] = {
        {"Optimize:", "Optimize cycle length", "LabelOptV", &LabelOptV},
        {"Refresh:", "Manager profiles refresh cycle length", "LabelRefreshV", &LabelRefreshV},
        {"CPU Time:", "Process's absolute CPU Time", "LabelCPUTimeV", &LabelCPUTimeV},
        {"CPU Time:", "Process's CPU Time", "LabelCPUTimeRV", &LabelCPUTimeRV},
        {"Delta Time:", "Process's absolute last CPU Delta Time", "LabelCPUDeltaRV", &LabelCPUDeltaRV},
        {"Delta Time:", "Process's CPU Delta Time in milliseconds", "LabelCPUDeltaV", &LabelCPUDeltaV},
    };
    int r = 0;
    for (const Row& row : rows) {
        auto* caption = new QLabel(QString::fromUtf8(row.caption), this);
        caption->setStatusTip(QString::fromUtf8(row.hint));
        auto* value = new QLabel(QStringLiteral("0"), this);
        value->setObjectName(QLatin1String(row.name));
        value->setStatusTip(QString::fromUtf8(row.hint));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("000000000")));
        *row.value = value;
        grid->addWidget(caption, r, 0);
        grid->addWidget(value, r, 1);
        ++r;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(r, 1);
}

void TDetailsGroup::Show(const DetailLabels& labels) {
    LabelCPUTimeV->setText(labels.cpuTime);
    LabelCPUTimeRV->setText(labels.cpuTimeRow);
    if (labels.cpuDelta)
        LabelCPUDeltaV->setText(*labels.cpuDelta);
    if (labels.cpuDeltaRaw)
        LabelCPUDeltaRV->setText(*labels.cpuDeltaRaw);
}

void TDetailsGroup::ResetCpuLabels() {
    LabelCPUTimeV->setText(QStringLiteral("0"));
    LabelCPUTimeRV->setText(QStringLiteral("0"));
    LabelCPUDeltaRV->setText(QStringLiteral("0"));
    LabelCPUDeltaV->setText(QStringLiteral("0 ms"));
}

void TDetailsGroup::MarkOptimizeRed() {
    QPalette colours = LabelOptV->palette();
    colours.setColor(QPalette::WindowText, QColor(255, 0, 0));
    LabelOptV->setPalette(colours);
}

} // namespace kelvane::app
