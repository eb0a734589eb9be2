// The UDP command channel to the selected camera: the one socket on port 3956,
// the request frame it reuses, and the reading and dispatch of the replies.
#ifndef TAVIX_COMMANDCHANNEL_H
#define TAVIX_COMMANDCHANNEL_H

#include "core/cameracode.h"
#include "core/cmdframe.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

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
    void initUdp();

signals:
    // A parameter report carries `text` for the value column of `row`.
    void reportValue(int row, const QString &text);

public slots:
    // Frames one request and sends it to the target; nothing before initUdp.
    void pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff = QByteArray());
    // Reads and handles every datagram waiting at the socket.
    void read_data();

private:
    void unpack(const QByteArray &datagram);
    void onWriteReply(const ::CmdFrame &frame);
    void onControlReply(const ::CmdFrame &frame);

    const CameraCodeRecord &CameraCode;
    ::CmdFrame CmdFrame;
    // Created by initUdp, without a Qt parent.
    std::unique_ptr<QUdpSocket> udpSocket;
};

#endif
