#include "camera/sdkbinding.h"
#include "camera/workthread.h"
#include "tests/fakesdk.h"

#include <QFile>
#include <QMutex>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

// Receives frames on the test's thread, as the main window does, and tells
// the worker of each.
class FrameSink : public QObject {
    Q_OBJECT
public:
    explicit FrameSink(WorkThread *worker)
        : worker(worker)
    {
    }
    QList<QImage> frames;
public slots:
    void take(QImage img)
    {
        worker->frameArrived();
        frames << img;
    }

private:
    WorkThread *worker;
};

// Whether a frame given to the callback now is converted, not skipped: the
// frames in the buffers and those on their way to the receiver leave room for
// it. The buffers are read first, so a frame the loop sends between the two
// readings is counted twice rather than not at all.
static bool roomForAFrame(const WorkThread &worker)
{
    const std::uint8_t state = bufferState[0].load(std::memory_order_acquire);
    const int held = ((state & (FirstBufferFull | FirstBufferWriting)) ? 1 : 0)
        + ((state & (SecondBufferFull | SecondBufferWriting)) ? 1 : 0);
    return held + worker.framesInFlight() < WorkThread::MaxFramesInFlight;
}

// Runs the test thread's event loop, which each arriving frame wakes, until
// `done` holds; false after `timeoutMs`.
static bool receiveUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    QTimer look; // wakes the loop to look at `done` when no frame comes
    look.start(5);
    while (!done()) {
        if (clock.hasExpired(timeoutMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class TestWorkThread : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void untouchedFrameStorageCostsNoMemory();
    void callbackRefusesWhatItCannotKeep();
    void callbackRefusesFramesWithTooLargeAnImage_data();
    void callbackRefusesFramesWithTooLargeAnImage();
    void refusedFramesReportedOncePerCamera_data() { loopModes(); }
    void refusedFramesReportedOncePerCamera();
    void callbackKeepsTwoFramesThenDrops();
    void dropsCountedUnderAFastProducer_data() { loopModes(); }
    void dropsCountedUnderAFastProducer();
    void framesEmittedInOrderKept_data() { loopModes(); }
    void framesEmittedInOrderKept();
    void everyKeptFrameArrivesInOrder_data() { loopModes(); }
    void everyKeptFrameArrivesInOrder();
    void twoCamerasNeverTearAFrame_data() { loopModes(); }
    void twoCamerasNeverTearAFrame();
    void slowReceiverHasAtMostTwoFramesQueued_data() { loopModes(); }
    void slowReceiverHasAtMostTwoFramesQueued();
    void firstPassOpensRegisteredCameraOnce_data() { loopModes(); }
    void firstPassOpensRegisteredCameraOnce();
    void withoutRegistrationFirstPassOpensRecordZero();
    void stopJoinsAndOpenActionRestartsOnlyTheThread_data() { loopModes(); }
    void stopJoinsAndOpenActionRestartsOnlyTheThread();
    void closeLeavesThreadRunning_data() { loopModes(); }
    void closeLeavesThreadRunning();
    void slotsLogTheirStatus();
    void gettersFormatRecords();
    void settersBoundTheirText();
    void outOfRangeIndexNeverReachesTheSdk();

private:
    // Rows for the tests that run the loop: polling without pause (the default)
    // and sleeping until a frame is there.
    static void loopModes()
    {
        QTest::addColumn<bool>("waiting"); // the rows' names are read by init()
        QTest::newRow("polling") << false;
        QTest::newRow("waiting") << true;
    }
    static void feed(uint32_t width, uint32_t height, uint32_t bits, uchar value);
    WorkThread *worker = nullptr;
    FrameSink *sink = nullptr;
};

void TestWorkThread::initTestCase()
{
    qRegisterMetaType<QImage>();
    fake::install();
    fake::setCameras({
        { "Cam-A", {}, {} },
        { "Kamera-\xc3\xa4", { 192, 168, 1, 10 }, { 0x00, 0x1A, 0x2B, 0x03, 0x4D, 0x5E } }, // UTF-8 name
    });
}

void TestWorkThread::init()
{
    fake::clear();
    fake::setStatus(0);
    bufferState[0].store(0);
    worker = new WorkThread;
    // The rows of loopModes(); other tables have rows of other names.
    const QByteArray row = QTest::currentDataTag();
    if (row == "polling" || row == "waiting")
        worker->setWaitForFrames(row == "waiting");
    sink = new FrameSink(worker);
    connect(worker, &WorkThread::sig_GetOneFrame, sink, &FrameSink::take);
    worker->init();
    worker->EnumCamras();
    fake::clear();
}

void TestWorkThread::cleanup()
{
    worker->shutdown();
    delete worker;
    delete sink;
    bufferState[0].store(0);
}

void TestWorkThread::feed(uint32_t width, uint32_t height, uint32_t bits, uchar value)
{
    std::vector<uchar> pixels(std::size_t(width) * height * (bits / 8), value);
    FrameInfo info {};
    info.nWidth = width;
    info.nHeight = height;
    info.nBitCount = bits;
    QCOMPARE(frameCallback(pixels.data(), &info, callbackContext), 0);
}

static long residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void TestWorkThread::untouchedFrameStorageCostsNoMemory()
{
    // 512 MiB of frame storage exist; only what frames touched may be resident.
    const long rss = residentKiB();
    if (rss < 0)
        QSKIP("no /proc/self/status here");
    QVERIFY2(rss < 128 * 1024, qPrintable(QString("resident %1 KiB").arg(rss)));
}

void TestWorkThread::callbackRefusesWhatItCannotKeep()
{
    std::vector<uchar> small(64);
    FrameInfo sixteen { 4, 4, 16, {} };
    QCOMPARE(frameCallback(small.data(), &sixteen, nullptr), 0);
    QCOMPARE(int(bufferState[0].load()), 0);

    // 4096 x 8192 x 3 = 96 MiB: refused before any byte is read.
    FrameInfo huge { 4096, 8192, 24, {} };
    QCOMPARE(frameCallback(small.data(), &huge, nullptr), 1);
    // Sizes whose byte count overflows 32 or even 64 bits are refused too.
    FrameInfo overflow { 0xFFFFFFFFu, 0xFFFFFFFFu, 24, {} };
    QCOMPARE(frameCallback(small.data(), &overflow, nullptr), 1);
    QCOMPARE(int(bufferState[0].load()), 0);

    // A frame without pixels is refused: nothing to show or to save.
    FrameInfo noRows { 640, 0, 8, {} };
    QCOMPARE(frameCallback(small.data(), &noRows, nullptr), 1);
    FrameInfo noColumns { 0, 480, 24, {} };
    QCOMPARE(frameCallback(small.data(), &noColumns, nullptr), 1);
    QCOMPARE(int(bufferState[0].load()), 0);

    // Exactly 64 MiB of grey is kept.
    std::vector<uchar> full(FrameBufferBytes, 7);
    FrameInfo max { 8192, 8192, 8, {} };
    QCOMPARE(frameCallback(full.data(), &max, nullptr), 0);
    QCOMPARE(int(bufferState[0].load()), int(FirstBufferFull));
    QCOMPARE(frameInfos[0][0].nWidth, 8192u);
    QCOMPARE(int(frameBuffers[0][0][FrameBufferBytes - 1]), 7);
}

void TestWorkThread::dropsCountedUnderAFastProducer()
{
    // The loop is held inside its first emission while the producer delivers
    // 100 frames more: the second buffer takes one, the callback drops the rest.
    std::atomic<bool> emitting { false };
    std::atomic<bool> release { false };
    connect(
        worker, &WorkThread::sig_GetOneFrame, worker,
        [&](const QImage &) {
            emitting.store(true);
            while (!release.load())
                std::this_thread::yield();
        },
        Qt::DirectConnection);
    const quint64 delivered = WorkThread::framesDelivered();
    const quint64 dropped = WorkThread::framesDropped();
    cameraOpened.store(1);
    worker->RegisterImage(0);
    worker->start();
    std::thread producer([&] {
        std::vector<uchar> pixels(64 * 32, 9);
        FrameInfo info {};
        info.nWidth = 64;
        info.nHeight = 32;
        info.nBitCount = 8;
        fake::deliver(pixels.data(), &info);
        while (!emitting.load())
            std::this_thread::yield();
        for (int n = 0; n < 100; ++n)
            fake::deliver(pixels.data(), &info);
        release.store(true);
    });
    producer.join();
    QVERIFY(receiveUntil([] { return bufferState[0].load() == 0; }));
    QCOMPARE(WorkThread::framesDelivered() - delivered, quint64(101));
    QCOMPARE(WorkThread::framesDropped() - dropped, quint64(99));
    QCOMPARE(worker->framesConverted() + worker->framesSkipped(), quint64(2));
}

void TestWorkThread::callbackKeepsTwoFramesThenDrops()
{
    feed(4, 2, 8, 1);
    feed(4, 2, 24, 2);
    QCOMPARE(int(bufferState[0].load()), int(FirstBufferFull | SecondBufferFull));
    feed(4, 2, 8, 3); // dropped
    QCOMPARE(int(frameBuffers[0][0][0]), 1);
    QCOMPARE(int(frameBuffers[0][1][0]), 2);
    QCOMPARE(frameInfos[0][1].nBitCount, 24u);
}

void TestWorkThread::framesEmittedInOrderKept()
{
    feed(4, 2, 8, 10);
    feed(3, 2, 24, 20);
    worker->start();
    QTRY_COMPARE(sink->frames.size(), 2);
    QCOMPARE(sink->frames[0].format(), QImage::Format_Indexed8);
    QCOMPARE(sink->frames[0].pixel(0, 0), qRgb(10, 10, 10));
    QCOMPARE(sink->frames[1].format(), QImage::Format_RGB888);
    QCOMPARE(sink->frames[1].size(), QSize(3, 2));
    QTRY_COMPARE(int(bufferState[0].load()), 0);
    // Frames keep flowing while the loop runs, one after another.
    for (uchar v = 30; v < 40; ++v) {
        QVERIFY(receiveUntil([&] { return roomForAFrame(*worker); }));
        feed(2, 2, 8, v);
    }
    QTRY_COMPARE(sink->frames.size(), 12);
    for (int i = 2; i < 12; ++i)
        QCOMPARE(qRed(sink->frames[i].pixel(0, 0)), 28 + i);

    // A frame given to the first buffer while the second is still full is the
    // newer one: the second buffer's frame goes out first.
    worker->Stop(0);
    feed(2, 2, 8, 50);
    feed(2, 2, 8, 51);
    bufferState[0].fetch_and(std::uint8_t(~FirstBufferFull)); // as the loop does once frame 50 is out
    feed(2, 2, 8, 52);
    worker->start();
    QTRY_COMPARE(sink->frames.size(), 14);
    QCOMPARE(qRed(sink->frames[12].pixel(0, 0)), 51);
    QCOMPARE(qRed(sink->frames[13].pixel(0, 0)), 52);
}

// A grey frame that names its producer and number: every 4 KiB block starts
// with the number (4 bytes) and the producer (1 byte), and the other bytes hold
// a value derived from both. Each producer has its own frame size.
namespace numbered {
const int Block = 4096;
// Producer 0 sends small frames; producers 1 and 2 larger ones of different sizes.
QSize size(int producer)
{
    return producer == 0 ? QSize(32, 4) : producer == 1 ? QSize(1024, 512) : QSize(768, 683);
}
uchar fill(int producer, quint32 number)
{
    return uchar(number * 31 + quint32(producer) * 101 + 7);
}
std::vector<uchar> frame(int producer, quint32 number, FrameInfo *info)
{
    const QSize s = size(producer);
    *info = FrameInfo {};
    info->nWidth = uint32_t(s.width());
    info->nHeight = uint32_t(s.height());
    info->nBitCount = 8;
    std::vector<uchar> pixels(std::size_t(s.width() * s.height()), fill(producer, number));
    for (std::size_t at = 0; at + 5 <= pixels.size(); at += Block) {
        std::memcpy(&pixels[at], &number, 4);
        pixels[at + 4] = uchar(producer);
    }
    return pixels;
}
// The producer and number of a received image, or producer -1 when the image
// is not one whole frame of one producer.
QPair<int, quint32> read(const QImage &img)
{
    const uchar *bits = img.constBits(); // rows of these widths are not padded
    const int bytes = img.width() * img.height();
    const int producer = bytes >= 5 ? bits[4] : -1;
    if (producer < 0 || producer > 2 || img.size() != size(producer) || img.bytesPerLine() != img.width())
        return { -1, 0 };
    quint32 number;
    std::memcpy(&number, bits, 4);
    FrameInfo info;
    const std::vector<uchar> expected = frame(producer, number, &info);
    if (std::memcmp(bits, expected.data(), expected.size()) != 0)
        return { -1, number };
    return { producer, number };
}

// Drops the callback's per-frame log line while it lives; tens of thousands of
// frames would otherwise go through the test log. Keeps the warnings, which
// the loop logs from its own thread.
struct QuietFrames {
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static QMutex mutex;
    static QStringList warnings;
    QuietFrames()
    {
        previous() = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
                if (type == QtWarningMsg) {
                    QMutexLocker lock(&mutex);
                    warnings << text;
                }
                if (!text.startsWith(QLatin1String("pFrameInfo->")))
                    previous()(type, context, text);
            });
    }
    ~QuietFrames()
    {
        qInstallMessageHandler(previous());
        takeWarnings();
    }
    static QStringList takeWarnings()
    {
        QMutexLocker lock(&mutex);
        return std::exchange(warnings, {});
    }
};
QMutex QuietFrames::mutex;
QStringList QuietFrames::warnings;
} // namespace numbered

