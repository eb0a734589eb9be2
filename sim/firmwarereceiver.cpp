#include "sim/firmwarereceiver.h"

#include "core/cameracode.h"
#include "core/transfer.h"
#include "sim/firmwarename.h"
#include "sim/simcamera.h"
#include "sim/simconfig.h"
#include "sim/simexport.h"
#include "sim/simmodel.h"
#include "sim/simsocket.h"

#include <QDir>
#include <QSaveFile>
#include <QtEndian>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace linksim {

namespace {

    using Clock = std::chrono::steady_clock;

    int envInt(const char *name, int fallback, int max)
    {
        const QByteArray text = qgetenv(name);
        if (text.isEmpty())
            return fallback;
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < 0 || value > max) {
            std::fprintf(stderr, "linksim: %s=%s is not a number from 0 to %d, using %d\n", name,
                text.constData(), max, fallback);
            return fallback;
        }
        return value;
    }

    SocketHandle openListener(quint32 ip, quint16 port)
    {
        SocketHandle fd = openSocket(SOCK_STREAM);
        if (fd == kNoSocket)
            return kNoSocket;
        allowAddressReuse(fd);
        if (!bindTo(fd, ip, port) || ::listen(fd, 4) != 0)
            closeSocket(fd);
        return fd;
    }

} // namespace

FirmwareSettings FirmwareSettings::fromEnvironment()
{
    FirmwareSettings settings;
    const QByteArray folder = qgetenv("LINKSIM_FIRMWARE_DIR");
    settings.baseFolder = folder.isEmpty() ? QDir::tempPath() + QStringLiteral("/linksim-firmware")
                                           : QString::fromLocal8Bit(folder);
    settings.rejectFiles = envInt("LINKSIM_REJECT_FILES", 0, 1000000);
    settings.restartMs = envInt("LINKSIM_RESTART_MS", 2000, 600000);
    return settings;
}

QString FirmwareSettings::folderFor(quint32 ip) const
{
    return baseFolder + QLatin1Char('/') + ipv4Text(ip);
}

// One connection: frames in control mode, raw image bytes in data mode.
class FirmwareReceiver::Session {
public:
    Session(FirmwareReceiver &owner, SocketHandle fd)
        : owner(owner)
        , fd(fd)
    {
    }
    ~Session() { closeSocket(fd); }

    // Feeds received bytes; false when the connection is to be closed.
    bool feed(const char *data, qint64 size);
    bool restartRequested() const { return restart; }
    SocketHandle socket() const { return fd; }

private:
    void handleFrame(const firmware::Frame &frame);
    void consumeData(const char *data, qint64 size);
    void finishFile();
    void reply(quint8 status, quint8 progress = 0);
    void dropFile();

    FirmwareReceiver &owner;
    SocketHandle fd;
    bool open = true;
    bool restart = false;

    firmware::FrameStream control;
    bool haveHeader = false;
    firmware::HeaderInfo header;
    bool dataMode = false;
    qint64 expected = 0; // image bytes announced
    qint64 received = 0;
    int lastTenth = 0;
    firmware::RunningCrc crc;
    QByteArray crcBytes;
    std::unique_ptr<QSaveFile> out;
    bool writeFailed = false;
};

bool FirmwareReceiver::Session::feed(const char *data, qint64 size)
{
    QByteArray pending;
    for (;;) {
        if (dataMode) {
            const qint64 take = std::min(size, expected - received);
            consumeData(data, take);
            data += take;
            size -= take;
            if (received < expected)
                return open;
            dataMode = false;
        }
        control.append(data, size);
        size = 0;
        bool switched = false;
        while (open && !switched) {
            const auto bytes = control.takeFrame();
            if (!bytes)
                break;
            if (const auto frame = firmware::parseFrame(*bytes))
                handleFrame(*frame);
            if (dataMode) {
                // What follows the start frame is image data, not frames.
                pending = control.takeRaw(control.buffered());
                data = pending.constData();
                size = pending.size();
                switched = true;
            }
        }
        if (!open || !switched)
            return open;
    }
}

