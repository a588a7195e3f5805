#include "settings/AtomicFile.h"

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
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        target = info.symLinkTarget(); // absolute, relative links resolved against their folder
    }
    return target;
}

std::optional<QByteArray> ReadWholeFile(const QString& path, QString* reason) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason != nullptr)
            *reason = file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

bool UpdateFile(const QString& path,
                const std::function<std::optional<QByteArray>(const std::optional<QByteArray>& current)>& change,
                QString* reason) {
    const QString target = ResolveWriteTarget(path);
    const QFileInfo info(target);
    const QByteArray dirName = QFile::encodeName(info.absolutePath());
    const QByteArray fileName = QFile::encodeName(info.fileName());
    const QByteArray targetName = QFile::encodeName(target);

    Fd dir(::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        *reason = Reason(errno);
        return false;
    }
    if (::flock(dir.get(), LOCK_EX) != 0) {
        *reason = Reason(errno);
        return false;
    }

    // The current content, read under the lock so that no other writer's change is lost.
    std::optional<QByteArray> current;
    struct stat st {};
    const bool exists = ::stat(targetName.constData(), &st) == 0;
    if (exists) {
        // A read-only file stays as it is, even for root.
        errno = 0;
    if ((st.st_mode & 0222) == 0 || ::access(targetName.constData(), W_OK) != 0) {
            *reason = Reason(errno != 0 ? errno : EACCES);
            return false;
        }
        current = ReadWholeFile(target, reason);
        if (!current)
            return false;
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
