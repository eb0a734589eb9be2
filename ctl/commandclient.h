// The tool's side of the camera command protocol (UDP port 3956): one request,
// then the camera's reply to it, or the end of the wait.
#ifndef TAVIX_CTL_COMMANDCLIENT_H
#define TAVIX_CTL_COMMANDCLIENT_H

#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "ctl/cameras.h"

#include <QObject>
#include <QString>

#include <memory>

class CommandSocket;
class QUdpSocket;

namespace ctl {

class CommandClient : public QObject {
    Q_OBJECT
public:
    explicit CommandClient(quint16 port);
    ~CommandClient() override;

    // Claims and binds 0.0.0.0:port (3956) as the main window does
    // (net/commandsocket.h). False when the port cannot be bound. `warning`
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
    std::unique_ptr<CommandSocket> m_commandSocket;
    QUdpSocket *m_socket = nullptr; // owned by m_commandSocket; null until bound
};

} // namespace ctl

#endif
