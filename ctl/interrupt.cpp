#include "ctl/interrupt.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <functional>
#include <windows.h>
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
#elif defined(Q_OS_WIN)
    // Set once by install(): hands the event to the thread that installed it.
    std::function<void()> g_deliver;

    // Runs on a thread of its own that Windows starts for the console event.
    BOOL WINAPI onConsoleEvent(DWORD event)
    {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
            return FALSE; // closing the console or logging off: Windows ends the process
        g_deliver();
        return TRUE; // handled: the process goes on and ends by itself
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
#elif defined(Q_OS_WIN)
    if (g_deliver)
        return true;
    // A queued call is the one thing the handler's thread may do with this object.
    g_deliver = [this] {
        QMetaObject::invokeMethod(
            this, [this] { readPipe(); }, Qt::QueuedConnection);
    };
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        g_deliver = nullptr;
        return false;
    }
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