void TestWorkThread::everyKeptFrameArrivesInOrder()
{
    // One producer and a receiver that keeps up: before each frame the
    // producer waits for a free buffer and for room among the frames on their
    // way, so every frame is kept and converted, and often both buffers fill
    // back to back while the loop is reading.
    const quint32 total = 100000;
    numbered::QuietFrames quiet;
    std::vector<quint32> numbers;
    numbers.reserve(total);
    connect(worker, &WorkThread::sig_GetOneFrame, sink,
        [&](const QImage &img) { numbers.push_back(numbered::read(img).second); });
    cameraOpened.store(1);
    worker->RegisterImage(0);
    worker->start();
    const WorkThread &loop = *worker;
    std::atomic<bool> giveUp { false };
    std::thread producer([&loop, &giveUp] {
        FrameInfo info;
        for (quint32 n = 0; n < total && !giveUp.load(); ++n) {
            // Every third frame waits for both buffers to be empty and nothing
            // on its way, so that it and the next follow back to back; the
            // others wait for room for one.
            const auto empty = [&loop] {
                return (bufferState[0].load() & (FirstBufferFull | SecondBufferFull)) == 0
                    && loop.framesInFlight() == 0;
            };
            while (!(n % 3 == 0 ? empty() : roomForAFrame(loop)) && !giveUp.load())
                std::this_thread::yield();
            std::vector<uchar> pixels = numbered::frame(0, n, &info);
            fake::deliver(pixels.data(), &info);
        }
    });
    const bool received = receiveUntil([&] { return numbers.size() >= std::size_t(total); });
    giveUp.store(true);
    producer.join();
    QVERIFY(received);
    QCOMPARE(numbers.size(), std::size_t(total));
    QCOMPARE(worker->framesSkipped(), quint64(0));
    for (quint32 i = 0; i < total; ++i)
        QCOMPARE(numbers[i], i);
}

