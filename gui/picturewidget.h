// The picture area of the main window: the form's label "label", which shows
// the frame stretched as a plain label does, and draws it itself in the other
// views (fitted, zoomed, fast scaling, saturation marks) and under the watermark.
#ifndef TAVIX_PICTUREWIDGET_H
#define TAVIX_PICTUREWIDGET_H

#include "camera/viewmapping.h"

#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QString>

#include <optional>

// What the status bar says of frame pixel `at` of `frame`: its coordinates and
// its value, grey or R G B; empty for a pixel outside the frame.
QString pixelReadoutText(const QImage &frame, const QPoint &at);

class PictureWidget : public QLabel {
    Q_OBJECT

public:
    enum class Scaling { Smooth, Fast };

    explicit PictureWidget(QWidget *parent = nullptr);

    // The frame it draws (shared, not copied) and its number for the watermark.
    void setFrame(const QImage &frame, int number);
    // True while what shows is the label's own pixmap: the frame stretched over
    // the whole area with smooth scaling, without saturation marks.
    bool showsPixmap() const;

    const view::View &currentView() const { return shown; }
    void setView(const view::View &view);
    // Stretched or fitted.
    void setMode(view::Mode mode);
    // Zoom steps in (positive) or out around the area's centre.
    void zoomBy(int steps);
    // 1:1 around the area's centre.
    void oneToOne();
    // The frame pixels on screen, the whole frame unless zoomed; empty without a frame.
    QRect visibleRegion() const;
    // The frame pixel under the pointer, if any.
    std::optional<QPoint> hoveredPixel() const { return hovered; }

    Scaling scaling() const { return scale; }
    void setScaling(Scaling scaling);
    bool saturationMarks() const { return marks; }
    void setSaturationMarks(bool on);
    bool watermark() const { return watermarkOn; }
    void setWatermark(bool on);
    void setCameraName(const QString &name);
    // In full screen a double click asks to leave it instead of changing the view.
    void setDoubleClickLeaves(bool on) { doubleClickLeaves = on; }

signals:
    // The view, the scaling or the marks changed.
    void viewChanged();
    // The pointer is over frame pixel `pixel`, or over no pixel (`none`).
    void pixelHovered(const QPoint &pixel);
    void noPixelHovered();
    void leaveRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QSize area() const;
    void paintFrame(QPainter &painter);
    void paintWatermark(QPainter &painter);
    void hover(const QPointF &at);

    QImage frame;
    int frameNumber = 0;
    view::View shown;
    Scaling scale = Scaling::Smooth;
    bool marks = false;
    bool watermarkOn = false;
    bool doubleClickLeaves = false;
    QString cameraName;
    std::optional<QPoint> hovered;
    std::optional<QPointF> pointer;
    std::optional<QPointF> dragFrom;
    int wheelRest = 0; // eighths of a degree short of a whole wheel step
};

#endif
