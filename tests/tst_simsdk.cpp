// The simulated camera SDK (liblink.so, link.dll), driven through its C
// interface as the program drives it: loaded from TAVIX_TEST_SDK.
#include "core/cameracode.h"
#include "core/linksdk.h"
#include "core/portclaim.h"
#include "core/testports.h"
#include "sim/linksim.h"
#include "tests/simlibrary.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

struct Sdk {
    SimLibrary library;
#define SDK_MEMBER(name, ordinal, ret, args) ret(*name) args = nullptr;
    LINKSDK_OPERATIONS(SDK_MEMBER)
#undef SDK_MEMBER
    int (*cameraState)(int) = nullptr;
    long long (*framesDelivered)(int) = nullptr;
    int (*deliveryRunning)(int) = nullptr;
    int (*triggerMode)(int) = nullptr;
    int (*setParam)(int, const char *, long long) = nullptr;

    template <typename F> bool resolve(F &target, const char *name)
    {
        return library.byName(target, name);
    }

    bool load(const QByteArray &path)
    {
        if (!library.load(path))
            return false;
        bool ok = true;
#define SDK_RESOLVE(name, ordinal, ret, args) ok = library.operation(name, #name, ordinal) && ok;
        LINKSDK_OPERATIONS(SDK_RESOLVE)
#undef SDK_RESOLVE
        ok = resolve(cameraState, "linksim_camera_state") && ok;
        ok = resolve(framesDelivered, "linksim_frames_delivered") && ok;
        ok = resolve(deliveryRunning, "linksim_delivery_running") && ok;
        ok = resolve(triggerMode, "linksim_trigger_mode") && ok;
        ok = resolve(setParam, "linksim_set_param") && ok;
        return ok;
    }

    // True once the library is really gone from the process.
    bool unload(const QByteArray &)
    {
        return library.unload();
    }

    CameraList enumerate()
    {
        CameraList list;
        std::memset(&list, 0xAB, sizeof list);
        if (IB_CC_EnumCamera(&list) != 0)
            list.count = -1;
        return list;
    }
};

// What a frame callback saw.
struct Recorder {
    std::atomic<int> frames { 0 };
    std::atomic<bool> stopReturned { false };
    std::atomic<int> lateFrames { 0 };
    std::atomic<int> slowMs { 0 };
    std::atomic<int> entries { 0 };
    std::atomic<int> exits { 0 };
    std::mutex mutex;
    FrameInfo info {};
    QByteArray pixels;
    QVector<quint32> numbers;

    static int callback(unsigned char *data, FrameInfo *info, void *context)
    {
        auto *self = static_cast<Recorder *>(context);
        if (self->stopReturned)
            ++self->lateFrames;
        ++self->entries;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->info = *info;
            const int size = int(info->nWidth * info->nHeight * (info->nBitCount / 8));
            self->pixels = QByteArray(reinterpret_cast<const char *>(data), size);
            self->numbers.append(quint32(info->reserved[0]) | quint32(info->reserved[1]) << 8
                | quint32(info->reserved[2]) << 16 | quint32(info->reserved[3]) << 24);
        }
        if (self->slowMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(self->slowMs));
        ++self->frames;
        ++self->exits;
        return 0;
    }
    QByteArray lastPixels()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pixels;
    }
};

QByteArray ipText(const CameraRecord &r)
{
    return QByteArray::number(r.ip[0]) + '.' + QByteArray::number(r.ip[1]) + '.' + QByteArray::number(r.ip[2])
        + '.' + QByteArray::number(r.ip[3]);
}

} // namespace

class TestSimSdk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void refusesBeforeInitAndBadArguments();
    void enumeratesDefaultCameras();
    void stateRules();
    void freeRunDeliversMovingFrames_data();
    void freeRunDeliversMovingFrames();
    void stopWaitsForRunningCallback();
    void triggerModes();
    void setCameraIp_data();
    void setCameraIp();
    void setCameraName();
    void concurrentCallsNeverDeadlock();
    void claimedAddressDeliversFramesOnly();
    void environmentAndUnload();

