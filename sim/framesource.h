// The frame delivery of a simulated camera: while the camera streams, a
// thread of its own renders frames and hands them to the registered
// callback, paced by the trigger mode.
//
// Modes: 0 free run at the "frame_rate" parameter; 1 hardware input, an
// external trigger simulated at kHardwareTriggerHz; 2 software trigger, one
// frame per softTrigger() call.
#ifndef TAVIX_SIM_FRAMESOURCE_H
#define TAVIX_SIM_FRAMESOURCE_H

#include "sim/simtransport.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace linksim {

class SimCamera;

class FrameSource final : public SimTransport {
public:
    enum Mode { FreeRun = 0, HardwareInput = 1, SoftwareTrigger = 2 };
    static constexpr int kHardwareTriggerHz = 2;
    static constexpr int kMaxPendingTriggers = 16;

    explicit FrameSource(SimCamera &camera);
    ~FrameSource() override;

    const char *name() const override { return "frames"; }
    bool start() override { return true; } // frames flow only between SDK start and stop
    void stop() override;

    // Status codes of linksim.h. Safe from any thread, including a callback.
    int setMode(int mode);
    int mode() const;
    int softTrigger();

    // Callers serialise these (the camera's control lock). startStreaming
    // first reaps a thread that a callback stopped from inside; called from
    // the delivery thread itself it fails with LINKSIM_ERR_BUSY. stopStreaming
    // returns after the thread has ended and no callback runs any more, except
    // when called from inside a callback: then the thread ends when that
    // callback returns.
    int startStreaming();
    void stopStreaming();

    bool isDeliveryThread() const;
    bool threadRunning() const;
    quint64 framesDelivered() const { return m_delivered.load(std::memory_order_acquire); }

private:
    using Clock = std::chrono::steady_clock;
    void run();
    Clock::duration period() const;

    SimCamera &m_camera;
    mutable std::mutex m_mutex; // guards the members below it up to m_thread
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    bool m_running = false;
    int m_mode = FreeRun;
    int m_pendingTriggers = 0;
    Clock::time_point m_next;
    int m_burstLeft = 0; // free run: frames of the current group still to hand over at once
    std::thread m_thread; // touched only by startStreaming/stopStreaming/stop
    std::atomic<quint64> m_delivered { 0 };
    quint32 m_frameNumber = 0; // only the delivery thread; ordered by thread start and join
};

} // namespace linksim

#endif
