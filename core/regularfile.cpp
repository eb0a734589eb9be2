#include "core/regularfile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace regularfile {

namespace {

#ifdef Q_OS_UNIX
    Kind kindOfMode(mode_t mode)
    {
        if (S_ISREG(mode))
            return Kind::Regular;
        if (S_ISDIR(mode))
            return Kind::Directory;
        if (S_ISFIFO(mode))
            return Kind::Fifo;
        if (S_ISCHR(mode) || S_ISBLK(mode))
            return Kind::Device;
        if (S_ISSOCK(mode))
            return Kind::Socket;
        return Kind::Other;
    }
#endif

} // namespace

Kind kindOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st { };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::Missing;
    return kindOfMode(st.st_mode);
#else
    const QFileInfo info(path);
    if (!info.exists())
        return Kind::Missing;
    if (info.isDir())
        return Kind::Directory;
    return info.isFile() ? Kind::Regular : Kind::Other;
#endif
}

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Missing:
        return QStringLiteral("missing");
    case Kind::Regular:
        break;
    case Kind::Directory:
        return QStringLiteral("a directory");
    case Kind::Fifo:
        return QStringLiteral("a FIFO (named pipe)");
    case Kind::Device:
        return QStringLiteral("a device");
    case Kind::Socket:
        return QStringLiteral("a socket");
    case Kind::Other:
        return QStringLiteral("not a regular file");
    }
    return QString();
}

bool openForReading(QFile &file, const QString &path, QIODevice::OpenMode mode, Kind *kind)
{
    const auto found = [kind](Kind k) {
        if (kind)
            *kind = k;
    };
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A socket cannot be opened at all; say what it is all the same.
        found(kindOf(path));
        return false;
    }
    struct stat st { };
    const Kind k = ::fstat(fd, &st) == 0 ? kindOfMode(st.st_mode) : Kind::Other;
    found(k);
    if (k != Kind::Regular) {
        ::close(fd);
        return false;
    }
    // Reads of a regular file wait for the disk as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, mode | QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const Kind k = kindOf(path);
    found(k);
    if (k != Kind::Regular)
        return false;
    file.setFileName(path);
    return file.open(mode | QIODevice::ReadOnly);
#endif
}

QString firstUnusedPath(const std::function<QString(int attempt)> &pathFor, int attempts)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const QString path = pathFor(attempt);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return path;
    }
    return QString();
}

} // namespace regularfile
