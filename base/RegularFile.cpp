#include "base/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a name that is no ordinary file stands for, in the user's words.
QString kindOfNonRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a named pipe, not an ordinary file");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not an ordinary file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("It is a device, not an ordinary file");
    return QStringLiteral("It is not an ordinary file");
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads at most Limit + 1 bytes, so that a longer file shows itself.
bool readUpTo(int fd, qint64 limit, QByteArray &bytes, QString &failure)
{
    constexpr qint64 Chunk = 1 << 20;
    for (;;) {
        const qint64 wanted = std::min<qint64>(Chunk, limit + 1 - bytes.size());
        if (wanted <= 0)
            return true;
        const qsizetype at = bytes.size();
        bytes.resize(at + wanted);
        const ssize_t got = ::read(fd, bytes.data() + at, std::size_t(wanted));
        if (got < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        if (got < 0) {
            failure = systemReason(errno);
            return false;
        }
        bytes.resize(at + got);
        if (got == 0)
            return true;
    }
}

// A file compiled into the program (a path starting with a colon).
RegularFileRead readResource(const QString &path, qint64 limit)
{
    RegularFileRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.failure = file.errorString();
        return result;
    }
    result.opened = true;
    result.tooLarge = file.size() > limit;
    if (!result.tooLarge)
        result.bytes = file.readAll();
    return result;
}

} // namespace

RegularFileRead readRegularFile(const QString &path, qint64 limit)
{
    if (path.startsWith(QLatin1Char(':')))
        return readResource(path, limit);
    RegularFileRead result;
    // Not blocking: opening a named pipe without a writer would wait forever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.failure = systemReason(errno);
        return result;
    }
    struct stat status {
    };
    if (::fstat(fd, &status) != 0) {
        result.failure = systemReason(errno);
    } else if (!S_ISREG(status.st_mode)) {
        result.failure = kindOfNonRegular(status.st_mode);
    } else {
        result.opened = true;
        // The size the file claims is checked first, what it holds after.
        result.tooLarge = status.st_size > limit;
        if (!result.tooLarge && readUpTo(fd, limit, result.bytes, result.failure) && result.bytes.size() > limit) {
            result.bytes.clear();
            result.tooLarge = true;
        }
    }
    ::close(fd);
    return result;
}
