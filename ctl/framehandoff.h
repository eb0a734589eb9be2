// The tool's side of the SDK's frame callback: two buffers that the callback
// fills and a consumer thread empties, as the window's acquisition loop
// empties its own, but without converting the frames. A frame that finds both
// buffers still full is dropped, as the window's callback drops it; so is one
// that no buffer takes (a bit count other than 8 or 24, no pixels, more than
// 64 MiB), which the window would not show either.
#ifndef TAVIX_CTL_FRAMEHANDOFF_H
#define TAVIX_CTL_FRAMEHANDOFF_H

#include "core/linksdk.h"

#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ctl {

// The clock the hand-off stamps each frame's arrival with, in nanoseconds.
qint64 steadyNowNs();

class FrameHandoff {
public:
    // Called on the SDK's delivery thread for every frame the callback gets:
    // when it came (steady clock, nanoseconds) and whether it was dropped.
    // Called under the hand-off's lock: never after close() has returned.
    using Arrival = std::function<void(qint64 ns, bool dropped)>;

    static constexpr std::size_t kMaxFrameBytes = 67108864; // 64 MiB, as the window's buffers

    FrameHandoff() = default;
    ~FrameHandoff(); // ends the consumer
    FrameHandoff(const FrameHandoff &) = delete;
    FrameHandoff &operator=(const FrameHandoff &) = delete;

    // The SDK's frame callback; `context` is the FrameHandoff. Returns what
    // the window's callback returns: 1 for a frame over 64 MiB or without
    // pixels, otherwise 0.
    static int frameCallback(unsigned char *data, FrameInfo *info, void *context);

    // From now on frames are counted through `arrival`, and kept for the consumer.
    void open(Arrival arrival);
    // Frames that still come are ignored, without a count; the arrival given
    // to open() is not called again.
    void close();

    // The consumer: a thread that takes the full buffers, oldest first, and
    // marks them empty again. Only what the frame callback copied is looked
    // at (its FrameInfo); it falls behind when it is not woken in time.
    void startConsumer();
    void stopConsumer();

    // Takes the oldest full buffer, if any, as the consumer does (for tests,
    // without a consumer).
    bool takeOne();
    qint64 taken() const;

    // What the callback does with one frame.
    int deliver(const unsigned char *data, const FrameInfo *info);

private:
    enum class State { Empty, Writing, Full };
    struct Buffer {
        std::vector<unsigned char> pixels; // grown to the largest frame it held
        FrameInfo info {};
        State state = State::Empty;
        quint64 order = 0; // frames are taken in the order they were kept
    };

    Buffer *oldestFull(); // under m_mutex
    void consume();

    mutable std::mutex m_mutex;
    std::condition_variable m_full;
    Buffer m_buffers[2];
    quint64 m_kept = 0;
    qint64 m_taken = 0;
    Arrival m_arrival; // empty while closed
    bool m_stop = false;
    std::thread m_consumer;
};

} // namespace ctl

#endif
