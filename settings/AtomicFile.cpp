#include "settings/AtomicFile.h"

#include "util/FileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Where a link points, as an absolute path (a relative target is taken from the link's folder);
// empty when it cannot be read. The link's exact bytes, whatever they are, are what is followed.
QString LinkTarget(const QString& link) {
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(EncodeFileName(link).constData(), target.data(), static_cast<std::size_t>(target.size()));
    if (n <= 0 || n >= target.size())
        return {};
    target.truncate(n);
    if (!target.startsWith('/'))
        target = EncodeFileName(QFileInfo(link).absolutePath()) + '/' + target;
    return QDir::cleanPath(DecodeFileName(target));
}

// Temporary files of a writer that died before its rename: only writers holding the folder lock
// make them, so under the lock any that remain are stale.
void RemoveStaleTemporaries(int dirFd, const QByteArray& prefix) {
    const int dupFd = ::dup(dirFd);
    if (dupFd < 0)
        return;
    DIR* dir = ::fdopendir(dupFd);
    if (dir == nullptr) {
        ::close(dupFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir))
        if (std::strncmp(entry->d_name, prefix.constData(), static_cast<std::size_t>(prefix.size())) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
    ::closedir(dir);
}

} // namespace

QString ResolveWriteTarget(const QString& path) {
    QString target = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(EncodeFileName(target).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        const QString next = LinkTarget(target);
        if (next.isEmpty())
            return target;
        target = next;
    }
    return target;
}

std::optional<QString> FollowedTarget(const QString& path, QString* reason) {
    QString target = QFileInfo(path).absoluteFilePath();
    const uid_t self = ::geteuid();
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(EncodeFileName(target).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target; // the file itself, or a new one
        if (st.st_uid != self && st.st_uid != 0) {
            if (reason != nullptr)
                *reason = QStringLiteral("%1 is a symbolic link of another user").arg(target);
            return std::nullopt;
        }
        target = LinkTarget(target);
        if (target.isEmpty())
            break;
    }
    if (reason != nullptr)
        *reason = Reason(ELOOP);
    return std::nullopt;
}

namespace {

enum class Read { Done, Absent, Failed };

// Reads a regular file without ever blocking (O_NONBLOCK: a FIFO does not wait for a writer) and
// without following a link at the last step (the caller has resolved the links it follows).
Read ReadRegularFile(const QByteArray& name, QByteArray& bytes, struct stat& st, QString* reason) {
    Fd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return Read::Absent;
        if (reason != nullptr)
            *reason = Reason(errno);
        return Read::Failed;
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (reason != nullptr)
            *reason = QStringLiteral("%1 is not a regular file").arg(DecodeFileName(name));
        return Read::Failed;
    }
    bytes.clear();
    bytes.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (reason != nullptr)
                *reason = Reason(errno);
            return Read::Failed;
        }
        if (n == 0)
            return Read::Done;
        bytes.append(buffer, n);
    }
}

} // namespace

std::optional<QByteArray> ReadWholeFile(const QString& path, QString* reason) {
    const std::optional<QString> target = FollowedTarget(path, reason);
    if (!target)
        return std::nullopt;
    QByteArray bytes;
    struct stat st {};
    if (ReadRegularFile(EncodeFileName(*target), bytes, st, reason) != Read::Done)
        return std::nullopt;
    return bytes;
}

bool WriteNewFile(const QString& path, const QByteArray& bytes, QString* reason) {
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    const QByteArray dirName = EncodeFileName(info.absolutePath());
    const QByteArray targetName = EncodeFileName(info.absoluteFilePath());
    // mkostemp creates with O_EXCL: a name that exists, a link included, is never opened.
    QByteArray tempName = dirName + "/." + EncodeFileName(info.fileName()) + ".new-XXXXXX";
    Fd temp(::mkostemp(tempName.data(), O_CLOEXEC));
    if (temp.get() < 0) {
        *reason = Reason(errno);
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = WriteAll(temp.get(), bytes) && ::fchmod(temp.get(), 0666 & ~mask) == 0 && ::fsync(temp.get()) == 0;
    const int savedErrno = errno;
    ::close(temp.release());
    // The rename replaces what stands at the path, a link itself rather than its target.
    if (!ok || ::rename(tempName.constData(), targetName.constData()) != 0) {
        const int why = ok ? errno : savedErrno;
        ::unlink(tempName.constData());
        *reason = Reason(why);
        return false;
    }
    return true;
}

bool UpdateFile(const QString& path,
                const std::function<std::optional<QByteArray>(const std::optional<QByteArray>& current)>& change,
                QString* reason) {
    const std::optional<QString> followed = FollowedTarget(path, reason);
    if (!followed)
        return false;
    const QString target = *followed;
    const QFileInfo info(target);
    const QByteArray dirName = EncodeFileName(info.absolutePath());
    const QByteArray fileName = EncodeFileName(info.fileName());
    const QByteArray targetName = EncodeFileName(target);

    Fd dir(::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        *reason = Reason(errno);
        return false;
    }
    if (::flock(dir.get(), LOCK_EX) != 0) {
        *reason = Reason(errno);
        return false;
    }

    // The current content, read under the lock so that no other writer's change is lost. The read
    // cannot block: it opens only a regular file, without waiting.
    std::optional<QByteArray> current;
    struct stat st {};
    QByteArray bytes;
    const Read read = ReadRegularFile(targetName, bytes, st, reason);
    if (read == Read::Failed)
        return false;
    const bool exists = read == Read::Done;
    if (exists) {
        // A read-only file stays as it is, even for root.
        errno = 0;
        if ((st.st_mode & 0222) == 0 || ::access(targetName.constData(), W_OK) != 0) {
            *reason = Reason(errno != 0 ? errno : EACCES);
            return false;
        }
        current = std::move(bytes);
    }
    const std::optional<QByteArray> replacement = change(current);
    if (!replacement)
        return true;

    const QByteArray prefix = '.' + fileName + ".new-";
    RemoveStaleTemporaries(dir.get(), prefix);
    QByteArray tempName = dirName + '/' + prefix + "XXXXXX";
    Fd temp(::mkostemp(tempName.data(), O_CLOEXEC));
    if (temp.get() < 0) {
        *reason = Reason(errno);
        return false;
    }
    bool ok = WriteAll(temp.get(), *replacement);
    if (ok && exists) {
        ok = ::fchmod(temp.get(), st.st_mode & 07777) == 0;
        if (ok && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
            ok = ::fchown(temp.get(), st.st_uid, st.st_gid) == 0;
    } else if (ok) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(temp.get(), 0666 & ~mask) == 0;
    }
    ok = ok && ::fsync(temp.get()) == 0;
    const int savedErrno = errno;
    ::close(temp.release());
    if (!ok || ::rename(tempName.constData(), targetName.constData()) != 0) {
        const int why = ok ? errno : savedErrno;
        ::unlink(tempName.constData());
        *reason = Reason(why);
        return false;
    }
    ::fsync(dir.get());
    return true;
}

} // namespace kelvane
