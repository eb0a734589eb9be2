#include "ctl/stdstreams.h"

#include "ctl/ctlargs.h"

#include <QFileDevice>
#include <QString>
#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace ctl {

namespace {

#ifdef Q_OS_UNIX
    // Puts `path` at descriptor `fd` when fd is closed; true when it was closed.
    bool fillWhenClosed(int fd, const char *path, int flags)
    {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            return false;
        const int opened = ::open(path, flags);
        if (opened >= 0 && opened != fd) {
            // Only when a lower standard stream is closed too and could not be filled.
            ::dup2(opened, fd);
            ::close(opened);
        }
        return true;
    }

    // A closed stdout or stderr gets /dev/full, where writes fail and are
    // noticed; without /dev/full, /dev/null at least keeps the number taken.
    bool fillOutput(int fd)
    {
        if (!fillWhenClosed(fd, "/dev/full", O_WRONLY))
            return false;
        fillWhenClosed(fd, "/dev/null", O_WRONLY);
        return true;
    }
#endif

} // namespace

StandardStreams guardStandardStreams()
{
    StandardStreams streams;
#ifdef Q_OS_UNIX
    fillWhenClosed(STDIN_FILENO, "/dev/null", O_RDONLY);
    streams.outClosed = fillOutput(STDOUT_FILENO);
    fillOutput(STDERR_FILENO);
    // A reader that went away (| head -1) fails the write instead of ending
    // the tool in the middle of a download; the end reports the lost output.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    return streams;
}

int finishOutput(int exitCode, QTextStream &out, QTextStream &err, const StandardStreams &streams)
{
    out.flush();
    QString lost;
    if (out.status() != QTextStream::Ok) {
        const auto *file = qobject_cast<const QFileDevice *>(out.device());
        lost = file && file->error() != QFileDevice::NoError ? file->errorString()
                                                             : QStringLiteral("write failed");
    }
    errno = 0;
    if (std::fflush(stdout) != 0 && lost.isEmpty())
        lost = QString::fromLocal8Bit(std::strerror(errno));
    if (std::ferror(stdout) && lost.isEmpty())
        lost = QStringLiteral("write error");
    if (!lost.isEmpty()) {
        err << "tavixctl: output lost: "
            << (streams.outClosed ? QStringLiteral("standard output is closed")
                                  : QStringLiteral("cannot write to standard output (%1)").arg(lost));
        if (exitCode != ExitOk)
            err << "; the command itself ended with exit code " << exitCode;
        err << '\n';
        exitCode = ExitOutputLost;
    }
    err.flush();
    std::fflush(stderr);
    return exitCode;
}

bool stdoutIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDOUT_FILENO) == 1;
#elif defined(Q_OS_WIN)
    // A console that takes the progress bars' escape sequences (Windows 10 on);
    // a redirected output or an older console gets the plain lines.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode))
        return false;
    constexpr DWORD kVirtualTerminal = 0x0004; // ENABLE_VIRTUAL_TERMINAL_PROCESSING
    return (mode & kVirtualTerminal) || SetConsoleMode(out, mode | kVirtualTerminal);
#else
    return false;
#endif
}

} // namespace ctl
