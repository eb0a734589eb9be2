// The picture view: the newest frame, the frame counters, the scaled picture in
// the window's picture label and the BMP snapshots of the frame on screen.
#ifndef TAVIX_PICTUREVIEW_H
#define TAVIX_PICTUREVIEW_H

#include <QImage>
#include <QObject>
#include <QRect>

class QLabel;
class QWidget;

// Frames arrive on the GUI thread; each one replaces the last and is shown at
// the window's next paint, scaled to the label's whole area.
class PictureView : public QObject {
    Q_OBJECT

public:
    // `window` is painted (the picture label lies on it); `label` shows the frame.
    PictureView(QWidget *window, QLabel *label, QObject *parent = nullptr);

    // The window's paint: hands the newest frame to the label once.
    void paint();
    // Saves the newest frame under CameraImage in the working directory, or warns
    // that there is none yet.
    void saveOneImage();

    // Frames since the last call; the count starts again from 0.
    int takeFrameCount();
    int frameTotal() const { return total; }
    const QImage &newestFrame() const { return frameImage; }

public slots:
    // Counts the frame, keeps it as the newest and asks for the picture area to be painted.
    void slotGetOneFrame(const QImage &img);

private:
    // The picture label's area in the window's coordinates.
    QRect pictureArea() const;

    QWidget *window;
    QLabel *label;
    QImage frameImage;
    int frameCount = 0;
    int total = 0;
    // Cache key of the frame last handed to the picture label; 0 for none.
    qint64 shownFrameKey = 0;
};

#endif
