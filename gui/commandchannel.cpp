#include "gui/commandchannel.h"

#include "core/testports.h"
#include "net/commandsocket.h"

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
    , commandPort(commandPortWithTestOverride())
{
}

CommandChannel::~CommandChannel() = default;

QString CommandChannel::portSharedText() const
{
    return commandSocket ? commandSocket->sharedWarning() : QString();
}

void CommandChannel::initUdp()
{
    // One socket serves every initialisation: binding a second one would leave
    // the first holding the port and receiving part of the replies.
    if (udpSocket) {
        qDebug() << "command socket reused, local port" << udpSocket->localPort();
        return;
    }
    // The port is claimed first, so that a second Tavix on this machine
    // knows why replies go missing; the socket is bound and used all the same.
    commandSocket = std::make_unique<CommandSocket>(commandPort);
    const CommandSocket::Opened opened = commandSocket->open();
    udpSocket = commandSocket->socket();
    if (!opened.sharedWarning.isEmpty()) {
        qWarning().noquote() << opened.sharedWarning;
        emit portShared(opened.sharedWarning);
    }
    if (!opened.claimError.isEmpty())
        qDebug().noquote() << "command port not claimed:" << opened.claimError;
    if (!opened.bound) {
        qWarning().noquote() << QStringLiteral("command socket: cannot bind UDP port %1 (%2); commands are "
                                               "still sent, but replies to port %1 will not arrive")
                                    .arg(commandPort)
                                    .arg(opened.bindError);
    }
    connect(udpSocket, &QUdpSocket::readyRead, this, &CommandChannel::read_data);
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
    udpSocket->writeDatagram(CmdFrame.raw, host, commandPort); // cameras answer on the same port
}

void CommandChannel::read_data()
{
    if (!udpSocket)
        return;
    // Take every waiting datagram: the next readyRead comes only for new ones.
    while (udpSocket->hasPendingDatagrams()) {
        QByteArray datagram(int(qMax<qint64>(udpSocket->pendingDatagramSize(), 0)), '\0');
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 got = udpSocket->readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        if (got < 0) {
            qWarning().noquote() << "command socket: reading a reply failed:" << udpSocket->errorString();
            return;
        }
        datagram.resize(int(got));
        // Only the selected camera may answer: anyone else on the network could
        // otherwise rewrite the property table with one datagram.
        if (!fromSelectedCamera(sender)) {
            const QString selected
                = CameraCode.Cam_ip.isEmpty() ? QStringLiteral("none selected") : CameraCode.Cam_ip;
            const QString text
                = QStringLiteral("command reply from %1:%2 dropped: not the selected camera (%3)")
                      .arg(sender.toString())
                      .arg(senderPort)
                      .arg(selected);
            qWarning().noquote() << text;
            continue;
        }
        unpack(datagram);
    }
}

bool CommandChannel::fromSelectedCamera(const QHostAddress &sender) const
{
    const QByteArray ip = CameraCode.Cam_ip.toLatin1();
    const std::optional<quint32> camera = parseDottedIpv4(ip.constData(), std::size_t(ip.size()));
    bool isIpv4 = false;
    const quint32 from = sender.toIPv4Address(&isIpv4);
    return camera && isIpv4 && from == *camera;
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
    const QString checksum = cmdproto::checksumMismatchLine(*frame);
    if (!checksum.isEmpty())
        qWarning().noquote() << checksum;
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