private:
    CameraRecord record(int index) { return m_sdk.enumerate().records[index]; }
    QByteArray m_path;
    QByteArray m_ownBase; // this program's camera addresses when it binds ports
    Sdk m_sdk;
};

void TestSimSdk::initTestCase()
{
    m_path = qgetenv("TAVIX_TEST_SDK");
    if (m_path.isEmpty())
        QSKIP("TAVIX_TEST_SDK not set");
    // Frames only: this test binds no port but in claimedAddressDeliversFramesOnly,
    // which uses this program's own addresses; the others check the defaults.
    qputenv("LINKSIM_NETWORK", "0");
    m_ownBase = qgetenv("LINKSIM_BASE_IP");
    if (m_ownBase.isEmpty())
        m_ownBase = "127.0.0.2";
    qunsetenv("LINKSIM_BASE_IP");
    QVERIFY2(m_sdk.load(m_path), qPrintable(m_sdk.library.error()));
}

void TestSimSdk::refusesBeforeInitAndBadArguments()
{
    CameraList list;
    CameraRecord zero;
    std::memset(&zero, 0, sizeof zero);
    QVERIFY(m_sdk.IB_CC_EnumCamera(&list) != 0);
    QVERIFY(m_sdk.IB_CC_OpenCamera(&zero) != 0);

    QCOMPARE(m_sdk.IB_CC_Init(), 0);
    QCOMPARE(m_sdk.IB_CC_Init(), 0); // idempotent: still the same two cameras
    QCOMPARE(m_sdk.enumerate().count, 2);
    QVERIFY(m_sdk.IB_CC_EnumCamera(nullptr) != 0);

    CameraRecord foreign = zero;
    std::strcpy(foreign.name, "NotACamera");
    const uchar mac[6] = { 0x00, 0x1A, 0x2B, 0x03, 0x4D, 0x5E };
    std::memcpy(foreign.mac, mac, 6);
    char text[64] = "127.0.0.20";
    for (CameraRecord *bad : { static_cast<CameraRecord *>(nullptr), &zero, &foreign }) {
        QVERIFY(m_sdk.IB_CC_OpenCamera(bad) != 0);
        QVERIFY(m_sdk.IB_CC_RegisterImage(bad, &Recorder::callback, nullptr) != 0);
        QVERIFY(m_sdk.IB_CC_StartCamera(bad) != 0);
        QVERIFY(m_sdk.IB_CC_StopCamera(bad) != 0);
        QVERIFY(m_sdk.IB_CC_CloseCamera(bad) != 0);
        QVERIFY(m_sdk.IB_CC_modeCamera(bad, 0) != 0);
        QVERIFY(m_sdk.IB_CC_softCamera(bad) != 0);
        QVERIFY(m_sdk.IB_CC_setCameraip(bad, text) != 0);
        QVERIFY(m_sdk.IB_CC_setCameraName(bad, text) != 0);
    }
    CameraRecord cam = record(0);
    QVERIFY(m_sdk.IB_CC_setCameraip(&cam, nullptr) != 0);
    QVERIFY(m_sdk.IB_CC_setCameraName(&cam, nullptr) != 0);
    QCOMPARE(m_sdk.cameraState(0), int(LINKSIM_CLOSED));
}

void TestSimSdk::enumeratesDefaultCameras()
{
    const CameraList list = m_sdk.enumerate();
    QCOMPARE(list.count, 2);
    QCOMPARE(QByteArray(list.records[0].name), QByteArray("SimCam-Mono"));
    QCOMPARE(QByteArray(list.records[1].name), QByteArray("SimCam-Color"));
    QCOMPARE(ipText(list.records[0]), QByteArray("127.0.0.2"));
    QCOMPARE(ipText(list.records[1]), QByteArray("127.0.0.3"));
    const uchar mac0[6] = { 0x02, 0x54, 0x56, 0x00, 0x00, 0x01 };
    const uchar mac1[6] = { 0x02, 0x54, 0x56, 0x00, 0x00, 0x02 };
    QCOMPARE(std::memcmp(list.records[0].mac, mac0, 6), 0);
    QCOMPARE(std::memcmp(list.records[1].mac, mac1, 6), 0);
    // Records past the count are cleared, not left as the caller had them.
    const CameraRecord empty {};
    QCOMPARE(std::memcmp(&list.records[2], &empty, sizeof empty), 0);
    QCOMPARE(std::memcmp(&list.records[31], &empty, sizeof empty), 0);
}

