// The picture view: the newest frame, the frame counters, the scaled picture in
// the window's picture label and the BMP snapshots of the frame on screen.
#ifndef TAVIX_PICTUREVIEW_H
#define TAVIX_PICTUREVIEW_H

#include "core/recordingplan.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

class PictureWidget;
class QIODevice;

// What became of a snapshot.
struct Snapshot {
    enum Outcome { Saved, NoFrame, Failed };
    Outcome outcome = NoFrame;
    QString path; // the file written, or the one that was to be
    QString failure; // Failed: what the operator is told, which file and why
};

// Frames arrive on the GUI thread; each one replaces the last. The newest is
// handed to the picture widget, and in its stretched smooth view (the default)
// to its label, scaled to its whole area, once the frames that arrived
// together are in, and again when the label takes another size.
class PictureView : public QObject {
    Q_OBJECT

public:
    // `label` shows the frame.
    explicit PictureView(PictureWidget *label, QObject *parent = nullptr);

    // The window's paint: hands the newest frame to the label if the label has
    // not shown it at its present size.
    void paint();
    // Saves the newest frame under CameraImage in the working directory, or warns
    // that there is none yet. The file is named by the time,
    // "yyyy-MM-dd_hh-mm-ss.zzz.bmp", or "..._1.bmp", "..._2.bmp" and so on when
    // that name is taken: no snapshot replaces a file. It appears under its
    // name only once the whole image is written.
    Snapshot saveOneImage();

    // Seams for the tests: the clock that names the snapshots, and what
    // writes the image into its file (by default as BMP).
    using Clock = std::function<QDateTime()>;
    using ImageWriter = std::function<bool(const QImage &image, QIODevice *file)>;
    void setClock(Clock clock);
    void setImageWriter(ImageWriter writer);
    // The snapshots' format (BMP unless chosen otherwise) and the suffix of
    // their names; the default writer writes it.
    void setSnapshotFormat(recording::ImageFormat format);

    // Frames since the last call; the count starts again from 0.
    int takeFrameCount();
    int frameTotal() const { return total; }
    // Frames handed to the picture, of those received: the newest of frames
    // that arrive together is the only one shown.
    quint64 framesShown() const { return shownCount; }
    // Milliseconds since the newest frame arrived; -1 before the first.
    qint64 msSinceLastFrame() const { return lastFrame.isValid() ? lastFrame.elapsed() : -1; }
    const QImage &newestFrame() const { return frameImage; }

public slots:
    // Counts the frame, keeps it as the newest and has it shown.
    void slotGetOneFrame(const QImage &img);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum When { InsidePaint, OutsidePaint };
    void showNewestFrame(When when);

    PictureWidget *label;
    QImage frameImage;
    int frameCount = 0;
    int total = 0;
    // Cache key and size of the frame last handed to the picture label; 0 for none.
    qint64 shownFrameKey = 0;
    QSize shownSize;
    // Cache key of the frame last counted as shown.
    qint64 countedFrameKey = 0;
    quint64 shownCount = 0;
    QElapsedTimer lastFrame;
    // A call of showNewestFrame() is queued.
    bool showPending = false;
    Clock clock;
    ImageWriter writeImage;
    recording::ImageFormat snapshotFormat = recording::ImageFormat::Bmp;
};

#endif
