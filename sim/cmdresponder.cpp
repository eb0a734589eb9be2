#include "sim/cmdresponder.h"

#include "core/cameracode.h"
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace linksim {

namespace {

    using namespace paramcat;

    constexpr char kModel[] = "linksim";
    constexpr quint32 kMinFrameRate = 1;
    constexpr quint32 kMaxFrameRate = 240;

    // A value the catalogue marks as signed travels as two's complement of its
    // field's width (the brightness: 16 bits); the rest are unsigned.
    qint64 signedValue(quint16 id, quint32 raw)
    {
        const Parameter *p = parameterById(id);
        if (!p || !p->valueSigned || p->width < 1 || p->width > 4)
            return qint64(raw);
        const int bits = 8 * p->width;
        const qint64 field = qint64(raw) & ((qint64(1) << bits) - 1);
        return field >= (qint64(1) << (bits - 1)) ? field - (qint64(1) << bits) : field;
    }

    // Applies one write or switch to the store; false when the camera refuses it.
    bool apply(ParameterStore &store, quint16 id, const QByteArray &buffer)
    {
        const std::optional<quint32> raw = decodeValue(id, buffer);
        if (!raw)
            return false;
        if (id == kIdSensorSlave || id == kIdSensorMaster) { // one store value: 1 master, 0 slave
            store.setValue(QString::fromLatin1(storeName(id)), id == kIdSensorMaster ? 1 : 0);
            return true;
        }
        if (id == kIdSetRegister) { // register address in the high half, value in the low half
            store.setValue(QStringLiteral("register_%1").arg(*raw >> 16, 4, 16, QLatin1Char('0')),
                qint64(*raw & 0xFFFF));
            return true;
        }
        if (id == kIdFrameRate && (*raw < kMinFrameRate || *raw > kMaxFrameRate))
            return false;
        const char *name = CmdResponder::parameterName(id);
        if (!name)
            return false;
        store.setValue(QString::fromLatin1(name), signedValue(id, *raw));
        return true;
    }

} // namespace

CmdResponder::CmdResponder(
    AddressSource address, const std::array<uchar, 6> &mac, ParameterStore &store, quint16 port)
    : m_address(std::move(address))
    , m_mac(mac)
    , m_store(store)
    , m_port(port)
{
}

CmdResponder::~CmdResponder()
{
    stop();
}

const char *CmdResponder::parameterName(quint16 id)
{
    return paramcat::storeName(id);
}

QByteArray CmdResponder::report() const
{
    QJsonObject object;
    for (const paramcat::Parameter &p : paramcat::kParameters) {
        if (p.reportKey && p.storeName)
            object.insert(
                QLatin1String(p.reportKey), double(m_store.value(QString::fromLatin1(p.storeName), 0)));
    }
    object.insert(QStringLiteral("model"), QString::fromLatin1(kModel));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QList<QByteArray> CmdResponder::respond(const QByteArray &datagram)
{
    using namespace cmdproto;
    const std::optional<CmdFrame> frame = parseFrame(datagram, kDirRequest);
    if (!frame || checkSum(*frame) != frame->sum)
        return {};

    if (frame->cmd == kCmdWrite) {
        const QByteArray mac(reinterpret_cast<const char *>(m_mac.data()), kMacSize);
        if (!frame->data.startsWith(mac))
            return {};
        const bool ok = apply(m_store, frame->id, frame->data.mid(kMacSize));
        return { buildFrame(kDirReply, kCmdWrite, frame->id, {}, QByteArray(1, ok ? '\x01' : '\x00')) };
    }
    if (frame->cmd == kCmdControl) {
        if (frame->id == kIdQuery)
            return { buildFrame(kDirReply, kCmdControl, kIdQuery, {}, report()) };
        const paramcat::Parameter *parameter = paramcat::parameterById(frame->id);
        const bool known = parameter && parameter->code == kCmdControl;
        const bool ok = known && apply(m_store, frame->id, frame->data);
        return { buildFrame(kDirReply, kCmdControl, frame->id, {}, QByteArray(1, ok ? '\x01' : '\x00')) };
    }
    return {};
}

bool CmdResponder::start()
{
    std::lock_guard<std::mutex> lock(m_lifecycle);
    if (m_thread.joinable())
        return true;
    const quint32 ip = m_address();
    const QByteArray ipText = ipv4Text(ip).toLatin1();

    auto fail = [&](const char *what) {
        std::fprintf(stderr, "linksim: command responder at %s:%u: %s: %s\n", ipText.constData(),
            unsigned(m_port), what, socketErrorText());
        closeSocket(m_socket);
        m_wake.close();
        return false;
    };

    m_socket = openSocket(SOCK_DGRAM);
    if (m_socket == kNoSocket)
        return fail("socket");
    // Tavix binds 0.0.0.0 at this port with address reuse; the camera's specific address
    // can share the port only when both sides allow it.
    allowAddressReuse(m_socket);
    if (!bindTo(m_socket, ip, m_port))
        return fail("bind");
    if (!m_wake.open())
        return fail("wake-up");
    m_thread = std::thread(&CmdResponder::run, this, m_socket, m_wake.waitHandle());
    return true;
}

void CmdResponder::stop()
{
    std::lock_guard<std::mutex> lock(m_lifecycle);
    if (m_thread.joinable()) {
        m_wake.wake();
        m_thread.join();
    }
    closeSocket(m_socket);
    m_wake.close();
}

void CmdResponder::addressChanged()
{
    bool serving;
    {
        std::lock_guard<std::mutex> lock(m_lifecycle);
        serving = m_thread.joinable();
    }
    if (serving) {
        stop();
        start();
    }
}

void CmdResponder::run(SocketHandle socket, SocketHandle wake)
{
    QByteArray buffer(65536, '\0');
    WaitEntry entries[2];
    entries[0].socket = socket;
    entries[1].socket = wake;
    for (;;) {
        if (!waitForSockets(entries, 2, -1)) {
            if (callMayBeRetried())
                continue;
            std::fprintf(stderr, "linksim: command responder: poll: %s\n", socketErrorText());
            return;
        }
        if (entries[1].readable || entries[1].invalid || entries[0].invalid)
            return;
        // A pending socket error is taken by the read below; skipping it
        // would make the wait report it again at once.
        if (!entries[0].readable)
            continue;
        sockaddr_in peer {};
        const long long n = receiveDatagram(socket, buffer.data(), std::size_t(buffer.size()), peer);
        if (n < 0)
            continue;
        const QList<QByteArray> replies = respond(QByteArray(buffer.constData(), int(n)));
        for (const QByteArray &reply : replies)
            sendDatagram(socket, reply.constData(), std::size_t(reply.size()), peer);
    }
}

} // namespace linksim