void TestSimSdk::stateRules()
{
    CameraRecord cam = record(0);
    QVERIFY(m_sdk.IB_CC_StartCamera(&cam) != 0);
    QVERIFY(m_sdk.IB_CC_StopCamera(&cam) != 0);
    QVERIFY(m_sdk.IB_CC_CloseCamera(&cam) != 0);
    QVERIFY(m_sdk.IB_CC_modeCamera(&cam, 0) != 0);
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&cam, nullptr, nullptr), 0); // any state

    QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
    QVERIFY(m_sdk.IB_CC_OpenCamera(&cam) != 0);
    QCOMPARE(m_sdk.IB_CC_StopCamera(&cam), 0); // lenient: an opened camera is already stopped
    QVERIFY(m_sdk.IB_CC_softCamera(&cam) != 0);
    QVERIFY(m_sdk.IB_CC_modeCamera(&cam, 3) != 0);
    QVERIFY(m_sdk.IB_CC_modeCamera(&cam, -1) != 0);
    QCOMPARE(m_sdk.cameraState(0), int(LINKSIM_OPENED));

    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0); // already streaming
    QCOMPARE(m_sdk.cameraState(0), int(LINKSIM_STREAMING));
    QCOMPARE(m_sdk.deliveryRunning(0), 1);

    // A record found by name and address when its MAC is unknown.
    CameraRecord byName = cam;
    std::memset(byName.mac, 0, 6);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&byName), 0);
    QCOMPARE(m_sdk.cameraState(0), int(LINKSIM_CLOSED));
    QCOMPARE(m_sdk.deliveryRunning(0), 0);
    QVERIFY(m_sdk.IB_CC_StartCamera(&cam) != 0); // a closed camera is not restarted
}

void TestSimSdk::freeRunDeliversMovingFrames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("bitCount");
    QTest::newRow("mono") << 0 << 8u;
    QTest::newRow("color") << 1 << 24u;
}

void TestSimSdk::freeRunDeliversMovingFrames()
{
    QFETCH(int, index);
    QFETCH(uint, bitCount);
    CameraRecord cam = record(index);
    Recorder recorder;
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&cam, &Recorder::callback, &recorder), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
    QCOMPARE(m_sdk.IB_CC_modeCamera(&cam, 0), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);

    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= 1, 5000);
    const QByteArray first = recorder.lastPixels();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= 15, 10000); // 30 frames/s; generous for a loaded machine
    const qint64 elapsedMs = clock.elapsed();
    const int counted = recorder.frames;
    // Paced, not a busy loop: never much more than 30 per second.
    QVERIFY2(counted <= 2 + elapsedMs * 2 * 30 / 1000, qPrintable(QString::number(counted)));

    QCOMPARE(m_sdk.IB_CC_StopCamera(&cam), 0);
    recorder.stopReturned = true;
    QCOMPARE(m_sdk.deliveryRunning(index), 0);
    QCOMPARE(m_sdk.framesDelivered(index) >= counted, true);

    QCOMPARE(recorder.info.nWidth, 1280u);
    QCOMPARE(recorder.info.nHeight, 1024u);
    QCOMPARE(recorder.info.nBitCount, bitCount);
    const QByteArray last = recorder.lastPixels();
    QCOMPARE(last.size(), int(1280 * 1024 * bitCount / 8));
    // The pattern moves: the lower half (clear of the frame number) differs.
    QVERIFY(first.mid(first.size() / 2) != last.mid(last.size() / 2));
    for (int i = 1; i < recorder.numbers.size(); ++i)
        QVERIFY(recorder.numbers[i] > recorder.numbers[i - 1]);
    if (bitCount == 24) {
        int coloured = 0; // pixels whose blue and red differ
        for (int i = last.size() / 2; i + 2 < last.size(); i += 3 * 97)
            coloured += last[i] != last[i + 2];
        QVERIFY(coloured > 100);
    }

    // Stop, then start again: frames flow again.
    const int before = recorder.frames;
    recorder.stopReturned = false;
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames > before, 5000);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&cam), 0);
    recorder.stopReturned = true;
    QTest::qWait(100); // a callback after Close would be counted as late
    QCOMPARE(recorder.lateFrames.load(), 0);
}

