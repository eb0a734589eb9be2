// The writing end of a recording: frames handed over on the GUI thread go
// through a bounded queue to a thread of the recorder's own, which writes each
// into its file. Handing over never waits: a frame that finds the queue full
// is refused and counted.
#ifndef TAVIX_FRAMERECORDER_H
#define TAVIX_FRAMERECORDER_H

#include "core/recordingplan.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QIODevice;

class FrameRecorder : public QObject {
    Q_OBJECT

public:
    // What the queue holds at most, in image bytes (at least one frame always fits).
    static constexpr qint64 DefaultQueueBytes = 96LL * 1024 * 1024;

    // Writes `image` into `file`; false when it could not. The default writes
    // the recorder's format (writeImageFile).
    using ImageWriter = std::function<bool(const QImage &image, QIODevice *file)>;

    // Frames go into `folder`, which must exist, named frameFileName(number, format).
    FrameRecorder(const QString &folder, recording::ImageFormat format, qint64 queueBytes = DefaultQueueBytes,
        ImageWriter writer = nullptr, QObject *parent = nullptr);
    // Writes what is still queued, then ends the thread.
    ~FrameRecorder() override;

    enum class Offer {
        Queued,
        Full, // the queue holds its bytes: the frame is lost, and counted
        Closed, // finish() was called or a write failed: the frame is not wanted
    };
    // Hands `image` over as frame `number`. Never waits for the writer.
    Offer offer(const QImage &image, int number);
    // No more frames: the queued ones are written, then finished() is emitted.
    void finish();

    int written() const { return writtenCount.load(); }
    int lost() const { return lostCount.load(); }
    int queued() const;
    QString folder() const { return dir; }

signals:
    // From the writer's thread: frame `path` could not be written (`reason`);
    // it is not there under its name, and the recorder takes no more frames.
    void writeFailed(const QString &path, const QString &reason);
    // From the writer's thread: every frame handed over is written or given up.
    void finished();

private:
    struct Item {
        QImage image;
        int number;
    };
    void run();
    bool writeOne(const Item &item);

    const QString dir;
    const recording::ImageFormat format;
    const qint64 queueLimit;
    ImageWriter writeImage;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Item> queue;
    qint64 queueBytes = 0;
    bool closed = false; // guarded by mutex
    std::atomic<int> writtenCount { 0 };
    std::atomic<int> lostCount { 0 };
    std::thread thread;
};

#endif
