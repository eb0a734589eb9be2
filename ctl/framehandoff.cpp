#include "ctl/framehandoff.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>

namespace ctl {

qint64 steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

FrameHandoff::~FrameHandoff()
{
    stopConsumer();
}

int FrameHandoff::frameCallback(unsigned char *data, FrameInfo *info, void *context)
{
    return context ? static_cast<FrameHandoff *>(context)->deliver(data, info) : 0;
}

void FrameHandoff::open(Arrival arrival)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrival = std::move(arrival);
}

void FrameHandoff::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrival = nullptr;
}

int FrameHandoff::deliver(const unsigned char *data, const FrameInfo *info)
{
    const qint64 arrived = steadyNowNs();
    // The window's rules: 8 or 24 bits per pixel, some pixels, at most 64 MiB.
    int refusal = -1;
    std::size_t size = 0;
    if (!data || !info || (info->nBitCount != 8 && info->nBitCount != 24)) {
        refusal = 0;
    } else {
        const std::uint64_t pixels = std::uint64_t(info->nWidth) * info->nHeight;
        const std::uint64_t bytesPerPixel = info->nBitCount / 8;
        if (pixels == 0 || pixels > kMaxFrameBytes / bytesPerPixel)
            refusal = 1;
        size = std::size_t(pixels * bytesPerPixel);
    }

    // The arrival is reported under the lock, so that none comes after close().
    Buffer *buffer = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_arrival)
            return refusal > 0 ? 1 : 0; // closed: nothing is counted any more
        if (refusal < 0) {
            for (Buffer &b : m_buffers) {
                if (b.state == State::Empty) {
                    buffer = &b;
                    break;
                }
            }
        }
        if (!buffer) {
            m_arrival(arrived, true);
            return refusal > 0 ? 1 : 0;
        }
        buffer->state = State::Writing;
        buffer->order = ++m_kept;
    }
    // An empty buffer is the callback's: it is filled without the lock.
    bool kept = false;
    try {
        if (buffer->pixels.size() < size)
            buffer->pixels.resize(size);
        std::memcpy(buffer->pixels.data(), data, size);
        std::memcpy(&buffer->info, info, sizeof(FrameInfo));
        kept = true;
    } catch (const std::bad_alloc &) {
        // No memory for a buffer this large: the frame is dropped.
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        buffer->state = kept ? State::Full : State::Empty;
        if (m_arrival)
            m_arrival(arrived, !kept);
    }
    if (kept)
        m_full.notify_one();
    return 0;
}

FrameHandoff::Buffer *FrameHandoff::oldestFull()
{
    Buffer *oldest = nullptr;
    for (Buffer &b : m_buffers) {
        if (b.state == State::Full && (!oldest || b.order < oldest->order))
            oldest = &b;
    }
    return oldest;
}

bool FrameHandoff::takeOne()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Buffer *buffer = oldestFull();
    if (!buffer)
        return false;
    buffer->state = State::Empty;
    ++m_taken;
    return true;
}

qint64 FrameHandoff::taken() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_taken;
}

void FrameHandoff::startConsumer()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_consumer.joinable())
        return;
    m_stop = false;
    m_consumer = std::thread([this] { consume(); });
}

void FrameHandoff::stopConsumer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_full.notify_all();
    if (m_consumer.joinable())
        m_consumer.join();
}

void FrameHandoff::consume()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        Buffer *buffer = oldestFull();
        if (!buffer) {
            m_full.wait(lock);
            continue;
        }
        // The frame is the tool's now; what it needs of it is counted already.
        buffer->state = State::Empty;
        ++m_taken;
    }
}

} // namespace ctl
