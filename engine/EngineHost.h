#pragma once
// What the engine needs from the window: the main window implements this, tests record it.

#include <QString>
#include <vector>

#include "engine/DetailLabels.h"

namespace kelvane {

enum class MessageKind { Plain, Error, Warning, Information };

class EngineHost {
public:
    virtual ~EngineHost() = default;
    // A modal message box with a single OK button.
    virtual void MessageBox(const QString& text, MessageKind kind) = 0;
    // The detail labels of the selected process changed (the optimization cycle refreshes them).
    virtual void ShowDetailLabels(const DetailLabels& /*labels*/) {}
    // The affinity list's check marks, one per processor, as a process's mask says.
    virtual void SetAffinityMarks(const std::vector<bool>& /*marks*/) {}
};

} // namespace kelvane
