#include "camera/framerecorder.h"

#include "camera/imagefile.h"

#include <QSaveFile>

#include <utility>

FrameRecorder::FrameRecorder(const QString &folder, recording::ImageFormat format, qint64 queueBytes,
    ImageWriter writer, QObject *parent)
    : QObject(parent)
    , dir(folder)
    , format(format)
    , queueLimit(queueBytes)
    , writeImage(std::move(writer))
{
    if (!writeImage)
        writeImage
            = [format](const QImage &image, QIODevice *file) { return writeImageFile(image, file, format); };
    thread = std::thread([this] { run(); });
}

FrameRecorder::~FrameRecorder()
{
    finish();
    if (thread.joinable())
        thread.join();
}

FrameRecorder::Offer FrameRecorder::offer(const QImage &image, int number)
{
    const qint64 bytes = image.sizeInBytes();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (closed)
            return Offer::Closed;
        if (!queue.empty() && queueBytes + bytes > queueLimit) {
            ++lostCount;
            return Offer::Full;
        }
        queue.push_back({ image, number });
        queueBytes += bytes;
    }
    wake.notify_one();
    return Offer::Queued;
}

void FrameRecorder::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    wake.notify_one();
}

int FrameRecorder::queued() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return int(queue.size());
}

void FrameRecorder::run()
{
    for (;;) {
        Item item;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return closed || !queue.empty(); });
            if (queue.empty())
                break; // closed, and everything written
            item = std::move(queue.front());
            queue.pop_front();
        }
        const bool ok = writeOne(item);
        {
            std::lock_guard<std::mutex> lock(mutex);
            queueBytes -= item.image.sizeInBytes();
            if (!ok) {
                // The frames after a failed one would fail alike: give them up.
                closed = true;
                queue.clear();
                queueBytes = 0;
            }
        }
        if (ok)
            ++writtenCount;
    }
    emit finished();
}

bool FrameRecorder::writeOne(const Item &item)
{
    const QString path = dir + QLatin1Char('/') + recording::frameFileName(item.number, format);
    // Written beside its name and renamed once complete: a full disk leaves
    // no partial frame under the name.
    QSaveFile file(path);
    QString reason;
    if (file.open(QIODevice::WriteOnly)) {
        const bool encoded = writeImage(item.image, &file);
        // Flushed even after a failed write: the flush says why the system
        // refused the bytes, which commit() would forget as it closes the file.
        const bool flushed = file.flush();
        if (encoded && flushed && file.error() == QFileDevice::NoError && file.commit())
            return true;
        reason = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        file.cancelWriting();
    } else {
        reason = file.errorString();
    }
    emit writeFailed(path, reason);
    return false;
}
