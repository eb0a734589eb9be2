#include "gui/picturewidget.h"

#include "camera/frameconvert.h"
#include "camera/framestats.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int WheelStep = 120;

} // namespace

QString pixelReadoutText(const QImage &frame, const QPoint &at)
{
    const framestats::PixelValue value = framestats::pixelValue(frame, at);
    if (!value.valid)
        return QString();
    if (value.grey)
        return QCoreApplication::translate("MainWindow", "像素 (%1, %2)  灰度 %3")
            .arg(at.x())
            .arg(at.y())
            .arg(value.level[0]);
    return QCoreApplication::translate("MainWindow", "像素 (%1, %2)  R %3  G %4  B %5")
        .arg(at.x())
        .arg(at.y())
        .arg(value.level[0])
        .arg(value.level[1])
        .arg(value.level[2]);
}

PictureWidget::PictureWidget(QWidget *parent)
    : QLabel(parent)
{
    setMouseTracking(true); // the readout follows the pointer without a button held
}

QSize PictureWidget::area() const
{
    return contentsRect().size();
}

void PictureWidget::setFrame(const QImage &newFrame, int number)
{
    const bool newSize = newFrame.size() != frame.size();
    frame = newFrame;
    frameNumber = number;
    if (newSize && shown.mode == view::Mode::Zoom)
        setView(view::clampPan(shown, frame.size(), area()));
    if (!showsPixmap() || watermarkOn)
        update();
    // The value under a pointer that stays still changes with the frame.
    if (pointer)
        hover(*pointer);
}

bool PictureWidget::showsPixmap() const
{
    return shown.mode == view::Mode::Stretch && scale == Scaling::Smooth && !marks;
}

void PictureWidget::setView(const view::View &view)
{
    if (view == shown)
        return;
    shown = view;
    update();
    emit viewChanged();
    if (pointer)
        hover(*pointer);
}

void PictureWidget::setMode(view::Mode mode)
{
    view::View v;
    v.mode = mode == view::Mode::Zoom ? view::Mode::Stretch : mode;
    setView(v);
}

void PictureWidget::zoomBy(int steps)
{
    if (frame.isNull())
        return;
    const QSize a = area();
    setView(view::zoomedAround(shown, frame.size(), a, QPointF(a.width() / 2.0, a.height() / 2.0), steps));
}

void PictureWidget::oneToOne()
{
    if (frame.isNull())
        return;
    const QSize a = area();
    setView(view::oneToOneAt(shown, frame.size(), a, QPointF(a.width() / 2.0, a.height() / 2.0)));
}

QRect PictureWidget::visibleRegion() const
{
    return view::visibleRegion(shown, frame.size(), area());
}

void PictureWidget::setScaling(Scaling scaling)
{
    if (scaling == scale)
        return;
    scale = scaling;
    update();
    emit viewChanged();
}

void PictureWidget::setSaturationMarks(bool on)
{
    if (on == marks)
        return;
    marks = on;
    update();
    emit viewChanged();
}

void PictureWidget::setWatermark(bool on)
{
    watermarkOn = on;
    update();
}

void PictureWidget::setCameraName(const QString &name)
{
    cameraName = name;
    if (watermarkOn)
        update();
}

void PictureWidget::paintEvent(QPaintEvent *event)
{
    if (showsPixmap()) {
        QLabel::paintEvent(event);
        if (!watermarkOn || frame.isNull())
            return;
        QPainter painter(this);
        paintWatermark(painter);
        return;
    }
    QPainter painter(this);
    paintFrame(painter);
    if (watermarkOn && !frame.isNull())
        paintWatermark(painter);
}

