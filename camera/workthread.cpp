#include "camera/workthread.h"

#include "camera/frameconvert.h"
#include "camera/sdkbinding.h"
#include "core/cameracode.h"

#include <QDebug>

#include <cstring>
#include <opencv2/core/mat.hpp>

CameraList cameraList;
std::atomic<int> cameraOpened { 0 };
unsigned char frameBuffers[FrameSlotCount][2][FrameBufferBytes];
FrameInfo frameInfos[FrameSlotCount][2];
std::atomic<std::uint8_t> bufferState[FrameSlotCount];
unsigned char callbackContext[128];

namespace {

CameraRecord *record(int index)
{
    // A camera index outside the list would address memory that is not a record.
    if (index < 0 || index >= 32) {
        qWarning() << "camera index out of range:" << index;
        return nullptr;
    }
    return &cameraList.records[index];
}

} // namespace

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
    const std::uint64_t pixels = std::uint64_t(info->nWidth) * std::uint64_t(info->nHeight);
    const std::uint64_t bytesPerPixel = info->nBitCount == 24 ? 3 : 1;
    if (pixels > FrameBufferBytes / bytesPerPixel)
        return 1;
    const std::size_t size = std::size_t(pixels * bytesPerPixel);

    std::atomic<std::uint8_t> &state = bufferState[0];
    const std::uint8_t current = state.load(std::memory_order_acquire);
    int buffer;
    if (!(current & FirstBufferFull))
        buffer = 0;
    else if (!(current & SecondBufferFull))
        buffer = 1;
    else
        return 0; // both full: drop the frame
    std::memcpy(frameBuffers[0][buffer], data, size);
    std::memcpy(&frameInfos[0][buffer], info, sizeof(FrameInfo));
    state.fetch_or(buffer == 0 ? FirstBufferFull : SecondBufferFull, std::memory_order_release);
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
    wait();
}

void WorkThread::init()
{
    sdk().IB_CC_Init();
    cameraList.count = 0;
    cameraOpened.store(0);
}

void WorkThread::EnumCamras()
{
    sdk().IB_CC_EnumCamera(&cameraList);
}

void WorkThread::RegisterImage(int index)
{
    registeredIndex = index;
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
        emit sig_GetOneFrame(image.copy());
    }
    bufferState[0].fetch_and(buffer == 0 ? std::uint8_t(~FirstBufferFull) : std::uint8_t(~SecondBufferFull),
                             std::memory_order_release);
}

void WorkThread::run()
{
    if (isInterruptionRequested())
        return;
    qDebug().noquote() << "name:>>>" << getCamName(0);
    do {
        const std::uint8_t state = bufferState[0].load(std::memory_order_acquire);
        if (state & FirstBufferFull)
            takeFrame(0);
        if (bufferState[0].load(std::memory_order_acquire) & SecondBufferFull)
            takeFrame(1);
        if (!cameraOpened.load()) {
            CameraRecord *cam = record(registeredIndex);
            lastResult = cam ? sdk().IB_CC_OpenCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_OpenCamera is:" << lastResult.load();
            lastResult = cam ? sdk().IB_CC_StartCamera(cam) : SdkMissingStatus;
            qDebug() << "IB_CC_StartCamera is:" << lastResult.load();
            cameraOpened.store(1);
        }
        QThread::yieldCurrentThread();
    } while (!isInterruptionRequested());
}

void WorkThread::Stop(int index)
{
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_StopCamera(cam) : SdkMissingStatus;
    requestInterruption();
    wait();
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
    const CameraRecord *cam = record(index);
    QString name;
    if (cam)
        name = QString::fromUtf8(cam->name, int(qstrnlen(cam->name, sizeof cam->name)));
    qDebug().noquote() << "camname is:---->" << name;
    return name;
}

QString WorkThread::getCamIp(int index)
{
    const CameraRecord *cam = record(index);
    QString ip;
    if (cam)
        ip = ipv4Text(cam->ip);
    qDebug().noquote() << "return number:" << ip;
    return ip;
}

QString WorkThread::getCamMac(int index)
{
    const CameraRecord *cam = record(index);
    QString mac;
    if (cam)
        mac = macText(cam->mac);
    qDebug().noquote() << "Mac:" << mac;
    return mac;
}

void WorkThread::setCameraIp(int index, QString newip)
{
    const QByteArray bytes = newip.toUtf8();
    std::memset(textBuffer, 0, sizeof textBuffer);
    std::memcpy(textBuffer, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof textBuffer - 1));
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_setCameraip(cam, textBuffer) : SdkMissingStatus;
    if (lastResult != 0)
        qDebug() << "IB_CC_setCameraip is fail!";
}

void WorkThread::setCameraName(int index, QString newname)
{
    qDebug().noquote() << "debug1>>>" << newname;
    const QByteArray bytes = newname.toLatin1();
    std::memset(textBuffer, 0, sizeof textBuffer);
    std::memcpy(textBuffer, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof textBuffer - 1));
    CameraRecord *cam = record(index);
    lastResult = cam ? sdk().IB_CC_setCameraName(cam, textBuffer) : SdkMissingStatus;
    if (lastResult != 0)
        qDebug() << "IB_CC_setCameraName is fail!";
}
