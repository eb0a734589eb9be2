#include "gui/pictureview.h"

#include "gui/messagebox.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QPixmap>

#include <utility>

PictureView::PictureView(QWidget *window, QLabel *label, QObject *parent)
    : QObject(parent)
    , window(window)
    , label(label)
{
}

QRect PictureView::pictureArea() const
{
    return QRect(label->mapTo(window, QPoint(0, 0)), label->size());
}

void PictureView::slotGetOneFrame(const QImage &img)
{
    ++frameCount;
    ++total;
    frameImage = img;
    // Only the picture changes; the rest of the window need not be painted again.
    window->update(pictureArea());
}

int PictureView::takeFrameCount()
{
    return std::exchange(frameCount, 0);
}

void PictureView::paint()
{
    if (frameImage.isNull())
        return;
    // Setting the label's pixmap schedules a paint of the label, and painting the
    // label paints the window beneath it: hand the label each frame only once,
    // or every paint would schedule the next one.
    if (frameImage.cacheKey() == shownFrameKey)
        return;
    label->setScaledContents(true);
    label->setPixmap(QPixmap::fromImage(frameImage));
    shownFrameKey = frameImage.cacheKey();
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
        msgbox::warning(nullptr, QStringLiteral("warning"),
            QStringLiteral("Now , Image is NULL, Plase Init The Creame!"), QMessageBox::Ok);
        return;
    }
    frameImage.save(path, "BMP", 100);
}
