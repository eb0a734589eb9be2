#include "camera/workthread.h"

#include "camera/camerasdk.h"
#include "camera/frameconvert.h"
#include "camera/sdkbinding.h"

#include <QDebug>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <opencv2/core/mat.hpp>

std::atomic<int> cameraOpened { 0 };
unsigned char frameBuffers[FrameSlotCount][2][FrameBufferBytes];
FrameInfo frameInfos[FrameSlotCount][2];
std::atomic<std::uint8_t> bufferState[FrameSlotCount];
unsigned char callbackContext[128];

namespace {

CameraRecord *record(int index)
{
    return camerasdk::record(index);
}

constexpr std::uint8_t fullBit(int buffer)
{
    return buffer == 0 ? FirstBufferFull : SecondBufferFull;
}
constexpr std::uint8_t writingBit(int buffer)
{
    return buffer == 0 ? FirstBufferWriting : SecondBufferWriting;
}

// The loop sleeps here when it waits for frames. A delivery that fills a buffer
// wakes it only when a loop sleeps, so the callback pays one load otherwise.
std::mutex wakeMutex;
std::condition_variable wakeCondition;
std::atomic<int> sleepers { 0 };

// The callback's counts; it may run on several delivery threads at once.
std::atomic<quint64> delivered { 0 };
std::atomic<quint64> dropped { 0 };

void wakeSleepers()
{
    // Taking the mutex orders this wake after a sleeper's last look at the
    // state, so the wake cannot fall between that look and its wait.
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
    }
    wakeCondition.notify_all();
}

// A refused frame's FrameInfo, left by the callback for the loop to report.
// One delivery at a time writes it (empty -> writing -> ready); refusals that
// find it taken are not kept, the camera sends such frames again.
enum { RefusalEmpty, RefusalWriting, RefusalReady };
std::atomic<int> refusalSlot { RefusalEmpty };
FrameInfo refusedFrame;

int refuse(const FrameInfo &info, int result)
{
    int expected = RefusalEmpty;
    // Acquire: the loop's read of the last refusal is done before it emptied the slot.
    if (refusalSlot.compare_exchange_strong(
            expected, RefusalWriting, std::memory_order_acquire, std::memory_order_relaxed)) {
        refusedFrame = info;
        // Sequentially consistent with the sleepers check, as for a full buffer.
        refusalSlot.store(RefusalReady, std::memory_order_seq_cst);
        if (sleepers.load(std::memory_order_seq_cst) > 0)
            wakeSleepers();
    }
    return result;
}

// Why a frame of 8 or 24 bits was refused, for the log.
QString sizeRefusalReason(const FrameInfo &info)
{
    const std::uint64_t pixels = std::uint64_t(info.nWidth) * info.nHeight;
    if (pixels == 0)
        return QStringLiteral("they have no pixels");
    if (pixels > FrameBufferBytes / (info.nBitCount / 8))
        return QStringLiteral("they are larger than a frame buffer's %1 bytes").arg(FrameBufferBytes);
    return QStringLiteral("their image would take %1 bytes, more than the limit of %2 bytes")
        .arg(frameImageBytes(info.nWidth, info.nHeight, info.nBitCount))
        .arg(FrameImageLimitBytes);
}

} // namespace

int nextFullBuffer(std::uint8_t state)
{
    int older = (state & SecondBufferOlder) ? 1 : 0;
    if (!(state & (fullBit(older) | writingBit(older))))
        older = 1 - older; // the older buffer is empty: the other holds the oldest frame
    return (state & fullBit(older)) ? older : -1;
}

