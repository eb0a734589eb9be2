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

void wakeSleepers()
{
    // Taking the mutex orders this wake after a sleeper's last look at the
    // state, so the wake cannot fall between that look and its wait.
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
    }
    wakeCondition.notify_all();
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
    if (!info || !data)
        return 0;
    if (info->nBitCount == 8)
        qDebug() << "pFrameInfo->nHeight>> " << info->nHeight << "pFrameInfo->nWidth>>" << info->nWidth;
    else if (info->nBitCount != 24)
        return 0;

    // width * height fits in 64 bits; times 3 could not, so compare before multiplying.
    // A frame without pixels is refused like one too large: nothing to show or save.
    const std::uint64_t pixels = std::uint64_t(info->nWidth) * std::uint64_t(info->nHeight);
    const std::uint64_t bytesPerPixel = info->nBitCount == 24 ? 3 : 1;
    if (pixels == 0 || pixels > FrameBufferBytes / bytesPerPixel)
        return 1;
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

void WorkThread::init()
{
    camerasdk::startSdk();
    cameraOpened.store(0);
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
    sdk().IB_CC_RegisterImage(cam, frameCallback, callbackContext);
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
    if (type >= 0) {
        if (buffer == 1 && info.nBitCount == 24)
            qDebug() << "22222222222222222222222424242424";
        cv::Mat view(rows, cols, type, frameBuffers[0][buffer]);
        const QImage image = cvMatToQImage(view);
        view.release();
        // A large frame under memory pressure can leave either image without
        // memory: that frame is not sent, the next ones are.
        const QImage copy = image.isNull() ? QImage() : image.copy();
        if (!copy.isNull())
            emit sig_GetOneFrame(copy);
        else
            qWarning() << "frame of" << cols << "x" << rows << "not sent: no memory for its image";
    }
    // The second buffer leaves with its "older" mark.
    const std::uint8_t clear = buffer == 0 ? FirstBufferFull : (SecondBufferFull | SecondBufferOlder);
    bufferState[0].fetch_and(std::uint8_t(~clear), std::memory_order_release);
}

void WorkThread::sleepUntilFrame()
{
    std::unique_lock<std::mutex> lock(wakeMutex);
    sleepers.fetch_add(1, std::memory_order_seq_cst);
    // The timeout only bounds the sleep for an interruption requested through
    // QThread directly, which does not wake; every other event does.
    wakeCondition.wait_for(lock, std::chrono::milliseconds(50), [this] {
        return isInterruptionRequested() || !cameraOpened.load()
            || nextFullBuffer(bufferState[0].load(std::memory_order_seq_cst)) >= 0;
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
        if (!cameraOpened.load()) {
            CameraRecord *cam = record(registeredIndex.load());
            lastResult = cam ? sdk().IB_CC_OpenCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_OpenCamera is:" << lastResult.load();
            lastResult = cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_StartCamera is:" << lastResult.load();
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
}

void WorkThread::startCamras(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_StartCamera is:" << lastResult.load();
    start();
}

void WorkThread::CloseCamras(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_CloseCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_StopCamera is:" << lastResult.load();
}

void WorkThread::modeauto(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 0) : SdkMissingStatus;
    qDebug() << "IB_CC_modeautoCamera is:" << lastResult.load();
}

void WorkThread::modeio(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 1) : SdkMissingStatus;
    qDebug() << "IB_CC_modeioCamera is:" << lastResult.load();
}

void WorkThread::modesoft(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_modeCamera(cam, 2) : SdkMissingStatus;
    qDebug() << "IB_CC_modesoftCamera is:" << lastResult.load();
}

void WorkThread::softoneimg(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_softCamera(cam) : SdkMissingStatus;
    qDebug() << "IB_CC_softCamera is:" << lastResult.load();
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