void TestSimSdk::stopWaitsForRunningCallback()
{
    CameraRecord cam = record(0);
    Recorder recorder;
    recorder.slowMs = 300;
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&cam, &Recorder::callback, &recorder), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);
    // Stop while a callback is running: it returns after that callback has.
    QTRY_VERIFY_WITH_TIMEOUT(recorder.entries > recorder.exits, 5000);
    QCOMPARE(m_sdk.IB_CC_StopCamera(&cam), 0);
    QCOMPARE(recorder.exits.load(), recorder.entries.load());
    const int entries = recorder.entries;
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&cam), 0);
    QCOMPARE(recorder.entries.load(), entries);
}

void TestSimSdk::triggerModes()
{
    CameraRecord cam = record(1);
    Recorder recorder;
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&cam, &Recorder::callback, &recorder), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
    QCOMPARE(m_sdk.IB_CC_modeCamera(&cam, 2), 0);
    QCOMPARE(m_sdk.triggerMode(1), 2);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);

    // Software trigger: exactly one frame per call, consecutive frame numbers.
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(m_sdk.IB_CC_softCamera(&cam), 0);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.frames.load(), i, 5000);
    }
    QTest::qWait(200); // six frame periods: nothing comes untriggered
    QCOMPARE(recorder.frames.load(), 3);
    QCOMPARE(recorder.numbers[2], recorder.numbers[0] + 2);

    // Hardware input: frames at about two per second.
    QCOMPARE(m_sdk.IB_CC_modeCamera(&cam, 1), 0);
    QVERIFY(m_sdk.IB_CC_softCamera(&cam) != 0);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= 5, 10000);
    QVERIFY(recorder.frames <= 3 + 2 + clock.elapsed() * 2 / 1000);

    // Back to free run while streaming: the faster rate resumes.
    QCOMPARE(m_sdk.IB_CC_modeCamera(&cam, 0), 0);
    QVERIFY(m_sdk.IB_CC_softCamera(&cam) != 0);
    const int before = recorder.frames;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= before + 10, 5000);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&cam), 0);
}

void TestSimSdk::setCameraIp_data()
{
    QTest::addColumn<QByteArray>("text"); // up to 64 bytes, no NUL added when it has 64
    QTest::addColumn<bool>("accepted");
    QTest::newRow("loopback") << QByteArray("127.0.0.9") << true;
    QTest::newRow("loopback far") << QByteArray("127.200.1.254") << true;
    QTest::newRow("private range") << QByteArray("192.168.1.10") << false;
    QTest::newRow("host itself") << QByteArray("127.0.0.1") << false;
    QTest::newRow("network") << QByteArray("127.0.0.0") << false;
    QTest::newRow("broadcast") << QByteArray("127.255.255.255") << false;
    QTest::newRow("other camera") << QByteArray("127.0.0.3") << false;
    QTest::newRow("256") << QByteArray("127.0.0.256") << false;
    QTest::newRow("three parts") << QByteArray("127.0.0") << false;
    QTest::newRow("five parts") << QByteArray("127.0.0.5.6") << false;
    QTest::newRow("leading zero") << QByteArray("127.0.0.05") << false;
    QTest::newRow("blank before") << QByteArray(" 127.0.0.5") << false;
    QTest::newRow("blank after") << QByteArray("127.0.0.5 ") << false;
    QTest::newRow("sign") << QByteArray("127.0.+0.5") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("64 bytes, no NUL") << QByteArray("127.0.0.5").leftJustified(64, '7') << false;
}

