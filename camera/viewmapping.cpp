#include "camera/viewmapping.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace view {

double zoomOfStep(int step)
{
    return std::ldexp(1.0, std::clamp(step, MinZoomStep, MaxZoomStep));
}

QRectF frameRect(const View &view, const QSize &frame, const QSize &area)
{
    if (frame.isEmpty() || area.isEmpty())
        return QRectF();
    switch (view.mode) {
    case Mode::Stretch:
        return QRectF(QPointF(0, 0), QSizeF(area));
    case Mode::Fit: {
        const double scale
            = std::min(double(area.width()) / frame.width(), double(area.height()) / frame.height());
        const QSizeF size(frame.width() * scale, frame.height() * scale);
        return QRectF(QPointF((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
    }
    case Mode::Zoom:
        break;
    }
    const double scale = zoomOfStep(view.step);
    return QRectF(view.origin, QSizeF(frame.width() * scale, frame.height() * scale));
}

QPointF viewToFrame(const View &view, const QSize &frame, const QSize &area, const QPointF &at)
{
    const QRectF rect = frameRect(view, frame, area);
    if (rect.isEmpty())
        return QPointF();
    return QPointF((at.x() - rect.x()) * frame.width() / rect.width(),
        (at.y() - rect.y()) * frame.height() / rect.height());
}

std::optional<QPoint> framePixelAt(const View &view, const QSize &frame, const QSize &area, const QPointF &at)
{
    if (frame.isEmpty() || area.isEmpty())
        return std::nullopt;
    const QPointF f = viewToFrame(view, frame, area, at);
    const double x = std::floor(f.x());
    const double y = std::floor(f.y());
    if (x < 0 || y < 0 || x >= frame.width() || y >= frame.height())
        return std::nullopt;
    return QPoint(int(x), int(y));
}

QRect visibleRegion(const View &view, const QSize &frame, const QSize &area)
{
    if (frame.isEmpty() || area.isEmpty())
        return QRect();
    if (view.mode != Mode::Zoom)
        return QRect(QPoint(0, 0), frame);
    const QPointF topLeft = viewToFrame(view, frame, area, QPointF(0, 0));
    const QPointF bottomRight = viewToFrame(view, frame, area, QPointF(area.width(), area.height()));
    // A pixel seen in part counts; the area's far edge is not part of it.
    const double left = std::max(0.0, std::floor(topLeft.x()));
    const double top = std::max(0.0, std::floor(topLeft.y()));
    const double right = std::min(double(frame.width()), std::ceil(bottomRight.x()));
    const double bottom = std::min(double(frame.height()), std::ceil(bottomRight.y()));
    if (right <= left || bottom <= top)
        return QRect();
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

namespace {

    // The zoom step nearest to the scale a stretched or fitted view shows.
    int nearestStep(const View &view, const QSize &frame, const QSize &area)
    {
        if (view.mode == Mode::Zoom)
            return view.step;
        const QRectF rect = frameRect(view, frame, area);
        const double scale = std::min(rect.width() / frame.width(), rect.height() / frame.height());
        return std::clamp(int(std::lround(std::log2(scale))), MinZoomStep, MaxZoomStep);
    }

    View zoomedTo(const View &view, const QSize &frame, const QSize &area, const QPointF &at, int step)
    {
        View zoomed;
        zoomed.mode = Mode::Zoom;
        zoomed.step = std::clamp(step, MinZoomStep, MaxZoomStep);
        const QPointF f = viewToFrame(view, frame, area, at);
        const double scale = zoomOfStep(zoomed.step);
        zoomed.origin = at - f * scale;
        return zoomed;
    }

} // namespace

View zoomedAround(const View &view, const QSize &frame, const QSize &area, const QPointF &at, int steps)
{
    if (frame.isEmpty() || area.isEmpty())
        return view;
    return zoomedTo(view, frame, area, at, nearestStep(view, frame, area) + steps);
}

View oneToOneAt(const View &view, const QSize &frame, const QSize &area, const QPointF &at)
{
    if (frame.isEmpty() || area.isEmpty())
        return view;
    return zoomedTo(view, frame, area, at, 0);
}

View panned(const View &view, const QSize &frame, const QSize &area, const QPointF &delta)
{
    if (view.mode != Mode::Zoom)
        return view;
    View moved = view;
    moved.origin += delta;
    return clampPan(moved, frame, area);
}

View clampPan(const View &view, const QSize &frame, const QSize &area)
{
    if (view.mode != Mode::Zoom || frame.isEmpty() || area.isEmpty())
        return view;
    const double scale = zoomOfStep(view.step);
    const double width = frame.width() * scale;
    const double height = frame.height() * scale;
    const double keepX = std::min(double(PanKeepPixels), width);
    const double keepY = std::min(double(PanKeepPixels), height);
    View held = view;
    held.origin.setX(std::clamp(view.origin.x(), keepX - width, area.width() - keepX));
    held.origin.setY(std::clamp(view.origin.y(), keepY - height, area.height() - keepY));
    return held;
}

} // namespace view
