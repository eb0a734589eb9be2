#ifndef TAVIX_WORKTHREAD_H
#define TAVIX_WORKTHREAD_H

#include "core/linksdk.h"

#include <QImage>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <cstdint>

// Frame storage shared between the SDK's frame callback and the acquisition
// loop. Zero-initialised static storage: untouched buffers cost no memory.
constexpr int FrameSlotCount = 4;
constexpr std::size_t FrameBufferBytes = 67108864; // 64 MiB per buffer

// Bits of a frame slot's state byte. A buffer is empty (neither bit), being
// written by a delivery that claimed it, or full (owned by the loop until it has
// taken the frame). SecondBufferOlder is set while the second buffer holds an
// older frame than the first: a delivery claimed the first buffer while the
// second was not empty. The loop takes the older full buffer first.
constexpr std::uint8_t FirstBufferFull = 0x01;
constexpr std::uint8_t SecondBufferFull = 0x02;
constexpr std::uint8_t FirstBufferWriting = 0x04;
constexpr std::uint8_t SecondBufferWriting = 0x08;
constexpr std::uint8_t SecondBufferOlder = 0x10;

extern CameraList cameraList;
extern std::atomic<int> cameraOpened;
extern unsigned char frameBuffers[FrameSlotCount][2][FrameBufferBytes];
extern FrameInfo frameInfos[FrameSlotCount][2];
extern std::atomic<std::uint8_t> bufferState[FrameSlotCount];
extern unsigned char callbackContext[128];

// The SDK's frame callback: claims the first empty buffer of frame slot 0 with
// one atomic step, copies the frame and its FrameInfo into it and marks it full,
// so deliveries from several cameras at once never share a buffer. Returns 0
// when the frame was kept or dropped because no buffer was empty, 0 for a bit
// count other than 8 or 24 (nothing kept), and 1 for a frame over 64 MiB, with
// no pixels, or whose image would exceed FrameImageLimitBytes (frameconvert.h)
// (nothing kept). A refused frame is left for the acquisition loop to report,
// which it does once per camera and cause (sig_CameraFault).
int frameCallback(unsigned char *data, FrameInfo *info, void *context);

// Something that went wrong with a camera and that the operator should be
// told of: an SDK operation that returned a non-zero status, or frames the
// callback refused.
struct CameraFault {
    enum Kind {
        OpenFailed, // IB_CC_OpenCamera, in the loop's first pass
        StartFailed, // IB_CC_StartCamera, in the loop's first pass or startCamras
        StopFailed,
        CloseFailed,
        ModeFailed, // IB_CC_modeCamera; `mode` is the trigger mode asked for
        SoftTriggerFailed,
        RegisterFailed, // IB_CC_RegisterImage: no frames will come
        UnsupportedBitCount, // frames of `bitCount` bits per pixel (only 8 and 24 are shown)
        UnshowableSize, // frames of `width` x `height`: no pixels, over 64 MiB, or too large an image
    };
    int camera = 0; // the camera index; for refused frames, the registered camera
    Kind kind = OpenFailed;
    int status = 0; // the SDK's status, for the failed operations
    int mode = 0;
    quint32 width = 0;
    quint32 height = 0;
    quint32 bitCount = 0;
};
Q_DECLARE_METATYPE(CameraFault)

// Which buffer of a frame slot the loop takes next for the state byte `state`:
// 0 or 1, or -1 when the older frame is not complete yet or there is none.
int nextFullBuffer(std::uint8_t state);

// The only user of the camera SDK. Its slots run on the GUI thread and wrap the
// SDK operations one to one; run() is the acquisition loop on its own thread.
class WorkThread : public QThread {
    Q_OBJECT
public:
    explicit WorkThread(QObject *parent = nullptr);
    ~WorkThread() override;

    // Written by the slots on the GUI thread and by the loop on its own thread.
    std::atomic<int> lastResult { 0 };
    char textBuffer[64] = {};
    std::atomic<int> registeredIndex { 0 }; // written by RegisterImage, read by the loop

    // With `on`, the loop sleeps between passes until a buffer is full, an
    // interruption is requested or the camera is to be opened, instead of
    // polling without pause. Set it before the thread starts; off by default.
    void setWaitForFrames(bool on) { waitForFrames = on; }
    bool waitsForFrames() const { return waitForFrames; }

    // Requests the loop to end and wakes it when it sleeps waiting for frames.
    void requestInterruption();

    // At most this many converted frames are on their way to the receiver of
    // sig_GetOneFrame at once. While that many have not reached it, the loop
    // takes full buffers without converting them (framesSkipped), so a
    // receiver that falls behind never has more than this queued for it.
    static constexpr int MaxFramesInFlight = 2;
    // The receiver of sig_GetOneFrame calls this from its slot, once for each
    // frame; any thread. Extra calls are ignored.
    void frameArrived();
    // Frames sent and not yet arrived; any thread.
    int framesInFlight() const { return inFlight.load(std::memory_order_relaxed); }
    // Frames taken from the buffers and not converted because MaxFramesInFlight
    // were on their way; any thread.
    quint64 framesSkipped() const { return skipped.load(std::memory_order_relaxed); }
    // Frames converted and sent to the receiver of sig_GetOneFrame; any thread.
    quint64 framesConverted() const { return converted.load(std::memory_order_relaxed); }
    // Deliveries of the SDK's frame callback since the program started, refused
    // frames included, and of those the frames dropped because both buffers
    // were taken; any thread. Counted by the callback, for every camera.
    static quint64 framesDelivered();
    static quint64 framesDropped();

signals:
    void sig_GetOneFrame(QImage img);
    // Emitted on the thread that met the fault: the GUI thread for the slots,
    // the loop's thread for its opening and for refused frames (once per
    // camera and kind of refusal, with one log line).
    void sig_CameraFault(CameraFault fault);

public slots:
    void init();
    void EnumCamras();
    void RegisterImage(int index);
    void run() override;
    void Stop(int index);
    void startCamras(int index);
    void CloseCamras(int index);
    void modeauto(int index);
    void modeio(int index);
    void modesoft(int index);
    void softoneimg(int index);
    QString getCamName(int index);
    QString getCamIp(int index);
    QString getCamMac(int index);
    void setCameraIp(int index, QString newip);
    void setCameraName(int index, QString newname);

    // Ends the acquisition loop and waits for it; safe in any state. Used when
    // the program ends, before the frame storage goes away.
    void shutdown();

private:
    void takeFrame(int buffer);
    void reportRefusedFrame();
    // Emits sig_CameraFault when `status` is not 0.
    void checkStatus(int index, CameraFault::Kind kind, int status, int mode = 0);
    void sleepUntilFrame();
    void joinLoop(); // waits for run() to return

    bool waitForFrames = false;
    std::atomic<int> loopsEnded { 0 }; // counted by run() on its way out
    std::atomic<int> inFlight { 0 };
    std::atomic<quint64> skipped { 0 };
    std::atomic<quint64> converted { 0 };
    // Refusals already reported, by camera and kind; the loop's thread only.
    QVector<QPair<int, int>> refusalsReported;
};

#endif
