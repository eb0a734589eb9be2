#include "gui/pictureview.h"

#include "camera/frameconvert.h"
#include "gui/messagebox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPixmap>

#include <utility>

PictureView::PictureView(QLabel *label, QObject *parent)
    : QObject(parent)
    , label(label)
{
    label->installEventFilter(this);
}

bool PictureView::eventFilter(QObject *watched, QEvent *event)
{
    // A new size of the label, as its splitter or the window moves, wants the
    // frame scaled to it before the label paints.
    if (watched == label && event->type() == QEvent::Resize)
        showNewestFrame(OutsidePaint);
    return QObject::eventFilter(watched, event);
}

void PictureView::slotGetOneFrame(const QImage &img)
{
    ++frameCount;
    ++total;
    frameImage = img;
    // Frames that arrive together are shown once, the newest of them.
    if (!showPending) {
        showPending = true;
        QMetaObject::invokeMethod(this, [this] {
            showPending = false;
            showNewestFrame(OutsidePaint);
        }, Qt::QueuedConnection);
    }
}

int PictureView::takeFrameCount()
{
    return std::exchange(frameCount, 0);
}

void PictureView::paint()
{
    showNewestFrame(InsidePaint);
}

void PictureView::showNewestFrame(When when)
{
    if (frameImage.isNull())
        return;
    // The label shows the frame scaled to its whole area. It is handed the frame
    // already scaled to that area, so that it need not convert and scale it again.
    const qreal ratio = label->devicePixelRatioF();
    const QSize area = label->contentsRect().size() * ratio;
    // Setting the label's pixmap schedules a paint of the label: hand the label
    // each frame only once for each size, or every paint would schedule the next one.
    if (frameImage.cacheKey() == shownFrameKey && area == shownSize)
        return;
    QPixmap scaled = QPixmap::fromImage(scaleForDisplay(frameImage, area));
    scaled.setDevicePixelRatio(ratio);
    // An opaque frame over the label's whole area hides the window beneath it,
    // which then need not be painted with each frame.
    label->setAttribute(Qt::WA_OpaquePaintEvent,
        !scaled.isNull() && !scaled.hasAlphaChannel() && label->contentsRect() == label->rect());
    label->setScaledContents(true);
    const QPixmap before = label->pixmap(Qt::ReturnByValue);
    const bool sameSize = !before.isNull() && before.size() == scaled.size()
        && before.devicePixelRatio() == scaled.devicePixelRatio();
    // A new pixmap makes the label ask its parent to lay its children out again,
    // and that runs up through the window's layouts. A frame of the size the
    // label already shows leaves its size hints as they were: that request is
    // taken back, after any request already waiting has been carried out (not
    // while the window paints: layouts are not run in the middle of a paint).
    QWidget *parent = when == OutsidePaint ? label->parentWidget() : nullptr;
    if (sameSize && parent)
        QCoreApplication::sendPostedEvents(parent, QEvent::LayoutRequest);
    label->setPixmap(scaled);
    if (sameSize && parent)
        QCoreApplication::removePostedEvents(parent, QEvent::LayoutRequest);
    shownFrameKey = frameImage.cacheKey();
    shownSize = area;
}

void PictureView::saveOneImage()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss.zzz"));
    const QString folder = QDir::currentPath() + QStringLiteral("/CameraImage");
    QDir dir(folder);
    if (!dir.exists()) {
        const bool made = dir.mkpath(folder);
        qDebug().nospace() << "dir make Success or fail > " << made;
    }
    const QString path = folder + QStringLiteral("/") + stamp + QStringLiteral(".bmp");
    qDebug().noquote() << "path->" << path;
    if (frameImage.isNull()) {
        msgbox::warning(nullptr, QCoreApplication::translate("MainWindow", "warning"),
            QCoreApplication::translate("MainWindow", "Now , Image is NULL, Plase Init The Creame!"),
            QMessageBox::Ok);
        return;
    }
    frameImage.save(path, "BMP", 100);
}
