#include "sim/cmdresponder.h"

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

    struct IdName {
        quint16 id;
        const char *name;
    };

    // Where each parameter id lives in the camera's store. The picture reads the
    // names of param::; the others are kept for the parameter report and tests.
    constexpr IdName kIdNames[] = {
        { 0xA001, param::frameRate },
        { 0xA002, param::exposureTime },
        { 0xA003, "exposure_enable" },
        { 0xA004, param::brightness },
        { 0xA005, param::gainRed },
        { 0xA006, param::gainBlue },
        { 0xA007, param::gainGreenRed },
        { 0xA008, param::gainGreenBlue },
        { 0xA009, param::gainGlobal },
        { 0xA00B, "sharpen_threshold" },
        { 0xA00C, "sharpen_strength" },
        { 0xA00D, "black_level_r" },
        { 0xA00E, "black_level_gb" },
        { 0xA00F, "black_level_gr" },
        { 0xA010, param::flipVertical },
        { 0xA011, param::flipHorizontal },
        { 0xA012, "sobel_debug1" },
        { 0xA013, "sobel_debug2" },
        { 0xA014, "sobel_threshold" },
        { 0xA015, "sobel_kernel" },
        { 0xA016, "sobel_enable" },
        { 0xA019, "register_print_address" },
        { 0xA01B, param::streamOn }, // 0: streaming stopped
        { 0xA01C, "capture_vdma" },
        { 0xA01D, param::sensorOn }, // 0: sensor off
        { 0xA020, "black_level_b" },
        { 0xA021, "filter_threshold" },
        { 0xA022, "burn_in" },
    };
    constexpr char kSensorMaster[] = "sensor_master"; // 0xA01E sets 0 (slave), 0xA01F sets 1
    constexpr char kModel[] = "linksim";

    int signedValue(quint16 id, quint32 raw)
    {
        // The 16-bit brightness travels as two's complement; the rest are unsigned.
        return id == 0xA004 ? int(qint16(quint16(raw))) : int(raw);
    }

    // Applies one write or switch to the store; false when the camera refuses it.
    bool apply(ParameterStore &store, quint16 id, const QByteArray &buffer)
    {
        const std::optional<quint32> raw = paramcat::decodeValue(id, buffer);
        if (!raw)
            return false;
        if (id == 0xA01E || id == 0xA01F) {
            store.setValue(QString::fromLatin1(kSensorMaster), id == 0xA01F ? 1 : 0);
            return true;
        }
        if (id == 0xA01A) { // register address in the high half, value in the low half
            store.setValue(QStringLiteral("register_%1").arg(*raw >> 16, 4, 16, QLatin1Char('0')),
                qint64(*raw & 0xFFFF));
            return true;
        }
        if (id == 0xA001 && (*raw < 1 || *raw > 240))
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

CmdResponder::CmdResponder(AddressSource address, const std::array<uchar, 6> &mac, ParameterStore &store)
    : m_address(std::move(address))
    , m_mac(mac)
    , m_store(store)
{
}

CmdResponder::~CmdResponder()
{
    stop();
}

const char *CmdResponder::parameterName(quint16 id)
{
    for (const IdName &entry : kIdNames) {
        if (entry.id == id)
            return entry.name;
    }
    return nullptr;
}

QByteArray CmdResponder::report() const
{
    QJsonObject object;
    object.insert(
        QStringLiteral("A001_rate"), double(m_store.value(QString::fromLatin1(param::frameRate), 0)));
    object.insert(QStringLiteral("A002_baoguang_time"),
        double(m_store.value(QString::fromLatin1(param::exposureTime), 0)));
    object.insert(
        QStringLiteral("A00B_ruihua_fazhi"), double(m_store.value(QStringLiteral("sharpen_threshold"), 0)));
    object.insert(
        QStringLiteral("A00C_ruihua_qiangdu"), double(m_store.value(QStringLiteral("sharpen_strength"), 0)));
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
        const bool known = (frame->id >= 0xA01B && frame->id <= 0xA01F) || frame->id == 0xA022;
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
    char ipText[INET_ADDRSTRLEN] = {};
    const in_addr inAddr { htonl(ip) };
    inet_ntop(AF_INET, &inAddr, ipText, sizeof ipText);

    auto fail = [&](const char *what) {
        std::fprintf(stderr, "linksim: command responder at %s:%u: %s: %s\n", ipText,
            unsigned(cmdproto::kPort), what, std::strerror(errno));
        closeFd(m_socket);
        closeFd(m_wakeRead);
        closeFd(m_wakeWrite);
        return false;
    };

    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return fail("socket");
    // Tavix binds 0.0.0.0:3956 with address reuse; the camera's specific address
    // can share the port only when both sides allow it.
    const int one = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(cmdproto::kPort);
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