void TestSimSdk::setCameraIp()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    CameraRecord cam = record(0);
    const CameraRecord before = cam;
    // Exactly 64 bytes on the heap, so a read past the buffer shows under a sanitizer.
    std::unique_ptr<char[]> buffer(new char[64]);
    std::memset(buffer.get(), 0, 64);
    std::memcpy(buffer.get(), text.constData(), std::size_t(text.size()));

    QCOMPARE(m_sdk.IB_CC_setCameraip(&cam, buffer.get()) == 0, accepted);
    QCOMPARE(std::memcmp(&cam, &before, sizeof cam), 0); // the caller's record is untouched
    QCOMPARE(ipText(record(0)), accepted ? text : QByteArray("127.0.0.2"));
    if (accepted) {
        // The old record still names the moved camera.
        QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
        QCOMPARE(m_sdk.IB_CC_CloseCamera(&cam), 0);
        char back[64] = "127.0.0.2";
        QCOMPARE(m_sdk.IB_CC_setCameraip(&cam, back), 0);
    }
}

void TestSimSdk::setCameraName()
{
    CameraRecord cam = record(1);
    std::unique_ptr<char[]> buffer(new char[64]);
    std::memset(buffer.get(), 'N', 64); // no NUL anywhere
    QCOMPARE(m_sdk.IB_CC_setCameraName(&cam, buffer.get()), 0);
    QCOMPARE(QByteArray(record(1).name), QByteArray(63, 'N'));

    std::memset(buffer.get(), 0, 64);
    QVERIFY(m_sdk.IB_CC_setCameraName(&cam, buffer.get()) != 0); // empty name refused
    QCOMPARE(QByteArray(record(1).name), QByteArray(63, 'N'));

    std::strcpy(buffer.get(), "SimCam-Color");
    QCOMPARE(m_sdk.IB_CC_setCameraName(&cam, buffer.get()), 0);
    QCOMPARE(QByteArray(record(1).name), QByteArray("SimCam-Color"));
}

// Two threads drive both cameras in every order while frames flow and a
// callback itself stops, starts and triggers its camera. Success is finishing.
void TestSimSdk::concurrentCallsNeverDeadlock()
{
    struct Context {
        Sdk *sdk;
        CameraRecord cam;
        std::atomic<int> frames { 0 };
    };
    Context contexts[2] = { { &m_sdk, record(0), {} }, { &m_sdk, record(1), {} } };
    const FrameCallback meddling = [](unsigned char *, FrameInfo *, void *c) -> int {
        auto *context = static_cast<Context *>(c);
        const int n = ++context->frames;
        if (n % 3 == 0)
            context->sdk->IB_CC_StopCamera(&context->cam);
        else if (n % 3 == 1)
            context->sdk->IB_CC_softCamera(&context->cam);
        else
            context->sdk->IB_CC_StartCamera(&context->cam);
        return 0;
    };
    for (Context &context : contexts) {
        QCOMPARE(m_sdk.IB_CC_RegisterImage(&context.cam, meddling, &context), 0);
        m_sdk.setParam(int(&context - contexts), "frame_rate", 240);
    }
    auto driver = [&](unsigned seed) {
        for (int i = 0; i < 400; ++i) {
            seed = seed * 1103515245u + 12345u;
            CameraRecord *cam = &contexts[(seed >> 8) & 1].cam;
            switch ((seed >> 12) % 7) {
            case 0:
                m_sdk.IB_CC_OpenCamera(cam);
                break;
            case 1:
                m_sdk.IB_CC_StartCamera(cam);
                break;
            case 2:
                m_sdk.IB_CC_StopCamera(cam);
                break;
            case 3:
                m_sdk.IB_CC_CloseCamera(cam);
                break;
            case 4:
                m_sdk.IB_CC_modeCamera(cam, int((seed >> 16) % 3));
                break;
            case 5:
                m_sdk.IB_CC_softCamera(cam);
                break;
            default:
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                break;
            }
        }
    };
    std::thread a(driver, 1u);
    std::thread b(driver, 2u);
    a.join();
    b.join();
    for (int i = 0; i < 2; ++i) {
        m_sdk.IB_CC_CloseCamera(&contexts[i].cam);
        QCOMPARE(m_sdk.cameraState(i), int(LINKSIM_CLOSED));
        QCOMPARE(m_sdk.deliveryRunning(i), 0);
        QCOMPARE(m_sdk.IB_CC_RegisterImage(&contexts[i].cam, nullptr, nullptr), 0);
        m_sdk.setParam(i, "frame_rate", 30);
        QCOMPARE(m_sdk.IB_CC_modeCamera(&contexts[i].cam, 0) != 0, true); // closed
    }
    QVERIFY(contexts[0].frames + contexts[1].frames > 0);
}

