// The command port (UDP 3956) as the window and the command-line tool open it:
// claimed among the programs of this machine (core/portclaim.h), then bound to
// the IPv4 any-address, with the port-holder warning worded once for both.
#ifndef TAVIX_NET_COMMANDSOCKET_H
#define TAVIX_NET_COMMANDSOCKET_H

#include "core/portclaim.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class QUdpSocket;

class CommandSocket {
public:
    explicit CommandSocket(quint16 port);
    ~CommandSocket();
    CommandSocket(const CommandSocket &) = delete;
    CommandSocket &operator=(const CommandSocket &) = delete;

    struct Opened {
        bool bound = false;
        // Another live program holds the claim: the kernel may hand it the
        // cameras' replies. The warning that says so, or empty.
        QString sharedWarning;
        QString claimError; // the claim could not be made at all (no lock file), or empty
        QString bindError; // the socket's error when not bound
    };

    // Claims the port, then creates the socket and binds 0.0.0.0:port,
    // shared (address reuse) on every platform, so that other programs on this
    // host that serve or use the port (simulated cameras bind 127.x.y.z:3956,
    // also inside this process) can bind it too; a second program is told by
    // the claim. The socket exists afterwards even when the bind failed (it
    // can still send).
    Opened open();

    QUdpSocket *socket() const { return m_socket.get(); }
    // The port-holder warning in the language now loaded, or empty when this
    // process holds the claim.
    QString sharedWarning() const;
    quint16 port() const { return m_port; }

    // "Another Tavix (process 1234) already uses the command port 3956:
    // camera replies may go to it." for the claim's holder; a holder of another
    // name is "Another program, NAME (process 1234),", an unnamed one "Another
    // program (process 1234)", an unreadable process id "unknown".
    static QString sharedPortText(const PortClaim &holder, quint16 port);

private:
    quint16 m_port;
    PortClaim m_claim;
    bool m_heldElsewhere = false;
    std::unique_ptr<QUdpSocket> m_socket;
};

#endif