void TestWorkThread::twoCamerasNeverTearAFrame()
{
    // Two producers at once, as when a second camera streams beside the first.
    // Frames may be dropped or skipped, but each one that arrives is whole, its
    // size is its producer's, and each producer's frames arrive in their order.
    const quint32 perProducer = 1000;
    numbered::QuietFrames quiet;
    QList<QPair<int, quint32>> received;
    connect(worker, &WorkThread::sig_GetOneFrame, sink,
        [&](const QImage &img) { received << numbered::read(img); });
    cameraOpened.store(1);
    worker->RegisterImage(0);
    worker->start();
    std::atomic<int> producing { 2 };
    std::atomic<bool> giveUp { false };
    auto produce = [&producing, &giveUp](int id) {
        FrameInfo info;
        for (quint32 n = 0; n < perProducer && !giveUp.load(); ++n) {
            std::vector<uchar> pixels = numbered::frame(id, n, &info);
            // Both producers wait for a free buffer and then race for it. The
            // receiver checks each frame as it comes; while it is behind, the
            // loop skips frames.
            while ((bufferState[0].load() & (FirstBufferFull | SecondBufferFull))
                    == (FirstBufferFull | SecondBufferFull)
                && !giveUp.load())
                std::this_thread::yield();
            fake::deliver(pixels.data(), &info);
        }
        producing.fetch_sub(1);
    };
    std::thread a(produce, 1), b(produce, 2);
    // The producers do not wait for the receiver: they end on their own, if
    // slowly in a sanitizer's build.
    const bool produced = receiveUntil([&] { return producing.load() == 0; }, 600000);
    giveUp.store(true);
    a.join();
    b.join();
    QVERIFY(produced);
    // The loop clears a mark only after emitting its frame.
    QTRY_VERIFY_WITH_TIMEOUT(!(bufferState[0].load() & (FirstBufferFull | SecondBufferFull)), 10000);
    QCoreApplication::processEvents();
    QVERIFY(received.size() > 2);
    quint32 last[3] = {};
    bool seen[3] = {};
    for (const auto &frame : received) {
        QVERIFY2(frame.first >= 0, qPrintable(QString("torn frame near number %1").arg(frame.second)));
        if (seen[frame.first])
            QVERIFY2(frame.second > last[frame.first], "a producer's frames out of order");
        seen[frame.first] = true;
        last[frame.first] = frame.second;
    }
}

