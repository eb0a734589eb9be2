#include "ctl/commandclient.h"

#include "core/cameracode.h"
#include "ctl/interrupt.h"
#include "net/commandsocket.h"

#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace ctl {

CommandClient::CommandClient(quint16 port)
    : m_port(port)
{
}

CommandClient::~CommandClient() = default;

bool CommandClient::open(QString *error, QString *warning)
{
    m_commandSocket = std::make_unique<CommandSocket>(m_port);
    const CommandSocket::Opened opened = m_commandSocket->open();
    *warning = opened.sharedWarning;
    if (!opened.claimError.isEmpty())
        qDebug().noquote() << "port claim:" << opened.claimError;
    if (!opened.bound) {
        *error = QStringLiteral("cannot bind UDP port %1: %2").arg(m_port).arg(opened.bindError);
        m_commandSocket.reset();
        return false;
    }
    m_socket = m_commandSocket->socket();
    return true;
}

void CommandClient::drain()
{
    while (m_socket->hasPendingDatagrams())
        m_socket->receiveDatagram(0);
}

CommandClient::Answer CommandClient::request(
    const Target &target, const paramcat::CommandTriple &command, int timeoutMs)
{
    Answer answer;
    if (!m_socket)
        return answer;
    const cmdproto::PackedRequest packed
        = cmdproto::packRequest(command.cmd, command.id, target.ip, target.mac, command.buffer);
    for (const QString &line : packed.logLines)
        qDebug().noquote() << line;
    if (packed.frame.raw.isEmpty())
        return answer;

    // The camera lookup refuses such addresses already; nothing is ever sent
    // to a broadcast, multicast or any-address here.
    const QByteArray host = packed.host.toLatin1();
    const std::optional<quint32> destination = parseDottedIpv4(host.constData(), std::size_t(host.size()));
    if (!destination || cameraAddressFault(*destination) != AddressFault::None) {
        qWarning().noquote()
            << QStringLiteral("tavixctl: command not sent: %1 is not a camera's address").arg(packed.host);
        return answer;
    }
    const QHostAddress camera(*destination);
    drain(); // a late reply to an earlier request must not answer this one
    // The cameras listen on the port they answer from: the one bound here.
    if (m_socket->writeDatagram(packed.frame.raw, camera, m_port) < 0) {
        qDebug().noquote() << "command not sent:" << m_socket->errorString();
        return answer;
    }

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    answer.kind = Answer::Kind::Timeout;
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&Interrupt::instance(), &Interrupt::interrupted, &loop, [&] {
        answer.kind = Answer::Kind::Interrupted;
        loop.quit();
    });
    const auto take = [&] {
        while (m_socket->hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket->receiveDatagram();
            cmdproto::DropReason why = cmdproto::DropReason::None;
            const std::optional<CmdFrame> frame = cmdproto::unpack(datagram.data(), &why);
            if (!frame) {
                qDebug().noquote() << "reply from" << datagram.senderAddress().toString() << "dropped, reason"
                                   << int(why);
                continue;
            }
            // Replies are taken only from the camera asked: another camera's
            // acknowledgement under the same id is not this one's.
            if (!datagram.senderAddress().isEqual(camera, QHostAddress::TolerantConversion)
                || frame->cmd != command.cmd || frame->id != command.id) {
                qDebug().noquote() << "reply not for this request:" << datagram.senderAddress().toString()
                                   << cmdproto::toHex(frame->cmd, 2) << cmdproto::toHex(frame->id, 4);
                continue;
            }
            const QString checksum = cmdproto::checksumMismatchLine(*frame);
            if (!checksum.isEmpty())
                qWarning().noquote() << QStringLiteral("tavixctl: warning: %1: %2").arg(target.ip, checksum);
            answer.kind = Answer::Kind::Reply;
            answer.frame = *frame;
            loop.quit();
            return;
        }
    };
    connect(m_socket, &QUdpSocket::readyRead, &loop, take);
    deadline.start(timeoutMs);
    take(); // a reply may have come already
    if (answer.kind == Answer::Kind::Timeout) {
        if (Interrupt::instance().raised())
            answer.kind = Answer::Kind::Interrupted;
        else
            loop.exec();
    }
    return answer;
}

} // namespace ctl
