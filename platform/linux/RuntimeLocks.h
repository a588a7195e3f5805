#pragma once
// Locks that keep Kelvane from running twice where that would do harm: one window per session,
// and one optimizer for a set of processes. They are flock(2) locks on files in a folder of the
// user's own ($XDG_RUNTIME_DIR/kelvane) or, for the optimizer acting on every user's processes,
// in /run/kelvane. The kernel drops a flock with the last descriptor, so a lock a killed process
// held never blocks; the file it leaves behind is taken over by the next one.
//
// The processes an optimizer acts on are those it can see: the lock names carry the PID
// namespace, so optimizers in different namespaces (containers, tests) never meet.

#include <QString>
#include <QStringList>
#include <optional>

namespace kelvane::linux_port {

// The user's folder for Kelvane's locks and sockets, made on first use with mode 0700:
// $XDG_RUNTIME_DIR/kelvane, else /run/user/UID/kelvane, else /tmp/kelvane-UID. Empty, with
// `error` set, when there is none that is the user's alone.
QString UserRuntimeFolder(QString* error = nullptr);

// The inode number of this process's PID namespace ("4026531836"), or "0" when unknown.
QString PidNamespaceKey();

// A flock held while the object lives.
class FileLock {
public:
    enum class Mode { Exclusive, Shared };
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Tries once, without waiting. With `create` the file is made (mode 0644) when missing;
    // without it a missing file fails with ENOENT. False with errno set when the lock is held.
    bool Try(const QString& path, Mode mode, bool create);
    // Writes `text` as the file's whole content (who holds it, for the message of the next one).
    void Describe(const QByteArray& text);
    bool held() const { return fd_ >= 0; }
    void Release();

private:
    int fd_ = -1;
    QString path_;
};

// What an optimizer locks. The defaults are the user's runtime folder, /run/kelvane and every
// user's runtime folder; tests give folders of their own.
struct OptimizerLockPaths {
    QString userFolder;           // this user's folder; empty: none could be had
    QString systemFolder;         // the folder of the optimizer for every user
    QStringList otherUserFolders; // every user's folder, as glob patterns
    static OptimizerLockPaths Default();
};

// One optimizer per set of processes: an optimizer for this user's processes holds the user's
// lock and a shared hold on the system one (when that exists), so that the optimizer for every
// user's processes (root or CAP_SYS_NICE), which holds the system lock alone, cannot start
// beside it, nor it beside that one.
class OptimizerLock {
public:
    // Takes the lock; false with `why` set when another optimizer of Kelvane acts on the same
    // processes ("Another Kelvane optimizer (kelvane, PID 4242) already acts on this user's
    // processes", without a final stop). A folder that cannot be used does not block.
    bool Acquire(const OptimizerLockPaths& paths, bool everyone, QString* why);
    bool held() const { return user_.held() || system_.held(); }
    void Release();

private:
    FileLock user_;
    FileLock system_;
};

// Whether this process acts on every user's processes: it runs as root or may use CAP_SYS_NICE.
bool OptimizesEveryone();

// The text that Acquire leaves in a lock's file, read back for the message of a refused one.
QString LockHolderOf(const QString& path);

} // namespace kelvane::linux_port