void FirmwareReceiver::Session::handleFrame(const firmware::Frame &frame)
{
    using namespace firmware;
    if (frame.command == CmdHeader) {
        dropFile();
        const auto info = parseHeaderPayload(frame.payload);
        if (!info || info->imageSize <= CrcSize || info->imageSize > MaxImageSize
            || !isSafeFirmwareName(info->name)) {
            reply(StatusFailed);
            return;
        }
        header = *info;
        haveHeader = true;
        reply(StatusSendStart);
    } else if (frame.command == CmdData && frame.payload.size() >= 2
        && quint8(frame.payload[0]) == DataStart) {
        dropFile();
        // Reception always starts at the image's first byte.
        if (!haveHeader || frame.payload[1] != 0) {
            reply(StatusFailed);
            return;
        }
        out = std::make_unique<QSaveFile>(owner.folder + QLatin1Char('/') + QString::fromLatin1(header.name));
        if (!out->open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "linksim: firmware: cannot write %s\n", qPrintable(out->fileName()));
            out.reset();
            reply(StatusFailed);
            return;
        }
        expected = header.imageSize;
        received = 0;
        lastTenth = 0;
        crc.reset();
        crcBytes.clear();
        writeFailed = false;
        dataMode = true;
        reply(StatusSendData);
    } else if (frame.command == CmdData && frame.payload.size() == 1 && quint8(frame.payload[0]) == DataEnd) {
        finishFile();
    } else if (frame.command == CmdRestart) {
        dropFile();
        restart = true;
        open = false;
    }
}

void FirmwareReceiver::Session::consumeData(const char *data, qint64 size)
{
    const qint64 fileSize = expected - firmware::CrcSize;
    const qint64 fileBytes = std::max<qint64>(0, std::min(size, fileSize - received));
    if (fileBytes > 0) {
        crc.update(data, fileBytes);
        if (out->write(data, fileBytes) != fileBytes)
            writeFailed = true;
    }
    crcBytes.append(data + fileBytes, int(size - fileBytes));
    received += size;

    const int tenth = int(received * 10 / expected);
    if (tenth > lastTenth) {
        lastTenth = tenth;
        reply(firmware::StatusProgress, quint8(tenth * 10));
    }
}

void FirmwareReceiver::Session::finishFile()
{
    const bool complete = out && received == expected && crcBytes.size() == 4;
    const bool crcMatches = complete
        && qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(crcBytes.constData())) == crc.value();
    bool keep = crcMatches && !writeFailed;
    if (keep && owner.rejectLeft > 0) {
        --owner.rejectLeft;
        keep = false;
    }
    if (keep && out->commit()) {
        out.reset();
        ++owner.kept;
        reply(firmware::StatusReceived);
    } else {
        dropFile();
        ++owner.rejected;
        reply(firmware::StatusFailed);
    }
    haveHeader = false;
}

void FirmwareReceiver::Session::dropFile()
{
    if (out)
        out->cancelWriting();
    out.reset();
    dataMode = false;
}

void FirmwareReceiver::Session::reply(quint8 status, quint8 progress)
{
    const QByteArray frame = firmware::buildReplyFrame(status, progress);
    if (sendBytes(fd, frame.constData(), std::size_t(frame.size())) != frame.size())
        open = false;
}

FirmwareReceiver::~FirmwareReceiver()
{
    stop();
}

bool FirmwareReceiver::start(
    quint32 address, const QString &files, int rejectFiles, int restartPause, quint16 listenPort)
{
    if (running())
        return false;
    if (!QDir().mkpath(files)) {
        std::fprintf(stderr, "linksim: firmware: cannot make folder %s\n", qPrintable(files));
        return false;
    }
    SocketHandle listener = openListener(address, listenPort);
    if (listener == kNoSocket) {
        std::fprintf(stderr, "linksim: firmware: cannot listen at %s:%u: %s\n", qPrintable(ipv4Text(address)),
            unsigned(listenPort), socketErrorText());
        return false;
    }
    if (!wake.open()) {
        closeSocket(listener);
        return false;
    }
    ip = address;
    port = listenPort;
    folder = files;
    rejectLeft = rejectFiles;
    restartMs = restartPause;
    stopping = false;
    kept = 0;
    rejected = 0;
    restarts = 0;
    thread = std::thread([this, listener] { run(listener); });
    return true;
}

void FirmwareReceiver::stop()
{
    if (!running())
        return;
    stopping = true;
    wake.wake();
    thread.join();
    wake.close();
}

