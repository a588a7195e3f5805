#pragma once
// One kelvane window per desktop session: the first start holds a lock in the user's runtime
// folder and listens on a local socket beside it; a later start finds the lock held, asks the
// first over the socket to show its window, and ends. The session is the user's display (X or
// Wayland) in this PID namespace. A lock that a killed kelvane held is the kernel's to drop, so it
// never keeps the next start from running; its socket file is replaced.

#include <QObject>
#include <QString>
#include <functional>

#include "platform/linux/RuntimeLocks.h"

class QSocketNotifier;

namespace kelvane::app {

class SingleInstance : public QObject {
public:
    SingleInstance() = default;
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The name of this session's lock and socket in the runtime folder.
    static QString SessionKey();

    enum class Claimed { Ours, Others, Unavailable };
    // Takes the session's window for this process: Others when another kelvane has it (then
    // `AskToShow` reaches that one), Unavailable when the lock cannot be had at all (no runtime
    // folder, or one this user cannot write): nothing keeps a second start out then. While this
    // one has it, each later start's request runs `show`.
    Claimed Claim(const QString& folder, const QString& key, std::function<void()> show);

    // Asks the kelvane that has the session's window to show it, waiting up to `timeoutMs` for
    // its answer. False, with `error` set, when it cannot be reached or does not answer.
    static bool AskToShow(const QString& folder, const QString& key, int timeoutMs, QString* error);

private:
    void Serve();

    linux_port::FileLock lock_;
    int listener_ = -1;
    QString socketPath_;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> show_;
};

} // namespace kelvane::app