void TestWorkThread::firstPassOpensRegisteredCameraOnce()
{
    worker->RegisterImage(1);
    QCOMPARE(fake::calls().back().record, &cameraList.records[1]);
    QVERIFY(fake::callback() == &frameCallback);
    worker->start();
    QTRY_COMPARE(fake::ops(), (QStringList { "Register", "Open", "Start" }));
    QCOMPARE(fake::calls()[1].record, &cameraList.records[1]);
    QVERIFY(cameraOpened.load());
    worker->Stop(1);
    worker->start();
    QTest::qWait(50); // a running loop would have opened again by now
    QCOMPARE(fake::ops().count("Open"), 1);
}

void TestWorkThread::withoutRegistrationFirstPassOpensRecordZero()
{
    cameraOpened.store(0);
    worker->start();
    QTRY_COMPARE(fake::ops(), (QStringList { "Open", "Start" }));
    QCOMPARE(fake::calls()[0].record, &cameraList.records[0]);
}

void TestWorkThread::stopJoinsAndOpenActionRestartsOnlyTheThread()
{
    worker->start();
    QTRY_COMPARE(fake::ops().count("Start"), 1);
    fake::setStatus(5);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_StopCamera is: 5");
    worker->Stop(0);
    QVERIFY(worker->isFinished());
    worker->start(); // the open action: thread only
    QVERIFY(worker->isRunning());
    QCOMPARE(fake::ops(), (QStringList { "Open", "Start", "Stop" }));
    worker->Stop(0);
    worker->startCamras(0); // start: the SDK and the thread
    QVERIFY(worker->isRunning());
    QCOMPARE(fake::ops(), (QStringList { "Open", "Start", "Stop", "Stop", "Start" }));
}

