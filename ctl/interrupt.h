// Ctrl+C (SIGINT) and SIGTERM as an event of the event loop. The signal
// handler only writes one byte into a pipe; a socket notifier on the other end
// emits interrupted() on the thread that installed it. On Windows, Ctrl+C and
// Ctrl+Break in the console reach a handler (SetConsoleCtrlHandler) on a
// thread of their own, which queues the same emission.
#ifndef TAVIX_CTL_INTERRUPT_H
#define TAVIX_CTL_INTERRUPT_H

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace ctl {

class Interrupt : public QObject {
    Q_OBJECT
public:
    static Interrupt &instance();

    // Installs the handlers; false (and Ctrl+C keeps ending the process) when
    // the pipe cannot be made.
    bool install();
    // Whether an interrupt has arrived since start.
    bool raised() const { return m_raised; }

signals:
    void interrupted();

private:
    Interrupt();
    ~Interrupt() override;
    void readPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_raised = false;
};

} // namespace ctl

#endif
