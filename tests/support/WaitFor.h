#pragma once
// Waiting in GUI tests for a condition, never for a fixed time.

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace kelvane::test {

// Processes events until `condition` holds or `timeoutMs` passed; the condition's last value.
template <typename Condition> bool WaitFor(Condition condition, int timeoutMs = 6000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace kelvane::test
