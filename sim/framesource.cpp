#include "sim/framesource.h"

#include "sim/framegen.h"
#include "sim/linksim.h"
#include "sim/simcamera.h"

#include <algorithm>
#include <cstring>

namespace linksim {

namespace {
    // The frame source whose delivery thread this is, if any: lets operations
    // called from inside a frame callback avoid waiting for their own thread.
    thread_local const FrameSource *t_deliverySource = nullptr;
} // namespace

FrameSource::FrameSource(SimCamera &camera)
    : m_camera(camera)
{
}

FrameSource::~FrameSource()
{
    stop();
}

void FrameSource::stop()
{
    stopStreaming();
    // A thread stopped from inside its own callback is reaped here at the latest.
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

int FrameSource::setMode(int mode)
{
    if (mode != FreeRun && mode != HardwareInput && mode != SoftwareTrigger)
        return LINKSIM_ERR_BAD_MODE;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mode = mode;
        m_pendingTriggers = 0;
        m_burstLeft = 0;
        // Free run resumes at once; the simulated hardware input fires one period later.
        m_next = Clock::now() + (mode == HardwareInput ? period() : Clock::duration::zero());
    }
    m_wake.notify_all();
    return LINKSIM_OK;
}

int FrameSource::mode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mode;
}

int FrameSource::softTrigger()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_mode != SoftwareTrigger)
            return LINKSIM_ERR_WRONG_MODE;
        if (m_pendingTriggers >= kMaxPendingTriggers)
            return LINKSIM_ERR_TRIGGER_OVERRUN;
        ++m_pendingTriggers;
    }
    m_wake.notify_all();
    return LINKSIM_OK;
}

int FrameSource::startStreaming()
{
    if (isDeliveryThread())
        return LINKSIM_ERR_BUSY;
    if (m_thread.joinable())
        m_thread.join(); // stopped from inside its callback earlier; it has ended or is ending
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = false;
        m_running = true;
        m_pendingTriggers = 0;
        m_burstLeft = 0;
        m_next = Clock::now();
    }
    m_thread = std::thread([this] { run(); });
    return LINKSIM_OK;
}

void FrameSource::stopStreaming()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && !isDeliveryThread())
        m_thread.join();
}

bool FrameSource::isDeliveryThread() const
{
    return t_deliverySource == this;
}

bool FrameSource::threadRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

FrameSource::Clock::duration FrameSource::period() const
{
    if (m_mode == HardwareInput)
        return std::chrono::milliseconds(1000 / kHardwareTriggerHz);
    const qint64 fps
        = std::clamp<qint64>(m_camera.parameters().value(param::frameRate, 30), 1, SimConfig::kMaxFps);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / fps;
}

void FrameSource::run()
{
    t_deliverySource = this;
    FrameGenerator generator(m_camera.width(), m_camera.height(), m_camera.bytesPerPixel());
    quint64 lookRevision = 0;
    bool lookSet = false;

    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopRequested) {
        if (m_mode == SoftwareTrigger) {
            if (m_pendingTriggers == 0) {
                m_wake.wait(lock);
                continue;
            }
            --m_pendingTriggers;
        } else if (m_burstLeft > 0) {
            --m_burstLeft; // the rest of a group, back to back
        } else {
            const Clock::time_point now = Clock::now();
            if (now < m_next) {
                m_wake.wait_until(lock, m_next);
                continue;
            }
            // Late frames are skipped, not caught up in a burst. In free run
            // a group of `burst` frames is due every `burst` periods.
            const int group = m_mode == FreeRun ? m_camera.burst() : 1;
            m_next += period() * group;
            if (m_next <= now)
                m_next = now + period() * group;
            m_burstLeft = group - 1;
        }
        const quint32 number = ++m_frameNumber;
        lock.unlock();

        // The camera counts every frame it takes; only a registered callback gets it.
        // A camera whose sensor or stream was switched off over the command
        // port takes no pictures until it is switched on again.
        const ParameterStore &store = m_camera.parameters();
        const bool taking = store.value(param::sensorOn, 1) != 0 && store.value(param::streamOn, 1) != 0;
        const auto [callback, context] = m_camera.callback();
        if (callback && taking) {
            const quint64 revision = m_camera.parameters().revision();
            if (!lookSet || revision != lookRevision) {
                lookRevision = revision;
                lookSet = true;
                generator.setLook(FrameLook::fromStore(m_camera.parameters()));
            }
            unsigned char *pixels = generator.render(number);
            FrameInfo info;
            std::memset(&info, 0, sizeof info);
            info.nWidth = quint32(m_camera.width());
            info.nHeight = quint32(m_camera.height());
            info.nBitCount = quint32(m_camera.bytesPerPixel() * 8);
            // Reserved bytes 0-3: the frame number, little-endian.
            for (int i = 0; i < 4; ++i)
                info.reserved[i] = uchar(number >> (8 * i));
            callback(pixels, &info, context);
            m_delivered.fetch_add(1, std::memory_order_release);
        }
        lock.lock();
    }
    m_running = false;
    lock.unlock();
    t_deliverySource = nullptr;
}

} // namespace linksim
