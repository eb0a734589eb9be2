// Restarting a camera over its firmware port (TCP 7766): the restart frame,
// the camera closing the connection, and the camera coming back.
#ifndef TAVIX_CTL_RESTART_H
#define TAVIX_CTL_RESTART_H

#include <QString>
#include <QtGlobal>

class QTcpSocket;

namespace ctl {

enum class ConnectEnd { Connected, Refused, Failed, TimedOut, Interrupted };

// Connects `socket` to ip:port, waiting up to timeoutMs. With retryRefused, a
// refusing camera (one that is restarting) is asked again every 200 ms until
// the time is up. `error` gets the socket's last error text.
ConnectEnd connectWithin(
    QTcpSocket &socket, const QString &ip, quint16 port, int timeoutMs, bool retryRefused, QString *error);

// Connects (up to timeoutMs), sends the restart frame, and waits up to
// timeoutMs for the camera to close the connection as it goes down. A camera
// that keeps the connection open still got the frame: that is no failure.
// False, with `error` set, when the frame could not be delivered.
bool sendRestart(const QString &ip, quint16 port, int timeoutMs, QString *error);

// Waits until ip:port accepts connections again (asking while it refuses),
// at most timeoutMs; `elapsedMs` gets the time it took.
bool waitUntilBack(const QString &ip, quint16 port, int timeoutMs, qint64 *elapsedMs, QString *error);

} // namespace ctl

#endif