void TestWorkThread::closeLeavesThreadRunning()
{
    worker->start();
    QTRY_COMPARE(fake::ops().count("Start"), 1);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_StopCamera is: 0");
    worker->CloseCamras(0);
    QVERIFY(worker->isRunning());
    worker->startCamras(0);
    QCOMPARE(fake::ops(), (QStringList { "Open", "Start", "Close", "Start" }));
}

void TestWorkThread::slotsLogTheirStatus()
{
    QList<CameraFault> faults;
    connect(worker, &WorkThread::sig_CameraFault, sink, [&](const CameraFault &f) { faults << f; });
    fake::setStatus(3);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_modeautoCamera is: 3");
    worker->modeauto(1);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_modeioCamera is: 3");
    worker->modeio(1);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_modesoftCamera is: 3");
    worker->modesoft(1);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_softCamera is: 3");
    worker->softoneimg(1);
    QCOMPARE(fake::calls()[0].arg, 0);
    QCOMPARE(fake::calls()[1].arg, 1);
    QCOMPARE(fake::calls()[2].arg, 2);
    QCOMPARE(worker->lastResult.load(), 3);
    // Each failure is also told to the window, with its camera, mode and status.
    QCOMPARE(faults.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(faults[i].camera, 1);
        QCOMPARE(faults[i].kind, i < 3 ? CameraFault::ModeFailed : CameraFault::SoftTriggerFailed);
        QCOMPARE(faults[i].status, 3);
        QCOMPARE(faults[i].mode, i < 3 ? i : 0);
    }
    fake::setStatus(0);
    worker->modeauto(1);
    QCOMPARE(faults.size(), 4); // success is silent
}

