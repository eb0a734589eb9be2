// The UDP command channel to the selected camera: the one socket on port 3956,
// the claim on that port among the programs of this machine, the request frame
// it reuses, and the reading and dispatch of the replies.
#ifndef TAVIX_COMMANDCHANNEL_H
#define TAVIX_COMMANDCHANNEL_H

#include "core/cameracode.h"
#include "core/cmdframe.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class CommandSocket;
class QHostAddress;
class QUdpSocket;

// Requests are built and replies judged by core/cmdframe; this class only moves
// the datagrams and reports what a parameter report asks of the property table.
class CommandChannel : public QObject {
    Q_OBJECT

public:
    // `target` is read at every send: the camera selected at that moment.
    explicit CommandChannel(const CameraCodeRecord &target, QObject *parent = nullptr);
    ~CommandChannel() override;

    // Creates and binds the socket on first use; later calls keep the first one.
    // The port is claimed first: when another program holds the claim, its
    // replies may go there, which is logged and announced by portShared; the
    // socket is bound and used all the same.
    void initUdp();
    // When another program holds the claim on the port: what portShared said,
    // in the language applied now; otherwise empty.
    QString portSharedText() const;
    // The command port: 3956 (a test may move it, see core/testports.h).
    quint16 port() const { return commandPort; }

signals:
    // Another program (named in `text`) already uses the command port.
    void portShared(const QString &text);

    // A parameter report carries `text` for the value column of `row`.
    void reportValue(int row, const QString &text);

public slots:
    // Frames one request and sends it to the target; nothing before initUdp.
    void pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff = QByteArray());
    // Reads every datagram waiting at the socket and handles those the selected
    // camera (CameraCode.Cam_ip as it is then) sent; the others are logged and dropped.
    void read_data();

private:
    bool fromSelectedCamera(const QHostAddress &sender) const;
    void unpack(const QByteArray &datagram);
    void onWriteReply(const ::CmdFrame &frame);
    void onControlReply(const ::CmdFrame &frame);

    const CameraCodeRecord &CameraCode;
    const quint16 commandPort;
    std::unique_ptr<CommandSocket> commandSocket; // the port's claim and socket, from initUdp on
    ::CmdFrame CmdFrame;
    // Created by initUdp, without a Qt parent; owned by commandSocket.
    QUdpSocket *udpSocket = nullptr;
};

#endif
