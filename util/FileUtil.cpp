#include "util/FileUtil.h"

#include "util/FileName.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

// Paths go to the system as their exact bytes (util/FileName.h): a name that is not UTF-8 is still
// the file it names.

bool CreateUnicodeFile(const QString& path) {
    const QByteArray name = EncodeFileName(path);
    // O_EXCL: never truncate a file that appeared meanwhile, nor write through a link.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "\xFF\xFE", 2) == 2;
    ::close(fd);
    if (!ok)
        ::unlink(name.constData());
    return ok;
}

std::int64_t GetFileSize64(const QString& path) {
    struct stat st {};
    if (::stat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool MakeFolders(const QString& path) {
    QByteArray name = EncodeFileName(path);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    struct stat st {};
    if (name.isEmpty() || ::stat(name.constData(), &st) == 0)
        return !name.isEmpty() && S_ISDIR(st.st_mode);
    // Each missing folder from the top down; one made meanwhile by someone else is fine.
    for (qsizetype slash = name.indexOf('/', 1);; slash = name.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? name : name.left(slash);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash < 0)
            break;
    }
    return ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace kelvane
