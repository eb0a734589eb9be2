#include "sim/cmdresponder.h"

#include "core/cameracode.h"
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

    void closeFd(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
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
    const in_addr inAddr { htonl(ip) };

    auto fail = [&](const char *what) {
        std::fprintf(stderr, "linksim: command responder at %s:%u: %s: %s\n", ipText.constData(),
            unsigned(m_port), what, std::strerror(errno));
        closeFd(m_socket);
        closeFd(m_wakeRead);
        closeFd(m_wakeWrite);
        return false;
    };

    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return fail("socket");
    // Tavix binds 0.0.0.0 at this port with address reuse; the camera's specific address
    // can share the port only when both sides allow it.
    const int one = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_port);
    local.sin_addr = inAddr;
    if (::bind(m_socket, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        return fail("bind");
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    m_thread = std::thread(&CmdResponder::run, this, m_socket, m_wakeRead);
    return true;
}

void CmdResponder::stop()
{
    std::lock_guard<std::mutex> lock(m_lifecycle);
    if (m_thread.joinable()) {
        const char byte = 0;
        while (::write(m_wakeWrite, &byte, 1) < 0 && errno == EINTR) { }
        m_thread.join();
    }
    closeFd(m_socket);
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
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

void CmdResponder::run(int socketFd, int wakeFd)
{
    QByteArray buffer(65536, '\0');
    pollfd fds[2] = { { socketFd, POLLIN, 0 }, { wakeFd, POLLIN, 0 } };
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "linksim: command responder: poll: %s\n", std::strerror(errno));
            return;
        }
        if (fds[1].revents || (fds[0].revents & POLLNVAL))
            return;
        // A pending socket error (POLLERR) is taken by the read below; skipping it
        // would make poll report it again at once.
        if (!(fds[0].revents & (POLLIN | POLLERR)))
            continue;
        sockaddr_in peer {};
        socklen_t peerLen = sizeof peer;
        const ssize_t n = ::recvfrom(socketFd, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT,
            reinterpret_cast<sockaddr *>(&peer), &peerLen);
        if (n < 0)
            continue;
        const QList<QByteArray> replies = respond(QByteArray(buffer.constData(), int(n)));
        for (const QByteArray &reply : replies) {
            ::sendto(socketFd, reply.constData(), size_t(reply.size()), 0,
                reinterpret_cast<const sockaddr *>(&peer), peerLen);
        }
    }
}

} // namespace linksim
