#ifndef TAVIX_WORKTHREAD_H
#define TAVIX_WORKTHREAD_H

#include "core/linksdk.h"

#include <QImage>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>

// Frame storage shared between the SDK's frame callback and the acquisition
// loop. Zero-initialised static storage: untouched buffers cost no memory.
constexpr int FrameSlotCount = 4;
constexpr std::size_t FrameBufferBytes = 67108864; // 64 MiB per buffer

// Bits of a frame slot's state byte.
constexpr std::uint8_t FirstBufferFull = 0x01;
constexpr std::uint8_t SecondBufferFull = 0x02;

extern CameraList cameraList;
extern std::atomic<int> cameraOpened;
extern unsigned char frameBuffers[FrameSlotCount][2][FrameBufferBytes];
extern FrameInfo frameInfos[FrameSlotCount][2];
extern std::atomic<std::uint8_t> bufferState[FrameSlotCount];
extern unsigned char callbackContext[128];

// The SDK's frame callback: copies a frame into the first empty buffer of frame
// slot 0 and marks it full. Returns 0 when the frame was kept or dropped because
// both buffers were full, 0 for a bit count other than 8 or 24 (nothing kept),
// and 1 for a frame over 64 MiB (nothing kept).
int frameCallback(unsigned char *data, FrameInfo *info, void *context);

// The only user of the camera SDK. Its slots run on the GUI thread and wrap the
// SDK operations one to one; run() is the acquisition loop on its own thread.
class WorkThread : public QThread
{
    Q_OBJECT
public:
    explicit WorkThread(QObject *parent = nullptr);
    ~WorkThread() override;

    // Written by the slots on the GUI thread and by the loop on its own thread.
    std::atomic<int> lastResult { 0 };
    char textBuffer[64] = {};
    int registeredIndex = 0;

signals:
    void sig_GetOneFrame(QImage img);

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
};

#endif
