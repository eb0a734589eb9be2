#include "gui/commandchannel.h"

#include <QDebug>
#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>

namespace {

void logLines(const QStringList &lines)
{
    for (const QString &line : lines)
        qDebug().noquote() << line;
}

const char *dropReasonText(cmdproto::DropReason why)
{
    switch (why) {
    case cmdproto::DropReason::TooShort:
        return "shorter than a frame header";
    case cmdproto::DropReason::BadStart:
        return "wrong start byte";
    case cmdproto::DropReason::BadDirection:
        return "not a reply";
    case cmdproto::DropReason::BadLength:
        return "length byte below 2";
    case cmdproto::DropReason::Truncated:
        return "shorter than its length byte says";
    case cmdproto::DropReason::BadEnd:
        return "wrong end byte";
    case cmdproto::DropReason::None:
        break;
    }
    return "malformed";
}

} // namespace

CommandChannel::CommandChannel(const CameraCodeRecord &target, QObject *parent)
    : QObject(parent)
    , CameraCode(target)
{
}

CommandChannel::~CommandChannel() = default;

void CommandChannel::initUdp()
{
    // One socket serves every initialisation: binding a second one would leave
    // the first holding the port and receiving part of the replies.
    if (udpSocket) {
        qDebug() << "command socket reused, local port" << udpSocket->localPort();
        return;
    }
    udpSocket = std::make_unique<QUdpSocket>();
    // Shared, so that other programs on this host that serve or use port 3956
    // (simulated cameras bind 127.x.y.z:3956) can coexist with this socket.
    if (!udpSocket->bind(QHostAddress::AnyIPv4, cmdproto::kPort,
            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        qWarning().noquote() << QStringLiteral("command socket: cannot bind UDP port %1 (%2); commands are "
                                               "still sent, but replies to port %1 will not arrive")
                                    .arg(cmdproto::kPort)
                                    .arg(udpSocket->errorString());
    }
    connect(udpSocket.get(), &QUdpSocket::readyRead, this, &CommandChannel::read_data);
}

void CommandChannel::pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff)
{
    if (!udpSocket)
        return;
    const cmdproto::PackedRequest request
        = cmdproto::packRequest(cmd, id, CameraCode.Cam_ip, CameraCode.Cam_mac, buff);
    logLines(request.logLines);
    CmdFrame = request.frame;
    if (CmdFrame.raw.isEmpty())
        return; // the payload does not fit a frame; packRequest said so
    const QHostAddress host(request.host);
    if (host.isNull())
        return; // no camera selected yet: the request has nowhere to go
    udpSocket->writeDatagram(CmdFrame.raw, host, request.port);
}

void CommandChannel::read_data()
{
    if (!udpSocket)
        return;
    // Take every waiting datagram: the next readyRead comes only for new ones.
    while (udpSocket->hasPendingDatagrams()) {
        QByteArray datagram(int(qMax<qint64>(udpSocket->pendingDatagramSize(), 0)), '\0');
        const qint64 got = udpSocket->readDatagram(datagram.data(), datagram.size());
        if (got < 0) {
            qWarning().noquote() << "command socket: reading a reply failed:" << udpSocket->errorString();
            return;
        }
        datagram.resize(int(got));
        unpack(datagram);
    }
}

void CommandChannel::unpack(const QByteArray &datagram)
{
    cmdproto::DropReason why = cmdproto::DropReason::None;
    const std::optional<::CmdFrame> frame = cmdproto::unpack(datagram, &why);
    if (!frame) {
        qDebug().noquote() << QStringLiteral("command reply dropped (%1): %2 bytes")
                                  .arg(QLatin1String(dropReasonText(why)))
                                  .arg(datagram.size());
        return;
    }
    if (frame->cmd == cmdproto::kCmdWrite)
        onWriteReply(*frame);
    else if (frame->cmd == cmdproto::kCmdControl)
        onControlReply(*frame);
}

void CommandChannel::onWriteReply(const ::CmdFrame &frame)
{
    logLines(cmdproto::writeReplyOutcome(frame).logLines);
}

void CommandChannel::onControlReply(const ::CmdFrame &frame)
{
    const cmdproto::ReplyOutcome outcome = cmdproto::controlReplyOutcome(frame);
    logLines(outcome.logLines);
    for (const cmdproto::ReplyOutcome::TableUpdate &update : outcome.tableUpdates)
        emit reportValue(update.row, update.text);
}
