#include "gui/commandchannel.h"

#include "core/portclaim.h"
#include "core/testports.h"

#include <QCoreApplication>
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

// "Another Tavix (process 1234)", or the program the claim names.
QString holderText(const PortClaim &claim)
{
    const QString pid = claim.holderPid() > 0 ? QString::number(claim.holderPid())
                                              : QCoreApplication::translate("MainWindow", "unknown");
    const QString app = claim.holderApp();
    if (app.compare(QLatin1String("tavix"), Qt::CaseInsensitive) == 0)
        return QCoreApplication::translate("MainWindow", "Another Tavix (process %1)").arg(pid);
    if (app.isEmpty())
        return QCoreApplication::translate("MainWindow", "Another program (process %1)").arg(pid);
    return QCoreApplication::translate("MainWindow", "Another program, %1 (process %2),").arg(app, pid);
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
    if (!portHeldElsewhere)
        return QString();
    return QCoreApplication::translate(
        "MainWindow", "%1 already uses the command port %2: camera replies may go to it.")
        .arg(holderText(*portClaim))
        .arg(commandPort);
}

void CommandChannel::initUdp()
{
    // One socket serves every initialisation: binding a second one would leave
    // the first holding the port and receiving part of the replies.
    if (udpSocket) {
        qDebug() << "command socket reused, local port" << udpSocket->localPort();
        return;
    }
    // A shared port hands each reply to one of the sockets bound there: claim
    // it, so that a second Tavix on this machine knows why replies go missing.
    portClaim = std::make_unique<PortClaim>(PortClaim::udpName(commandPort));
    switch (portClaim->claim()) {
    case PortClaim::Outcome::Claimed:
        break;
    case PortClaim::Outcome::HeldElsewhere: {
        portHeldElsewhere = true;
        const QString text = portSharedText();
        qWarning().noquote() << text;
        emit portShared(text);
        break;
    }
    case PortClaim::Outcome::Failed:
        qDebug().noquote() << "command port not claimed:" << portClaim->errorText();
        break;
    }

    udpSocket = std::make_unique<QUdpSocket>();
    // Shared, so that other programs on this host that serve or use the port
    // (simulated cameras bind 127.x.y.z:3956, in this process too) can coexist
    // with this socket; Linux allows that only when every socket asks for it,
    // and Windows (SO_REUSEADDR, which ShareAddress alone does not set) when
    // this one does. A second program on the port is told by the claim above.
    const QUdpSocket::BindMode mode = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    if (!udpSocket->bind(QHostAddress::AnyIPv4, commandPort, mode)) {
        qWarning().noquote() << QStringLiteral("command socket: cannot bind UDP port %1 (%2); commands are "
                                               "still sent, but replies to port %1 will not arrive")
                                    .arg(commandPort)
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
