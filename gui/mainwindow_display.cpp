// The GUI-thread end of the frame path: counting, showing and saving frames.
#include "gui/mainwindow.h"

#include "gui/messagebox.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QPixmap>

QRect MainWindow::pictureArea() const
{
    return QRect(ui->label->mapTo(this, QPoint(0, 0)), ui->label->size());
}

void MainWindow::slotGetOneFrame(QImage img)
{
    ++frameCount;
    ++frameTotal;
    frameImage = img;
    // Only the picture changes; the rest of the window need not be painted again.
    update(pictureArea());
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    if (frameImage.isNull())
        return;
    // Setting the label's pixmap schedules a paint of the label, and painting the
    // label paints this window beneath it: hand the label each frame only once,
    // or every paint would schedule the next one.
    if (frameImage.cacheKey() == shownFrameKey)
        return;
    ui->label->setScaledContents(true);
    ui->label->setPixmap(QPixmap::fromImage(frameImage));
    shownFrameKey = frameImage.cacheKey();
}

void MainWindow::on_saveOneImageAct_triggered()
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
