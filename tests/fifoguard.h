// Guards a test that puts FIFOs where files are read: should something open
// one and wait for a writer after all, a writer opened after a few seconds
// lets it go on, and the test fails (done() is true) instead of hanging.
#ifndef TAVIX_TESTS_FIFOGUARD_H
#define TAVIX_TESTS_FIFOGUARD_H

#include <QFile>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

class FifoGuard {
public:
    explicit FifoGuard(const QStringList &fifos)
    {
        if (fifos.isEmpty())
            return;
        guard = std::thread([this, fifos] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!finished && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::vector<int> writers;
            while (!finished) {
                unblocked = true;
                // Succeeds only while a reader has the FIFO open.
                for (const QString &fifo : fifos) {
                    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        writers.push_back(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            for (const int fd : writers)
                ::close(fd);
        });
    }
    FifoGuard(const FifoGuard &) = delete;
    FifoGuard &operator=(const FifoGuard &) = delete;
    ~FifoGuard() { done(); }

    // Ends the guard; true when a FIFO had to be given a writer.
    bool done()
    {
        finished = true;
        if (guard.joinable())
            guard.join();
        return unblocked;
    }

private:
    std::atomic<bool> finished { false };
    std::atomic<bool> unblocked { false };
    std::thread guard;
};

#endif
