// Guards a test that puts FIFOs where files are read: should the code under
// test open one and wait for a writer after all, a writer opened after a few
// seconds (and soon closed again, which also ends a read that follows) lets it
// go on, and the test fails instead of hanging. Windows has no FIFOs in its
// file system: there makeFifo() fails, and the tests skip those rows.
#ifndef TAVIX_TESTS_FIFOGUARD_H
#define TAVIX_TESTS_FIFOGUARD_H

#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// Makes a FIFO at `path`; false where that fails, and always on Windows.
inline bool makeFifo(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

class FifoGuard {
public:
    enum MakeFifo { Make };

    // Watches FIFOs that exist already, from now until done().
    explicit FifoGuard(const QStringList &paths)
    {
        for (const QString &path : paths)
            fifos.push_back(QFile::encodeName(path));
        arm();
    }
    // Makes a FIFO at `path` (made() tells whether that worked) and removes
    // it at the end; watch it with arm() ... disarm().
    FifoGuard(MakeFifo, const QString &path)
        : fifos { QFile::encodeName(path) }
        , owned(true)
        , ok(makeFifo(path))
    {
    }
    ~FifoGuard()
    {
        disarm();
        if (owned && ok)
            QFile::remove(QFile::decodeName(fifos.front()));
    }
    FifoGuard(const FifoGuard &) = delete;
    FifoGuard &operator=(const FifoGuard &) = delete;

    bool made() const { return ok; }

    // Watches from now until disarm(): after `seconds`, gives every FIFO a
    // reader waits on a writer for a moment, again and again.
    void arm(int seconds = 3)
    {
        disarm();
        finished = false;
        released = false;
#ifdef Q_OS_UNIX
        if (fifos.empty())
            return;
        watcher = std::thread([this, seconds] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (!finished && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (!finished) {
                released = true;
                std::vector<int> writers;
                // Succeeds only while a reader has the FIFO open.
                for (const QByteArray &fifo : fifos) {
                    const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        writers.push_back(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                for (const int fd : writers)
                    ::close(fd);
            }
        });
#else
        Q_UNUSED(seconds);
#endif
    }
    // Ends the watch; true when the code under test had to be released.
    bool disarm()
    {
        finished = true;
        if (watcher.joinable())
            watcher.join();
        return released;
    }
    bool done() { return disarm(); }

private:
    std::vector<QByteArray> fifos;
    const bool owned = false;
    const bool ok = true;
    std::thread watcher;
    std::atomic<bool> finished { true };
    std::atomic<bool> released { false };
};

#endif