void TestWorkThread::gettersFormatRecords()
{
    QCOMPARE(worker->getCamName(0), QString("Cam-A"));
    QCOMPARE(worker->getCamName(1), QString::fromUtf8("Kamera-\xc3\xa4"));
    QCOMPARE(worker->getCamIp(0), QString("0.0.0.0"));
    QCOMPARE(worker->getCamIp(1), QString("192.168.1.10"));
    QTest::ignoreMessage(QtDebugMsg, "Mac: 0-1a-2b-3-4d-5e");
    QCOMPARE(worker->getCamMac(1), QString("0-1a-2b-3-4d-5e"));
    // A name filling all 64 bytes without a terminator stays inside the record.
    std::memset(cameraList.records[2].name, 'x', 64);
    QCOMPARE(worker->getCamName(2), QString(64, 'x'));
}

void TestWorkThread::settersBoundTheirText()
{
    worker->setCameraName(1, QString());
    QCOMPARE(fake::calls().back().text, QByteArray(64, '\0'));
    worker->setCameraName(1, QString(100, 'n'));
    QCOMPARE(fake::calls().back().text, QByteArray(63, 'n') + QByteArray(1, '\0'));
    worker->setCameraIp(1, "127.0.0.9");
    QCOMPARE(fake::calls().back().text, QByteArray("127.0.0.9") + QByteArray(55, '\0'));
    fake::setStatus(1);
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_setCameraip is fail!");
    worker->setCameraIp(1, "bad");
    QTest::ignoreMessage(QtDebugMsg, "IB_CC_setCameraName is fail!");
    worker->setCameraName(1, "bad");
    // The records keep their enumerated values.
    QCOMPARE(worker->getCamName(1), QString::fromUtf8("Kamera-\xc3\xa4"));
    QCOMPARE(worker->getCamIp(1), QString("192.168.1.10"));
}

void TestWorkThread::outOfRangeIndexNeverReachesTheSdk()
{
    worker->modeauto(-1);
    worker->softoneimg(32);
    worker->RegisterImage(-1);
    QVERIFY(fake::calls().empty());
    QCOMPARE(worker->lastResult.load(), SdkMissingStatus);
}

