// The camera side of the command protocol: a simulated camera's UDP port 3956.
//
// Bound at the camera's own address (127.x.y.z, port 3956), it answers each
// request frame with reply frames (direction 0x02) sent back to the sender's
// address and port:
//  - a parameter write (0xC2) whose MAC is the camera's own: the value goes into
//    the parameter store and a write acknowledgement under the same id follows,
//    status 1, or status 0 when the id is unknown or the value unusable. A write
//    for another MAC, or without one, is not for this camera: no answer.
//  - the parameter query (0xC3, 0xB101): the parameter report, a JSON object with
//    "A001_rate", "A002_baoguang_time", "A00B_ruihua_fazhi" and
//    "A00C_ruihua_qiangdu" as numbers and the string member "model".
//  - any other control command (0xC3): applied to the store when known, answered
//    under the same id with status 1 (0 when unknown or unusable).
// Frames that are malformed or carry a wrong checksum are not answered.
//
// Runs its own thread (no Qt event loop): one socket (sim/simsocket.h), waited on
// together with a wake-up.
#ifndef TAVIX_SIM_CMDRESPONDER_H
#define TAVIX_SIM_CMDRESPONDER_H

#include "core/cmdframe.h"
#include "sim/paramstore.h"
#include "sim/simcamera.h"
#include "sim/simsocket.h"
#include "sim/simtransport.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace linksim {

class CmdResponder final : public SimTransport {
public:
    // The camera's current IPv4 address in host order (127.0.0.2 is 0x7F000002).
    using AddressSource = std::function<quint32()>;

    // Serves UDP `port` (3956 unless a test moves it) at the source's address.
    CmdResponder(AddressSource address, const std::array<uchar, 6> &mac, ParameterStore &store,
        quint16 port = cmdproto::kPort);
    ~CmdResponder() override;
    CmdResponder(const CmdResponder &) = delete;
    CmdResponder &operator=(const CmdResponder &) = delete;

    // The responder of a model camera, following the camera's address.
    static std::unique_ptr<CmdResponder> forCamera(SimCamera &camera, quint16 port)
    {
        return std::make_unique<CmdResponder>(
            [&camera] { return camera.ip(); }, camera.mac(), camera.parameters(), port);
    }

    const char *name() const override { return "commands"; }
    // Binds the address's port and starts serving; on failure one line on
    // stderr and false.
    bool start() override;
    // Ends the thread and closes the socket; safe to call more than once.
    void stop() override;
    // Rebinds at the address the source now gives, if serving.
    void addressChanged() override;

    // The reply datagrams for one received datagram (empty: no answer), with
    // the store updated as the request asks. The serving thread calls this;
    // any thread may.
    QList<QByteArray> respond(const QByteArray &datagram);

    // Store name under which a write or switch of `id` is kept, or null.
    static const char *parameterName(quint16 id);

private:
    void run(SocketHandle socket, SocketHandle wake);
    QByteArray report() const;

    AddressSource m_address;
    const std::array<uchar, 6> m_mac;
    ParameterStore &m_store;
    const quint16 m_port;

    std::mutex m_lifecycle; // serialises start/stop/addressChanged
    std::thread m_thread;
    SocketHandle m_socket = kNoSocket;
    Waker m_wake;
};

} // namespace linksim

#endif