// Another process serves the first camera's address: the camera there
// delivers frames but binds neither the command nor the firmware port, while
// the second camera serves; the claims follow an address change and go at unload.
void TestSimSdk::claimedAddressDeliversFramesOnly()
{
    if (!m_sdk.unload(m_path)) {
        QVERIFY(m_sdk.load(m_path));
        QSKIP("a library that cannot be unloaded cannot start again with the network");
    }
    const quint32 base = parseDottedIpv4(m_ownBase.constData(), std::size_t(m_ownBase.size())).value_or(0);
    QVERIFY(base != 0);
    const auto claimOf = [](quint32 ip) { return QStringLiteral("camera-") + ipv4Text(ip); };
    // Which of the two ports something already serves at ip.
    const auto served = [](quint32 ip) {
        QUdpSocket udp;
        QTcpServer tcp;
        const QHostAddress address(ip);
        return qMakePair(!udp.bind(address, commandPortWithTestOverride(), QUdpSocket::DontShareAddress),
            !tcp.listen(address, firmwarePortWithTestOverride()));
    };
    const QPair<bool, bool> none(false, false);
    const QPair<bool, bool> both(true, true);

    PortClaim other(claimOf(base));
    QCOMPARE(other.claim(), PortClaim::Outcome::Claimed);
    qputenv("LINKSIM_NETWORK", "1");
    qputenv("LINKSIM_BASE_IP", m_ownBase);
    QVERIFY(m_sdk.load(m_path));
    QTemporaryFile errors;
    QVERIFY(errors.open());
    std::fflush(stderr);
    const int savedStderr = ::dup(2);
    ::dup2(errors.handle(), 2);
    const int init = m_sdk.IB_CC_Init();
    std::fflush(stderr);
    ::dup2(savedStderr, 2);
    ::close(savedStderr);
    QCOMPARE(init, 0);
    const QByteArray line = "linksim: " + ipv4Text(base).toLatin1() + " is already served by process "
        + QByteArray::number(QCoreApplication::applicationPid());
    QVERIFY(errors.seek(0));
    QVERIFY2(errors.readAll().contains(line), line.constData());

    QCOMPARE(served(base), none);
    QCOMPARE(served(base + 1), both);
    QCOMPARE(PortClaim(claimOf(base + 1)).claim(), PortClaim::Outcome::HeldElsewhere);
    Recorder recorder;
    CameraRecord first = record(0);
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&first, &Recorder::callback, &recorder), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&first), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&first), 0);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= 1, 5000);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&first), 0);

    // Moved to a free address, the camera claims and serves it.
    QByteArray moved = ipv4Text(base + 2).toLatin1();
    QCOMPARE(m_sdk.IB_CC_setCameraip(&first, moved.data()), 0);
    QCOMPARE(served(base + 2), both);

    QVERIFY(m_sdk.unload(m_path));
    QCOMPARE(served(base + 1), none);
    QCOMPARE(PortClaim(claimOf(base + 1)).claim(), PortClaim::Outcome::Claimed);
    QCOMPARE(PortClaim(claimOf(base + 2)).claim(), PortClaim::Outcome::Claimed);

    qputenv("LINKSIM_NETWORK", "0");
    qunsetenv("LINKSIM_BASE_IP");
    QVERIFY(m_sdk.load(m_path));
    QCOMPARE(m_sdk.IB_CC_Init(), 0);
}