void PictureWidget::paintFrame(QPainter &painter)
{
    const QRect box = contentsRect();
    painter.fillRect(box, Qt::black);
    const QRect region = visibleRegion();
    if (frame.isNull() || region.isEmpty())
        return;
    const QRectF whole = view::frameRect(shown, frame.size(), box.size()).translated(box.topLeft());
    const double sx = whole.width() / frame.width();
    const double sy = whole.height() / frame.height();
    const QRectF target(
        whole.x() + region.x() * sx, whole.y() + region.y() * sy, region.width() * sx, region.height() * sy);
    // Only the part on screen is marked or copied.
    QImage source;
    if (marks)
        source = framestats::saturationMarked(frame, region);
    else
        source = region == frame.rect() ? frame : frame.copy(region);
    if (source.isNull())
        return;
    painter.setClipRect(box);
    if (shown.mode == view::Mode::Zoom && shown.step >= view::SharpZoomStep) {
        // Every frame pixel a sharp square.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, source);
        return;
    }
    QSize size(int(std::lround(target.width())), int(std::lround(target.height())));
    size = size.expandedTo(QSize(1, 1));
    const QPoint at(int(std::lround(target.x())), int(std::lround(target.y())));
    if (size == source.size())
        painter.drawImage(at, source);
    else if (scale == Scaling::Smooth)
        painter.drawImage(at, scaleForDisplay(source, size));
    else
        painter.drawImage(at, source.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void PictureWidget::paintWatermark(QPainter &painter)
{
    const QRect box = contentsRect();
    const QRectF whole = view::frameRect(shown, frame.size(), box.size()).translated(box.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The crosshair over the frame's centre, light on dark so that it shows on any picture.
    const QPointF centre = whole.center();
    const int arm = 20;
    for (const auto &[colour, width] :
        { std::pair<QColor, int>(QColor(0, 0, 0, 160), 3), std::pair<QColor, int>(QColor(0, 255, 0), 1) }) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
        painter.drawLine(QPointF(centre.x(), centre.y() - arm), QPointF(centre.x(), centre.y() + arm));
    }
    const QString text
        = QCoreApplication::translate("MainWindow", "相机: %1\n时间: %2\n帧号: %3")
              .arg(cameraName, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
              .arg(frameNumber);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    // Bottom left, on a dark box of its own: the picture's top left often
    // holds what the camera writes into it.
    const QRect room = box.adjusted(10, 8, -10, -8);
    QRect textBox = painter.fontMetrics().boundingRect(room, Qt::AlignLeft | Qt::AlignBottom, text);
    painter.fillRect(textBox.adjusted(-6, -4, 6, 4), QColor(0, 0, 0, 150));
    painter.setPen(QColor(255, 255, 0));
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignBottom, text);
}

void PictureWidget::hover(const QPointF &at)
{
    const std::optional<QPoint> pixel
        = view::framePixelAt(shown, frame.size(), area(), at - contentsRect().topLeft());
    hovered = pixel;
    if (pixel)
        emit pixelHovered(*pixel);
    else
        emit noPixelHovered();
}

void PictureWidget::wheelEvent(QWheelEvent *event)
{
    if (frame.isNull()) {
        event->ignore();
        return;
    }
    // Wheels that turn in finer steps than a notch add up to one.
    wheelRest += event->angleDelta().y();
    const int steps = wheelRest / WheelStep;
    wheelRest -= steps * WheelStep;
    if (steps != 0) {
        const QPointF at = event->position() - contentsRect().topLeft();
        setView(view::zoomedAround(shown, frame.size(), area(), at, steps));
    }
    event->accept();
}

void PictureWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && shown.mode == view::Mode::Zoom) {
        dragFrom = event->localPos();
        setCursor(Qt::ClosedHandCursor);
    }
    QLabel::mousePressEvent(event);
}

void PictureWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->localPos();
    if (dragFrom && (event->buttons() & Qt::LeftButton)) {
        setView(view::panned(shown, frame.size(), area(), at - *dragFrom));
        dragFrom = at;
    }
    pointer = at;
    hover(at);
    QLabel::mouseMoveEvent(event);
}

void PictureWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && dragFrom) {
        dragFrom.reset();
        unsetCursor();
    }
    QLabel::mouseReleaseEvent(event);
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseDoubleClickEvent(event);
        return;
    }
    if (doubleClickLeaves) {
        emit leaveRequested();
        return;
    }
    if (frame.isNull())
        return;
    if (shown.mode == view::Mode::Stretch)
        setView(view::oneToOneAt(shown, frame.size(), area(), event->localPos() - contentsRect().topLeft()));
    else
        setView(view::View());
}

void PictureWidget::leaveEvent(QEvent *event)
{
    pointer.reset();
    hovered.reset();
    emit noPixelHovered();
    QLabel::leaveEvent(event);
}

void PictureWidget::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    // The pointer's place in the widget is not known again until it moves.
    if (pointer) {
        pointer.reset();
        hovered.reset();
        emit noPixelHovered();
    }
    if (shown.mode == view::Mode::Zoom)
        shown = view::clampPan(shown, frame.size(), area());
}
