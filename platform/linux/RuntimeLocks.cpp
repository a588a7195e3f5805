#include "platform/linux/RuntimeLocks.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <glob.h>
#include <sys/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

// A folder that is this user's alone: made with mode 0700 when missing, refused when another
// user owns it or others may write into it (a lock there could be taken or removed by them).
bool OwnFolder(const QString& path, bool make, QString* error) {
    const QByteArray native = QFile::encodeName(path);
    if (make && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        if (error != nullptr)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(::strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 0022) != 0) {
        if (error != nullptr)
            *error = QStringLiteral("%1 is not a folder of this user's alone").arg(path);
        return false;
    }
    return true;
}

bool SameFile(int fd, const QString& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

QString LockName(const QString& folder) {
    return folder + QStringLiteral("/optimizer-") + PidNamespaceKey() + QStringLiteral(".lock");
}

QStringList OtherUsersLocks(const QStringList& globs) {
    QStringList locks;
    for (const QString& pattern : globs) {
        glob_t found {};
        const QByteArray native = QFile::encodeName(LockName(pattern));
        if (::glob(native.constData(), GLOB_NOSORT, nullptr, &found) == 0)
            for (std::size_t i = 0; i < found.gl_pathc; ++i)
                locks.append(QFile::decodeName(found.gl_pathv[i]));
        ::globfree(&found);
    }
    return locks;
}

QString Holder(const QString& path) {
    const QString holder = LockHolderOf(path);
    return holder.isEmpty() ? QString() : QStringLiteral(" (") + holder + u')';
}

} // namespace

QString UserRuntimeFolder(QString* error) {
    QStringList candidates;
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty())
        candidates.append(runtime);
    candidates.append(QStringLiteral("/run/user/%1").arg(::geteuid()));
    for (const QString& folder : candidates)
        if (OwnFolder(folder, false, nullptr) && OwnFolder(folder + QStringLiteral("/kelvane"), true, error))
            return folder + QStringLiteral("/kelvane");
    const QString tmp = QStringLiteral("/tmp/kelvane-%1").arg(::geteuid());
    return OwnFolder(tmp, true, error) ? tmp : QString();
}

QString PidNamespaceKey() {
    struct stat st {};
    if (::stat("/proc/self/ns/pid", &st) != 0)
        return QStringLiteral("0");
    return QString::number(static_cast<qulonglong>(st.st_ino));
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock() { Release(); }

bool FileLock::Try(const QString& path, Mode mode, bool create) {
    Release();
    const QByteArray native = QFile::encodeName(path);
    // A holder that ends removes the file; whoever locked the removed file tries the new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW;
        const int fd = ::open(native.constData(), flags, 0644);
        if (fd < 0)
            return false;
        if (::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (SameFile(fd, path)) {
            fd_ = fd;
            path_ = mode == Mode::Exclusive ? path : QString();
            return true;
        }
        ::close(fd);
        if (!create && !QFile::exists(path)) {
            errno = ENOENT;
            return false;
        }
    }
    errno = EAGAIN;
    return false;
}

void FileLock::Describe(const QByteArray& text) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0)
        return;
    [[maybe_unused]] const ssize_t written = ::pwrite(fd_, text.constData(), static_cast<std::size_t>(text.size()), 0);
}

void FileLock::Release() {
    if (fd_ < 0)
        return;
    // Removed while still held, so that no one can lock this file after it is let go.
    if (!path_.isEmpty())
        ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

OptimizerLockPaths OptimizerLockPaths::Default() {
    OptimizerLockPaths paths;
    paths.userFolder = UserRuntimeFolder();
    paths.systemFolder = QStringLiteral("/run/kelvane");
    paths.otherUserFolders = {QStringLiteral("/run/user/*/kelvane"), QStringLiteral("/tmp/kelvane-*")};
    return paths;
}

bool OptimizerLock::Acquire(const OptimizerLockPaths& paths, bool everyone, QString* why) {
    Release();
    const QByteArray self = QByteArray(program_invocation_short_name) + ", PID " + QByteArray::number(::getpid());
    const QString systemLock = LockName(paths.systemFolder);
    if (everyone) {
        // No user's optimizer may run beside this one: each holds its user's lock.
        for (const QString& lock : OtherUsersLocks(paths.otherUserFolders)) {
            FileLock probe;
            if (!probe.Try(lock, FileLock::Mode::Shared, false) && errno == EWOULDBLOCK) {
                *why = QStringLiteral("Another Kelvane optimizer%1 already acts on a user's processes")
                           .arg(Holder(lock));
                return false;
            }
        }
        ::mkdir(QFile::encodeName(paths.systemFolder).constData(), 0755);
        if (!system_.Try(systemLock, FileLock::Mode::Exclusive, true)) {
            if (errno != EWOULDBLOCK)
                return true; // no folder for the lock: nothing to keep apart
            *why = QStringLiteral("Another Kelvane optimizer%1 already acts on these processes")
                       .arg(Holder(systemLock));
            return false;
        }
        system_.Describe(self);
        return true;
    }
    if (!paths.userFolder.isEmpty()) {
        const QString userLock = LockName(paths.userFolder);
        if (!user_.Try(userLock, FileLock::Mode::Exclusive, true)) {
            if (errno == EWOULDBLOCK) {
                *why = QStringLiteral("Another Kelvane optimizer%1 already acts on this user's processes")
                           .arg(Holder(userLock));
                return false;
            }
        } else {
            user_.Describe(self);
        }
    }
    // The optimizer for every user, where one has ever run: held shared, so that it cannot start
    // while this one runs.
    if (!system_.Try(systemLock, FileLock::Mode::Shared, false) && errno == EWOULDBLOCK) {
        *why = QStringLiteral("The Kelvane optimizer for every user%1 already acts on these processes")
                   .arg(Holder(systemLock));
        user_.Release();
        return false;
    }
    return true;
}

void OptimizerLock::Release() {
    system_.Release();
    user_.Release();
}

bool OptimizesEveryone() {
    if (::geteuid() == 0)
        return true;
    bool permitted = false;
    if (cap_t caps = cap_get_proc()) {
        cap_flag_value_t value = CAP_CLEAR;
        permitted = cap_get_flag(caps, CAP_SYS_NICE, CAP_PERMITTED, &value) == 0 && value == CAP_SET;
        cap_free(caps);
    }
    return permitted;
}

QString LockHolderOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(64)).trimmed();
}

} // namespace kelvane::linux_port