void TestWorkThread::callbackRefusesFramesWithTooLargeAnImage_data()
{
    QTest::addColumn<uint>("width");
    QTest::addColumn<uint>("height");
    QTest::addColumn<uint>("bits");
    QTest::addColumn<bool>("kept");
    // Each of these fits a frame buffer. Qt pads every row of an image to a
    // multiple of 4 bytes, so a frame a few pixels wide becomes an image
    // several times its size.
    QTest::newRow("1 x 64 Mi grey: a 256 MiB image") << 1u << 67108864u << 8u << false;
    QTest::newRow("2 x 32 Mi grey: a 128 MiB image") << 2u << 33554432u << 8u << false;
    QTest::newRow("3 wide grey") << 3u << 22369621u << 8u << false;
    QTest::newRow("1 wide colour") << 1u << 22369621u << 24u << false;
    QTest::newRow("177 wide grey, 3 bytes padding a row") << 177u << 379146u << 8u << false;
    // Ordinary proportions, padded rows included, pass.
    QTest::newRow("193 wide grey, 3 bytes padding a row") << 193u << 347714u << 8u << true;
    QTest::newRow("1023 x 65600 grey") << 1023u << 65600u << 8u << true;
    QTest::newRow("4729 x 4729 colour") << 4729u << 4729u << 24u << true;
    QTest::newRow("2448 x 2048 colour") << 2448u << 2048u << 24u << true;
}

void TestWorkThread::callbackRefusesFramesWithTooLargeAnImage()
{
    QFETCH(uint, width);
    QFETCH(uint, height);
    QFETCH(uint, bits);
    QFETCH(bool, kept);
    const std::size_t bytes = std::size_t(width) * height * (bits / 8);
    QVERIFY(bytes <= FrameBufferBytes);
    // A refused frame is refused before a byte of it is read.
    std::vector<uchar> pixels(kept ? bytes : 16, 9);
    FrameInfo info { width, height, bits, {} };
    numbered::QuietFrames quiet;
    QCOMPARE(frameCallback(pixels.data(), &info, nullptr), kept ? 0 : 1);
    QCOMPARE(int(bufferState[0].load()), kept ? int(FirstBufferFull) : 0);
}

void TestWorkThread::refusedFramesReportedOncePerCamera()
{
    numbered::QuietFrames log;
    QList<CameraFault> faults;
    connect(worker, &WorkThread::sig_CameraFault, sink, [&](const CameraFault &f) { faults << f; });
    cameraOpened.store(1);
    worker->RegisterImage(0);
    worker->start();
    uchar pixels[16] = {};
    FrameInfo tall { 1, 67108864, 8, {} };
    FrameInfo sixteen { 4, 2, 16, {} };
    // The camera sends the frame again until the loop has reported `reports` in all.
    const auto refuseUntil = [&](FrameInfo info, int reports) {
        return QTest::qWaitFor(
            [&] {
                frameCallback(pixels, &info, nullptr);
                return faults.size() >= reports;
            },
            10000);
    };
    QVERIFY(refuseUntil(tall, 1));
    QVERIFY(refuseUntil(sixteen, 2));
    // However many more such frames come, neither kind is reported again.
    for (int i = 0; i < 20; ++i) {
        frameCallback(pixels, &sixteen, nullptr);
        frameCallback(pixels, &tall, nullptr);
        QTest::qWait(1);
    }
    QTest::qWait(50);
    QCOMPARE(faults.size(), 2);
    QCOMPARE(faults[0].camera, 0);
    QCOMPARE(faults[0].kind, CameraFault::UnshowableSize);
    QCOMPARE(faults[0].width, 1u);
    QCOMPARE(faults[0].height, 67108864u);
    QCOMPARE(faults[0].bitCount, 8u);
    QCOMPARE(faults[1].kind, CameraFault::UnsupportedBitCount);
    QCOMPARE(faults[1].bitCount, 16u);
    // Another camera's are, once.
    worker->RegisterImage(1);
    QVERIFY(refuseUntil(tall, 3));
    for (int i = 0; i < 20; ++i)
        frameCallback(pixels, &tall, nullptr);
    QTest::qWait(50);
    QCOMPARE(faults.size(), 3);
    QCOMPARE(faults[2].camera, 1);
    QCOMPARE(faults[2].kind, CameraFault::UnshowableSize);
    QCOMPARE(int(bufferState[0].load()), 0);

    // One log line for each.
    const QStringList lines = log.takeWarnings().filter(QStringLiteral("refused"));
    QCOMPARE(lines,
        (QStringList {
            QStringLiteral("camera 0: frames of 1 x 67108864 pixels, 8 bits per pixel, refused: their "
                           "image would take 268435456 bytes, more than the limit of 68157440 bytes "
                           "(logged once for this camera)"),
            QStringLiteral(
                "camera 0: frames of 16 bits per pixel refused: only 8 and 24 can be shown (logged once "
                "for this camera)"),
            QStringLiteral(
                "camera 1: frames of 1 x 67108864 pixels, 8 bits per pixel, refused: their image would "
                "take 268435456 bytes, more than the limit of 68157440 bytes (logged once for this "
                "camera)") }));
}

