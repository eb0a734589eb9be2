#include "ctl/restart.h"

#include "core/cameracode.h"
#include "core/transfer.h"
#include "ctl/interrupt.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace ctl {

namespace {

    constexpr int kRetryPauseMs = 200;

    // Runs the event loop until `done` says so, the time is up, or Ctrl+C.
    // Returns false on timeout or interrupt.
    template <typename Connect> bool runUntil(int timeoutMs, bool *interrupted, Connect connectDone)
    {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        bool done = false;
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&Interrupt::instance(), &Interrupt::interrupted, &loop, [&] {
            *interrupted = true;
            loop.quit();
        });
        connectDone(loop, [&] {
            done = true;
            loop.quit();
        });
        if (Interrupt::instance().raised()) {
            *interrupted = true;
            return false;
        }
        deadline.start(qMax(timeoutMs, 0));
        if (!done)
            loop.exec();
        return done;
    }

} // namespace

ConnectEnd connectWithin(
    QTcpSocket &socket, const QString &ip, quint16 port, int timeoutMs, bool retryRefused, QString *error)
{
    // The camera lookup refuses such addresses already; no connection is ever
    // tried to a broadcast, multicast or any-address here.
    const QByteArray host = ip.toLatin1();
    const std::optional<quint32> address = parseDottedIpv4(host.constData(), std::size_t(host.size()));
    if (!address || cameraAddressFault(*address) != AddressFault::None) {
        *error = QStringLiteral("%1 is not a camera's address").arg(ip);
        return ConnectEnd::Failed;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket.abort();
        bool interrupted = false;
        bool failed = false;
        socket.connectToHost(ip, port);
        const bool connected
            = runUntil(int(timeoutMs - clock.elapsed()), &interrupted, [&](QEventLoop &loop, auto finish) {
                  QObject::connect(&socket, &QTcpSocket::connected, &loop, finish);
                  QObject::connect(
                      &socket, &QTcpSocket::errorOccurred, &loop, [&, finish](QAbstractSocket::SocketError) {
                          failed = true;
                          finish();
                      });
              });
        if (interrupted) {
            socket.abort();
            return ConnectEnd::Interrupted;
        }
        if (connected && !failed && socket.state() == QAbstractSocket::ConnectedState)
            return ConnectEnd::Connected;
        *error = failed ? socket.errorString() : QStringLiteral("no connection within %1 ms").arg(timeoutMs);
        const bool refused = failed && socket.error() == QAbstractSocket::ConnectionRefusedError;
        socket.abort();
        if (!failed)
            return ConnectEnd::TimedOut;
        if (!refused)
            return ConnectEnd::Failed;
        if (!retryRefused || clock.elapsed() + kRetryPauseMs >= timeoutMs)
            return ConnectEnd::Refused;
        // A restarting camera refuses for a while: ask again after a pause.
        bool pauseInterrupted = false;
        runUntil(kRetryPauseMs, &pauseInterrupted, [](QEventLoop &, auto) {});
        if (pauseInterrupted)
            return ConnectEnd::Interrupted;
    }
}

bool sendRestart(const QString &ip, quint16 port, int timeoutMs, QString *error)
{
    QTcpSocket socket;
    const ConnectEnd end = connectWithin(socket, ip, port, timeoutMs, false, error);
    if (end != ConnectEnd::Connected) {
        if (end == ConnectEnd::Interrupted)
            *error = QStringLiteral("interrupted");
        *error = QStringLiteral("cannot connect to %1:%2: %3").arg(ip).arg(port).arg(*error);
        return false;
    }
    const QByteArray frame = firmware::buildRestartFrame();
    qDebug().noquote() << "restart frame to" << ip << frame.toHex(' ');
    if (socket.write(frame) != frame.size()) {
        *error = QStringLiteral("restart frame not sent to %1: %2").arg(ip, socket.errorString());
        return false;
    }
    socket.flush();
    bool interrupted = false;
    const bool delivered = runUntil(timeoutMs, &interrupted, [&](QEventLoop &loop, auto finish) {
        QObject::connect(&socket, &QTcpSocket::bytesWritten, &loop, [&socket, finish](qint64) {
            if (socket.bytesToWrite() == 0)
                finish();
        });
        if (socket.bytesToWrite() == 0)
            finish();
    });
    if (!delivered) {
        *error = QStringLiteral("restart frame not delivered to %1").arg(ip);
        return false;
    }
    // The camera closes the connection as it goes down; waiting for that keeps
    // a following connection from reaching the camera that is about to go.
    runUntil(timeoutMs, &interrupted, [&](QEventLoop &loop, auto finish) {
        QObject::connect(&socket, &QTcpSocket::disconnected, &loop, finish);
        QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&socket] { socket.readAll(); });
        if (socket.state() == QAbstractSocket::UnconnectedState)
            finish();
    });
    socket.abort();
    return true;
}

bool waitUntilBack(const QString &ip, quint16 port, int timeoutMs, qint64 *elapsedMs, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    QTcpSocket socket;
    const ConnectEnd end = connectWithin(socket, ip, port, timeoutMs, true, error);
    *elapsedMs = clock.elapsed();
    if (end == ConnectEnd::Interrupted)
        *error = QStringLiteral("interrupted");
    if (end != ConnectEnd::Connected)
        return false;
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(200);
    socket.abort();
    return true;
}

} // namespace ctl
