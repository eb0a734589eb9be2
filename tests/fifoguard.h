// A FIFO for tests of code that must not open one: should the code block on
// it after all, a writer opened (and soon closed) after a few seconds lets the
// open and a read return, so the test fails (disarm() is true) instead of
// hanging.
#ifndef TAVIX_TESTS_FIFOGUARD_H
#define TAVIX_TESTS_FIFOGUARD_H

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class FifoGuard {
public:
    // Makes the FIFO at `path`; made() tells whether that worked.
    explicit FifoGuard(const QString &path)
        : fifo(QFile::encodeName(path))
        , ok(::mkfifo(fifo.constData(), 0600) == 0)
    {
    }
    ~FifoGuard()
    {
        disarm();
        ::unlink(fifo.constData());
    }
    FifoGuard(const FifoGuard &) = delete;
    FifoGuard &operator=(const FifoGuard &) = delete;

    bool made() const { return ok; }

    // Watches from now until disarm(): after `seconds`, opens the writer end.
    void arm(int seconds = 3)
    {
        disarm();
        done = false;
        released = false;
        watcher = std::thread([this, seconds] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (!done && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (done)
                return;
            released = true;
            // The blocked open returns once a writer came; closing it soon after
            // ends a read that follows.
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (fd >= 0)
                ::close(fd);
        });
    }
    // Ends the watch; true when the code under test had to be released.
    bool disarm()
    {
        done = true;
        if (watcher.joinable())
            watcher.join();
        return released;
    }

private:
    const QByteArray fifo;
    const bool ok;
    std::thread watcher;
    std::atomic<bool> done { true };
    std::atomic<bool> released { false };
};

#endif