// The environment is read by IB_CC_Init; unloading the library (while a
// camera streams) and loading it again starts from scratch.
void TestSimSdk::environmentAndUnload()
{
    Recorder recorder;
    CameraRecord cam = record(0);
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&cam, &Recorder::callback, &recorder), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&cam), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&cam), 0);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frames >= 1, 5000);
    if (!m_sdk.unload(m_path)) {
        // Still mapped, so its operations still work: stop before `recorder` goes.
        m_sdk.IB_CC_CloseCamera(&cam);
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
        QSKIP("a sanitizer build of the library cannot be unloaded (unique symbols)");
#elif defined(Q_OS_WIN)
        QSKIP("on Windows the simulated SDK stays loaded once initialised (its threads are never joined)");
#else
        QFAIL("the library stayed loaded after dlclose");
#endif
    }
    recorder.stopReturned = true;
    QTest::qWait(100);
    QCOMPARE(recorder.lateFrames.load(), 0);

    qputenv("LINKSIM_COUNT", "3");
    qputenv("LINKSIM_FORMAT", "color");
    qputenv("LINKSIM_WIDTH", "64");
    qputenv("LINKSIM_HEIGHT", "48");
    qputenv("LINKSIM_FPS", "120");
    qputenv("LINKSIM_BASE_IP", "127.1.2.254");
    QVERIFY(m_sdk.load(m_path));
    QCOMPARE(m_sdk.IB_CC_Init(), 0);
    CameraList list = m_sdk.enumerate();
    QCOMPARE(list.count, 3);
    QCOMPARE(QByteArray(list.records[2].name), QByteArray("SimCam-Color-3"));
    QCOMPARE(ipText(list.records[2]), QByteArray("127.1.3.0"));
    Recorder small;
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&list.records[2], &Recorder::callback, &small), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&list.records[2]), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&list.records[2]), 0);
    QTRY_VERIFY_WITH_TIMEOUT(small.frames >= 1, 5000);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&list.records[2]), 0);
    QCOMPARE(small.info.nWidth, 64u);
    QCOMPARE(small.info.nHeight, 48u);
    QCOMPARE(small.info.nBitCount, 24u);
    QVERIFY(m_sdk.unload(m_path));

    // Nonsense falls back to the defaults.
    qputenv("LINKSIM_COUNT", "33");
    qputenv("LINKSIM_FORMAT", "rgb");
    qputenv("LINKSIM_WIDTH", "64x");
    qputenv("LINKSIM_HEIGHT", "-48");
    qputenv("LINKSIM_FPS", "0");
    qputenv("LINKSIM_BASE_IP", "10.0.0.2");
    QVERIFY(m_sdk.load(m_path));
    QCOMPARE(m_sdk.IB_CC_Init(), 0);
    list = m_sdk.enumerate();
    QCOMPARE(list.count, 2);
    QCOMPARE(QByteArray(list.records[1].name), QByteArray("SimCam-Color"));
    QCOMPARE(ipText(list.records[0]), QByteArray("127.0.0.2"));
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&list.records[0], &Recorder::callback, &small), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&list.records[0]), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&list.records[0]), 0);
    const int before = small.frames;
    QTRY_VERIFY_WITH_TIMEOUT(small.frames > before, 5000);
    QCOMPARE(m_sdk.IB_CC_CloseCamera(&list.records[0]), 0);
    QCOMPARE(small.info.nWidth, 1280u);
    QCOMPARE(small.info.nBitCount, 8u);

    // A base address leaving no room for every camera is refused too.
    QVERIFY(m_sdk.unload(m_path));
    qputenv("LINKSIM_BASE_IP", "127.255.255.254");
    QVERIFY(m_sdk.load(m_path));
    QCOMPARE(m_sdk.IB_CC_Init(), 0);
    QCOMPARE(ipText(m_sdk.enumerate().records[1]), QByteArray("127.0.0.3"));

    // Left streaming: the process must end cleanly with a delivery thread running.
    static Recorder *const atExit = new Recorder;
    CameraRecord last = m_sdk.enumerate().records[1];
    QCOMPARE(m_sdk.IB_CC_RegisterImage(&last, &Recorder::callback, atExit), 0);
    QCOMPARE(m_sdk.IB_CC_OpenCamera(&last), 0);
    QCOMPARE(m_sdk.IB_CC_StartCamera(&last), 0);
    QTRY_VERIFY_WITH_TIMEOUT(atExit->frames >= 1, 5000);
}

QTEST_GUILESS_MAIN(TestSimSdk)
#include "tst_simsdk.moc"
