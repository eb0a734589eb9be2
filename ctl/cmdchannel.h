// The tool's side of the camera command protocol (UDP port 3956): one request,
// then the camera's reply to it, or the end of the wait.
#ifndef TAVIX_CTL_CMDCHANNEL_H
#define TAVIX_CTL_CMDCHANNEL_H

#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "core/portclaim.h"
#include "ctl/cameras.h"

#include <QObject>
#include <QString>

#include <memory>

class QUdpSocket;

namespace ctl {

class CommandChannel : public QObject {
    Q_OBJECT
public:
    explicit CommandChannel(quint16 port);
    ~CommandChannel() override;

    // Binds 0.0.0.0:port (3956) shared, as the main window does (simulated cameras
    // and other programs bind the port too), and claims the port among the
    // programs of this machine. False when the port cannot be bound. `warning`
    // gets a text when another live program holds the claim: the kernel may
    // then hand the camera's replies to that program instead.
    bool open(QString *error, QString *warning);

    struct Answer {
        enum class Kind { Reply, Timeout, Interrupted, NotSent };
        Kind kind = Kind::NotSent;
        CmdFrame frame; // Reply: the camera's reply frame
    };

    // Sends the command to the target (a parameter write carries the target's
    // MAC when it has 6 bytes) and waits up to timeoutMs for a reply from the
    // target's address with the same command and id.
    Answer request(const Target &target, const paramcat::CommandTriple &command, int timeoutMs);

private:
    void drain();

    quint16 m_port;
    std::unique_ptr<QUdpSocket> m_socket;
    PortClaim m_claim;
};

} // namespace ctl

#endif
