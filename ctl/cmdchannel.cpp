#include "ctl/cmdchannel.h"

#include "core/cameracode.h"
#include "ctl/interrupt.h"

#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace ctl {

CommandChannel::CommandChannel(quint16 port)
    : m_port(port)
    , m_claim(PortClaim::udpName(port))
{
}

CommandChannel::~CommandChannel() = default;

bool CommandChannel::open(QString *error, QString *warning)
{
    switch (m_claim.claim()) {
    case PortClaim::Outcome::Claimed:
        break;
    case PortClaim::Outcome::HeldElsewhere:
        *warning = QStringLiteral("UDP port %1 is also used by %2 (process %3) on this machine; the "
                                  "cameras' replies may reach it instead of this tool")
                       .arg(m_port)
                       .arg(m_claim.holderApp().isEmpty() ? QStringLiteral("another Tavix program")
                                                          : m_claim.holderApp())
                       .arg(m_claim.holderPid());
        break;
    case PortClaim::Outcome::Failed:
        qDebug().noquote() << "port claim:" << m_claim.errorText();
        break;
    }
    m_socket = std::make_unique<QUdpSocket>();
    if (!m_socket->bind(
            QHostAddress::AnyIPv4, m_port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot bind UDP port %1: %2").arg(m_port).arg(m_socket->errorString());
        m_socket.reset();
        return false;
    }
    return true;
}

void CommandChannel::drain()
{
    while (m_socket->hasPendingDatagrams())
        m_socket->receiveDatagram(0);
}

CommandChannel::Answer CommandChannel::request(
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
    connect(m_socket.get(), &QUdpSocket::readyRead, &loop, take);
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