int frameCallback(unsigned char *data, FrameInfo *info, void *context)
{
    Q_UNUSED(context);
    delivered.fetch_add(1, std::memory_order_relaxed);
    if (!info || !data)
        return 0;
    if (info->nBitCount == 8)
        qDebug() << "pFrameInfo->nHeight>> " << info->nHeight << "pFrameInfo->nWidth>>" << info->nWidth;
    else if (info->nBitCount != 24)
        return refuse(*info, 0);

    // width * height fits in 64 bits; times 3 could not, so compare before multiplying.
    // A frame without pixels is refused like one too large: nothing to show or save.
    // So is one whose rows, padded in its image, would make that image too large.
    const std::uint64_t pixels = std::uint64_t(info->nWidth) * std::uint64_t(info->nHeight);
    const std::uint64_t bytesPerPixel = info->nBitCount == 24 ? 3 : 1;
    if (pixels == 0 || pixels > FrameBufferBytes / bytesPerPixel
        || frameImageBytes(info->nWidth, info->nHeight, info->nBitCount) > FrameImageLimitBytes)
        return refuse(*info, 1);
    const std::size_t size = std::size_t(pixels * bytesPerPixel);

    // Claim an empty buffer: empty -> being written, in one compare-exchange, so
    // two deliveries at once never pick the same one. The first buffer is
    // preferred; a frame given to it while the second is taken is the newer one.
    std::atomic<std::uint8_t> &state = bufferState[0];
    std::uint8_t current = state.load(std::memory_order_relaxed);
    int buffer;
    std::uint8_t claimed;
    do {
        if (!(current & (FirstBufferFull | FirstBufferWriting))) {
            buffer = 0;
            claimed = current | FirstBufferWriting;
            if (current & (SecondBufferFull | SecondBufferWriting))
                claimed |= SecondBufferOlder;
        } else if (!(current & (SecondBufferFull | SecondBufferWriting))) {
            buffer = 1;
            claimed = current | SecondBufferWriting;
        } else {
            dropped.fetch_add(1, std::memory_order_relaxed);
            return 0; // both taken: drop the frame
        }
        // Acquire: the loop's reads of the buffer are done before it cleared the mark.
    } while (
        !state.compare_exchange_weak(current, claimed, std::memory_order_acquire, std::memory_order_relaxed));

    std::memcpy(frameBuffers[0][buffer], data, size);
    std::memcpy(&frameInfos[0][buffer], info, sizeof(FrameInfo));
    // Being written -> full. Sequentially consistent with the sleepers check
    // below and the loop's check in sleepUntilFrame: either this delivery sees a
    // sleeper, or the sleeper sees the full mark.
    state.fetch_xor(std::uint8_t(writingBit(buffer) | fullBit(buffer)), std::memory_order_seq_cst);
    if (sleepers.load(std::memory_order_seq_cst) > 0)
        wakeSleepers();
    return 0;
}

WorkThread::WorkThread(QObject *parent)
    : QThread(parent)
{
    qRegisterMetaType<CameraFault>(); // crosses from the loop's thread
}

WorkThread::~WorkThread()
{
    shutdown();
}

void WorkThread::shutdown()
{
    requestInterruption();
    joinLoop();
}

void WorkThread::joinLoop()
{
    wait();
    // wait() already orders everything the loop did before what follows, but
    // through Qt's own futex lock, which ThreadSanitizer cannot see; this pairs
    // with the loop's release on its way out so that it can.
    loopsEnded.load(std::memory_order_acquire);
}

void WorkThread::requestInterruption()
{
    QThread::requestInterruption();
    wakeSleepers();
}

quint64 WorkThread::framesDelivered()
{
    return delivered.load(std::memory_order_relaxed);
}

quint64 WorkThread::framesDropped()
{
    return dropped.load(std::memory_order_relaxed);
}

void WorkThread::frameArrived()
{
    int sent = inFlight.load(std::memory_order_relaxed);
    while (sent > 0 && !inFlight.compare_exchange_weak(sent, sent - 1, std::memory_order_relaxed)) { }
}

void WorkThread::checkStatus(int index, CameraFault::Kind kind, int status, int mode)
{
    if (status == 0)
        return;
    CameraFault fault;
    fault.camera = index;
    fault.kind = kind;
    fault.status = status;
    fault.mode = mode;
    emit sig_CameraFault(fault);
}

