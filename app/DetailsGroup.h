#pragma once
// The group " Details: ": the cycle timings and the selected process's CPU figures.

#include <QGroupBox>
#include <QLabel>

#include "engine/DetailLabels.h"

namespace kelvane::app {

class TDetailsGroup : public QGroupBox {
public:
    explicit TDetailsGroup(QWidget* parent = nullptr);

    QLabel* LabelOptV;
    QLabel* LabelRefreshV;
    QLabel* LabelCPUTimeV;
    QLabel* LabelCPUTimeRV;
    QLabel* LabelCPUDeltaRV;
    QLabel* LabelCPUDeltaV;

    // The figures of the selected process as the optimization cycle reports them.
    void Show(const DetailLabels& labels);
    // A new selection: the four CPU labels back to "0" and "0 ms".
    void ResetCpuLabels();
    // LabelOptV in red, as the first selection leaves it.
    void MarkOptimizeRed();
};

} // namespace kelvane::app