void TestWorkThread::slowReceiverHasAtMostTwoFramesQueued()
{
    // A producer far faster than the receiver, which does not run its event
    // loop while the frames come: 200 frames of 512 KiB would pile up 100 MiB
    // in its queue. At most two are on their way; the others are taken from
    // the buffers unconverted and counted.
    const quint32 total = 200;
    numbered::QuietFrames quiet;
    QList<quint32> numbers;
    connect(worker, &WorkThread::sig_GetOneFrame, sink,
        [&](const QImage &img) { numbers << numbered::read(img).second; });
    cameraOpened.store(1);
    worker->RegisterImage(0);
    worker->start();
    const WorkThread &loop = *worker;
    std::atomic<int> mostInFlight { 0 };
    std::thread producer([&] {
        FrameInfo info;
        for (quint32 n = 0; n < total; ++n) {
            // Each frame waits for a free buffer: the callback keeps them all.
            while ((bufferState[0].load() & (FirstBufferFull | SecondBufferFull))
                == (FirstBufferFull | SecondBufferFull))
                std::this_thread::yield();
            std::vector<uchar> pixels = numbered::frame(1, n, &info);
            QCOMPARE(fake::deliver(pixels.data(), &info), 0);
            mostInFlight.store(std::max(mostInFlight.load(), loop.framesInFlight()));
        }
    });
    producer.join();
    QDeadlineTimer deadline(10000);
    while (bufferState[0].load() != 0 && !deadline.hasExpired())
        std::this_thread::yield();
    QCOMPARE(int(bufferState[0].load()), 0);
    QVERIFY(mostInFlight.load() <= WorkThread::MaxFramesInFlight);
    QCOMPARE(worker->framesInFlight(), 2);
    QCOMPARE(worker->framesSkipped(), quint64(total - 2));
    QVERIFY(numbers.isEmpty());

    // All that was queued arrives at once: the first two frames, in order.
    QCoreApplication::processEvents();
    QCOMPARE(numbers, (QList<quint32> { 0, 1 }));
    QCOMPARE(worker->framesInFlight(), 0);

    // Once the receiver keeps up again, every frame arrives, in order.
    for (quint32 n = total; n < total + 5; ++n) {
        QVERIFY(receiveUntil([&] { return roomForAFrame(*worker); }));
        FrameInfo info;
        std::vector<uchar> pixels = numbered::frame(1, n, &info);
        fake::deliver(pixels.data(), &info);
    }
    QVERIFY(receiveUntil([&] { return numbers.size() >= 7; }));
    QCOMPARE(numbers, (QList<quint32> { 0, 1, 200, 201, 202, 203, 204 }));
    QCOMPARE(worker->framesSkipped(), quint64(total - 2));
}

QTEST_GUILESS_MAIN(TestWorkThread)
#include "tst_workthread.moc"
