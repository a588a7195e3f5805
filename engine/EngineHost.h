#pragma once
// What the engine needs from the window: the main window implements this, tests record it.

#include <QString>

namespace kelvane {

enum class MessageKind { Plain, Error, Warning, Information };

class EngineHost {
public:
    virtual ~EngineHost() = default;
    // A modal message box with a single OK button.
    virtual void MessageBox(const QString& text, MessageKind kind) = 0;
};

} // namespace kelvane