void FirmwareReceiver::run(SocketHandle listener)
{
    std::unique_ptr<Session> session;
    Clock::time_point reopenAt;
    std::vector<char> buffer(1 << 20);

    while (!stopping) {
        if (listener == kNoSocket && Clock::now() >= reopenAt) {
            listener = openListener(ip, port);
            if (listener == kNoSocket)
                reopenAt = Clock::now() + std::chrono::milliseconds(100);
        }
        WaitEntry fds[3];
        fds[0].socket = wake.waitHandle();
        fds[1].socket = listener;
        if (session)
            fds[2].socket = session->socket();
        int timeout = -1;
        if (listener == kNoSocket) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(reopenAt - Clock::now());
            timeout = int(std::max<qint64>(1, left.count() + 1));
        }
        if (!waitForSockets(fds, 3, timeout) && !callMayBeRetried())
            break;
        if (stopping)
            break;

        // The current client's bytes before a new connection: a restart frame
        // sent just before connecting again must not be dropped with its session.
        if (session && fds[2].readable) {
            const long long n = receiveBytes(session->socket(), buffer.data(), buffer.size());
            if (n < 0 && callMayBeRetried())
                continue;
            const bool keepOpen = n > 0 && session->feed(buffer.data(), n);
            if (!keepOpen) {
                if (session->restartRequested()) {
                    // Rebooting: nobody answers at this address for a while. The
                    // listener goes first, so no one gets in once the client
                    // has seen its connection close; connections waiting in
                    // its backlog are reset.
                    closeSocket(listener);
                    reopenAt = Clock::now() + std::chrono::milliseconds(restartMs);
                    ++restarts;
                }
                session.reset();
            }
        }
        if (listener != kNoSocket && fds[1].readable) {
            const SocketHandle client = acceptClient(listener);
            if (client != kNoSocket) {
                // The newest connection wins, as the tool reconnects at will.
                setSendTimeout(client, 2000);
                session = std::make_unique<Session>(*this, client);
                continue;
            }
        }
    }
    session.reset();
    closeSocket(listener);
}

namespace {

    class FirmwareTransport final : public SimTransport {
    public:
        FirmwareTransport(SimCamera &camera, quint16 port)
            : camera(camera)
            , port(port)
        {
        }
        const char *name() const override { return "firmware"; }
        bool start() override
        {
            const FirmwareSettings settings = FirmwareSettings::fromEnvironment();
            const quint32 ip = camera.ip();
            return receiver.start(ip, settings.folderFor(ip), settings.rejectFiles, settings.restartMs, port);
        }
        void stop() override { receiver.stop(); }
        void addressChanged() override
        {
            if (!receiver.running())
                return;
            receiver.stop();
            start();
        }

    private:
        SimCamera &camera;
        const quint16 port;
        FirmwareReceiver receiver;
    };

    // Receivers started through the C functions, by address.
    std::mutex registryMutex;
    using Registry = std::map<quint32, std::unique_ptr<FirmwareReceiver>>;
    Registry &registry()
    {
#ifdef Q_OS_WIN
        static Registry *const receivers = new Registry; // never destroyed, as SimModel
        return *receivers;
#else
        static Registry receivers;
        return receivers;
#endif
    }

    // A dotted address in 127.0.0.0/8, host order; 0 when it is none.
    quint32 loopbackAddress(const char *text)
    {
        const std::optional<quint32> ip = parseDottedIpv4(text, text ? std::strlen(text) : 0);
        return ip && (*ip >> 24) == 127 ? *ip : 0;
    }

} // namespace

std::unique_ptr<SimTransport> makeFirmwareTransport(SimCamera &camera, quint16 port)
{
    return std::make_unique<FirmwareTransport>(camera, port);
}

} // namespace linksim

using linksim::FirmwareReceiver;
using linksim::FirmwareSettings;

LINKSIM_EXPORT int linksim_firmware_receiver_start(const char *ip, const char *folder)
{
    const quint32 address = linksim::loopbackAddress(ip);
    if (address == 0)
        return 8;
    const FirmwareSettings settings = FirmwareSettings::fromEnvironment();
    const QString files = folder && *folder ? QString::fromLocal8Bit(folder) : settings.folderFor(address);
    std::lock_guard<std::mutex> lock(linksim::registryMutex);
    auto &receiver = linksim::registry()[address];
    if (!receiver)
        receiver = std::make_unique<FirmwareReceiver>();
    linksim::keepLibraryWhileThreadsRun();
    const quint16 port = linksim::SimConfig::fromEnvironment().firmwarePort;
    return receiver->start(address, files, settings.rejectFiles, settings.restartMs, port) ? 0 : 9;
}

LINKSIM_EXPORT int linksim_firmware_receiver_stop(const char *ip)
{
    std::lock_guard<std::mutex> lock(linksim::registryMutex);
    auto &receivers = linksim::registry();
    const auto it = receivers.find(linksim::loopbackAddress(ip));
    if (it == receivers.end() || !it->second->running())
        return 8;
    it->second->stop();
    return 0;
}

LINKSIM_EXPORT int linksim_firmware_restarts(const char *ip)
{
    std::lock_guard<std::mutex> lock(linksim::registryMutex);
    auto &receivers = linksim::registry();
    const auto it = receivers.find(linksim::loopbackAddress(ip));
    if (it == receivers.end() || !it->second->running())
        return -1;
    return it->second->restartCount();
}

LINKSIM_EXPORT int linksim_firmware_files_kept(const char *ip)
{
    std::lock_guard<std::mutex> lock(linksim::registryMutex);
    auto &receivers = linksim::registry();
    const auto it = receivers.find(linksim::loopbackAddress(ip));
    if (it == receivers.end() || !it->second->running())
        return -1;
    return it->second->filesKept();
}
