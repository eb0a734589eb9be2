// A disk that is full after a few bytes, for tests of code that must survive
// it: while a FileSizeLimit lives, a write that would make any file of this
// process larger than `bytes` fails with EFBIG (RLIMIT_FSIZE; the signal the
// kernel sends with it is ignored meanwhile). Pipes, such as the test's own
// output under ctest, are not limited. Windows has no such limit: there
// active() is false and the tests skip what needs a full disk.
#ifndef TAVIX_TESTS_FILESIZELIMIT_H
#define TAVIX_TESTS_FILESIZELIMIT_H

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ok = ::getrlimit(RLIMIT_FSIZE, &previous) == 0;
        if (ok) {
            rlimit limited = previous;
            limited.rlim_cur = bytes;
            ok = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
        }
    }
    ~FileSizeLimit()
    {
        if (ok)
            ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return ok; }

private:
    rlimit previous {};
    void (*previousHandler)(int) = nullptr;
    bool ok = false;
};
#else
class FileSizeLimit {
public:
    explicit FileSizeLimit(quint64) { }
    bool active() const { return false; }
};
#endif

#endif
