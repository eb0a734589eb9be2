// Where a frame lies in the picture area and which of its pixels the operator
// sees: the views of the picture (stretched, fitted, zoomed) as plain values.
#ifndef TAVIX_VIEWMAPPING_H
#define TAVIX_VIEWMAPPING_H

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <optional>

namespace view {

enum class Mode {
    Stretch, // the frame over the whole area, proportions not kept
    Fit, // as large as fits, proportions kept, centred
    Zoom, // a fixed scale, 2^step view pixels per frame pixel, panned
};

// Zoom steps are powers of two: step -3 is 1/8x, 0 is 1:1, 5 is 32x.
constexpr int MinZoomStep = -3;
constexpr int MaxZoomStep = 5;
// From this step up pixels are drawn as sharp squares.
constexpr int SharpZoomStep = 1;

// 2^step, with `step` held to the steps above.
double zoomOfStep(int step);

struct View {
    Mode mode = Mode::Stretch;
    int step = 0; // Zoom only
    // Zoom only: where the frame's top left corner lies, in view coordinates.
    QPointF origin;

    bool operator==(const View &other) const
    {
        return mode == other.mode && step == other.step && origin == other.origin;
    }
    bool operator!=(const View &other) const { return !(*this == other); }
};

// The rectangle the whole frame of size `frame` covers in a picture area of
// size `area`, in view coordinates (logical pixels, 0,0 at the area's top
// left). Zoomed, it may reach beyond the area. Empty for an empty frame or area.
QRectF frameRect(const View &view, const QSize &frame, const QSize &area);

// The frame point (in frame pixels, continuous: pixel x covers x to x + 1)
// under the view point `at`. Points outside the frame map beyond its edges.
QPointF viewToFrame(const View &view, const QSize &frame, const QSize &area, const QPointF &at);

// The frame pixel under the view point `at`, or none when `at` is not over the frame.
std::optional<QPoint> framePixelAt(
    const View &view, const QSize &frame, const QSize &area, const QPointF &at);

// The frame pixels the area shows, whole or in part, clipped to the frame:
// the whole frame when stretched or fitted. Empty when nothing is seen.
QRect visibleRegion(const View &view, const QSize &frame, const QSize &area);

// The view zoomed by `steps` (positive: larger) around the view point `at`:
// the frame point under `at` stays there. From a stretched or fitted view it
// starts at the zoom step nearest to the scale shown (the smaller of the two
// directions). The step is held to MinZoomStep..MaxZoomStep.
View zoomedAround(const View &view, const QSize &frame, const QSize &area, const QPointF &at, int steps);

// 1:1 with the frame point now under `at` kept under it.
View oneToOneAt(const View &view, const QSize &frame, const QSize &area, const QPointF &at);

// A zoomed view moved by `delta` view pixels, then held by clampPan(); other
// views are returned as they are.
View panned(const View &view, const QSize &frame, const QSize &area, const QPointF &delta);

// A zoomed view moved as little as needed for the frame to keep PanKeepPixels
// view pixels (or all of it, when smaller) inside the area in each direction,
// so that panning never loses the frame altogether.
constexpr int PanKeepPixels = 16;
View clampPan(const View &view, const QSize &frame, const QSize &area);

} // namespace view

#endif
