#include "ctl/interrupt.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ctl {

namespace {
#ifdef Q_OS_UNIX
    int g_pipe[2] = { -1, -1 };

    extern "C" void onSignal(int)
    {
        const int saved = errno;
        const char byte = 1;
        // Async-signal-safe: one write, result ignored (a full pipe already says enough).
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
        errno = saved;
    }
#endif
} // namespace

Interrupt::Interrupt() = default;
Interrupt::~Interrupt() = default;

Interrupt &Interrupt::instance()
{
    static Interrupt interrupt;
    return interrupt;
}

bool Interrupt::install()
{
#ifdef Q_OS_UNIX
    if (m_notifier)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Interrupt::readPipe);
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
#else
    return false;
#endif
}

void Interrupt::readPipe()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) { }
#endif
    m_raised = true;
    emit interrupted();
}

} // namespace ctl
