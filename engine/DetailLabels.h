#pragma once

#include <QString>
#include <optional>

namespace kelvane {

// The detail labels of the selected process.
struct DetailLabels {
    QString cpuTime;                  // LabelCPUTimeV
    QString cpuTimeRow;               // LabelCPUTimeRV
    std::optional<QString> cpuDelta;  // LabelCPUDeltaV, only when the delta is not 0
    std::optional<QString> cpuDeltaRaw; // LabelCPUDeltaRV
};

} // namespace kelvane