void WorkThread::init()
{
    camerasdk::startSdk();
    cameraOpened.store(0);
    // A refusal left from before the start-up belongs to no camera of this
    // one. Only a loop that does not run can be told so: a running one may be
    // reading it.
    int ready = RefusalReady;
    if (!isRunning())
        refusalSlot.compare_exchange_strong(ready, RefusalEmpty);
    wakeSleepers(); // the camera is to be opened again
}

void WorkThread::EnumCamras()
{
    camerasdk::enumerate();
}

void WorkThread::RegisterImage(int index)
{
    registeredIndex.store(index);
    CameraRecord *cam = record(index);
    if (!cam)
        return;
    checkStatus(
        index, CameraFault::RegisterFailed, sdk().IB_CC_RegisterImage(cam, frameCallback, callbackContext));
}

void WorkThread::takeFrame(int buffer)
{
    const FrameInfo &info = frameInfos[0][buffer];
    const int rows = int(info.nHeight);
    const int cols = int(info.nWidth);
    int type = -1;
    if (info.nBitCount == 8)
        type = CV_8UC1;
    else if (info.nBitCount == 24)
        type = CV_8UC3;
    if (type >= 0 && inFlight.load(std::memory_order_relaxed) >= MaxFramesInFlight) {
        // The receiver is behind: this frame is not converted, so that no more
        // frames pile up for it than MaxFramesInFlight.
        skipped.fetch_add(1, std::memory_order_relaxed);
    } else if (type >= 0) {
        if (buffer == 1 && info.nBitCount == 24)
            qDebug() << "22222222222222222222222424242424";
        cv::Mat view(rows, cols, type, frameBuffers[0][buffer]);
        const QImage image = cvMatToQImage(view);
        view.release();
        // The image already owns its pixels, apart from the buffer: it is sent
        // as it is, not copied once more. A large frame under memory pressure
        // can leave it without memory: that frame is not sent, the next ones are.
        if (!image.isNull()) {
            // Counted before it is sent, so that its arrival never comes first.
            inFlight.fetch_add(1, std::memory_order_relaxed);
            converted.fetch_add(1, std::memory_order_relaxed);
            emit sig_GetOneFrame(image);
        } else {
            qWarning() << "frame of" << cols << "x" << rows << "not sent: no memory for its image";
        }
    }
    // The second buffer leaves with its "older" mark.
    const std::uint8_t clear = buffer == 0 ? FirstBufferFull : (SecondBufferFull | SecondBufferOlder);
    bufferState[0].fetch_and(std::uint8_t(~clear), std::memory_order_release);
}

void WorkThread::reportRefusedFrame()
{
    const FrameInfo info = refusedFrame;
    // Release: the read above is done before the next refusal is written.
    refusalSlot.store(RefusalEmpty, std::memory_order_release);
    CameraFault fault;
    fault.camera = registeredIndex.load();
    fault.width = info.nWidth;
    fault.height = info.nHeight;
    fault.bitCount = info.nBitCount;
    const bool shown = info.nBitCount == 8 || info.nBitCount == 24;
    fault.kind = shown ? CameraFault::UnshowableSize : CameraFault::UnsupportedBitCount;
    // A camera sends the same frames again and again: one report each.
    const QPair<int, int> key(fault.camera, fault.kind);
    if (refusalsReported.contains(key))
        return;
    refusalsReported.append(key);
    const QString what = shown
        ? QStringLiteral("frames of %1 x %2 pixels, %3 bits per pixel, refused: %4")
              .arg(info.nWidth)
              .arg(info.nHeight)
              .arg(info.nBitCount)
              .arg(sizeRefusalReason(info))
        : QStringLiteral("frames of %1 bits per pixel refused: only 8 and 24 can be shown")
              .arg(info.nBitCount);
    qWarning().noquote()
        << QStringLiteral("camera %1: %2 (logged once for this camera)").arg(fault.camera).arg(what);
    emit sig_CameraFault(fault);
}

void WorkThread::sleepUntilFrame()
{
    std::unique_lock<std::mutex> lock(wakeMutex);
    sleepers.fetch_add(1, std::memory_order_seq_cst);
    // The timeout only bounds the sleep for an interruption requested through
    // QThread directly, which does not wake; every other event does.
    wakeCondition.wait_for(lock, std::chrono::milliseconds(50), [this] {
        return isInterruptionRequested() || !cameraOpened.load()
            || nextFullBuffer(bufferState[0].load(std::memory_order_seq_cst)) >= 0
            || refusalSlot.load(std::memory_order_seq_cst) == RefusalReady;
    });
    sleepers.fetch_sub(1, std::memory_order_relaxed);
}

void WorkThread::run()
{
    struct Ended {
        std::atomic<int> &count;
        ~Ended() { count.fetch_add(1, std::memory_order_release); }
    } ended { loopsEnded };
    if (isInterruptionRequested())
        return;
    qDebug().noquote() << "name:>>>" << getCamName(0);
    do {
        // At most both buffers per pass, the older frame first. Each choice is
        // made from one reading of the state, which says which frame is older.
        for (int pass = 0; pass < 2; ++pass) {
            const int buffer = nextFullBuffer(bufferState[0].load(std::memory_order_acquire));
            if (buffer < 0)
                break;
            takeFrame(buffer);
        }
        if (refusalSlot.load(std::memory_order_acquire) == RefusalReady)
            reportRefusedFrame();
        if (!cameraOpened.load()) {
            const int index = registeredIndex.load();
            CameraRecord *cam = record(index);
            lastResult = cam ? sdk().IB_CC_OpenCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_OpenCamera is:" << lastResult.load();
            checkStatus(index, CameraFault::OpenFailed, lastResult);
            lastResult = cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_StartCamera is:" << lastResult.load();
            checkStatus(index, CameraFault::StartFailed, lastResult);
            cameraOpened.store(1);
        }
        if (waitForFrames)
            sleepUntilFrame();
        else
            QThread::yieldCurrentThread();
    } while (!isInterruptionRequested());
}

void WorkThread::Stop(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_StopCamera(cam) : SdkMissingStatus;
    requestInterruption();
    joinLoop();
    qDebug() << "IB_CC_StopCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::StopFailed, lastResult);
}

void WorkThread::startCamras(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_StartCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::StartFailed, lastResult);
    start();
}

void WorkThread::CloseCamras(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_CloseCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_StopCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::CloseFailed, lastResult);
}

void WorkThread::modeauto(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 0) : SdkMissingStatus;
    qDebug() << "IB_CC_modeautoCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::ModeFailed, lastResult, 0);
}

void WorkThread::modeio(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 1) : SdkMissingStatus;
    qDebug() << "IB_CC_modeioCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::ModeFailed, lastResult, 1);
}

void WorkThread::modesoft(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 2) : SdkMissingStatus;
    qDebug() << "IB_CC_modesoftCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::ModeFailed, lastResult, 2);
}

void WorkThread::softoneimg(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_softCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_softCamera is:" << lastResult.load();
    checkStatus(index, CameraFault::SoftTriggerFailed, lastResult);
}

QString WorkThread::getCamName(int index)
{
    return camerasdk::cameraName(index);
}

QString WorkThread::getCamIp(int index)
{
    return camerasdk::cameraIp(index);
}

QString WorkThread::getCamMac(int index)
{
    return camerasdk::cameraMac(index);
}

void WorkThread::setCameraIp(int index, QString newip)
{
    lastResult = camerasdk::setCameraIp(index, newip, textBuffer);
}

void WorkThread::setCameraName(int index, QString newname)
{
    lastResult = camerasdk::setCameraName(index, newname, textBuffer);
}
