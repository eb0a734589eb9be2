#include "gui/pictureview.h"

#include "camera/frameconvert.h"
#include "camera/imagefile.h"
#include "core/regularfile.h"
#include "gui/messagebox.h"
#include "gui/picturewidget.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QSaveFile>

#include <utility>

namespace {

// Snapshots of one stamp beyond this many are refused rather than looked for.
constexpr int MaxSnapshotsPerStamp = 10000;

// The first of "stamp.bmp", "stamp_1.bmp", "stamp_2.bmp", ... (or the suffix
// of another format) in `folder` that names nothing there, not even a dangling
// link; empty when none is free.
QString freeSnapshotPath(const QString &folder, const QString &stamp, const QString &extension)
{
    return regularfile::firstUnusedPath(
        [&](int n) {
            const QString suffix = n == 0 ? QString() : QStringLiteral("_%1").arg(n);
            return folder + QStringLiteral("/") + stamp + suffix + QLatin1Char('.') + extension;
        },
        MaxSnapshotsPerStamp);
}

} // namespace

PictureView::PictureView(PictureWidget *label, QObject *parent)
    : QObject(parent)
    , label(label)
{
    label->installEventFilter(this);
    // Back in the default view the label is handed the frame again.
    connect(label, &PictureWidget::viewChanged, this, [this] { showNewestFrame(OutsidePaint); });
    setClock(nullptr);
    setImageWriter(nullptr);
}

void PictureView::setClock(Clock newClock)
{
    clock = newClock ? std::move(newClock) : Clock(&QDateTime::currentDateTime);
}

void PictureView::setImageWriter(ImageWriter writer)
{
    if (!writer)
        writer = [this](const QImage &image, QIODevice *file) {
            return writeImageFile(image, file, snapshotFormat);
        };
    writeImage = std::move(writer);
}

void PictureView::setSnapshotFormat(recording::ImageFormat format)
{
    snapshotFormat = format;
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
    label->setFrame(img, total);
    lastFrame.start();
    // Frames that arrive together are shown once, the newest of them.
    if (!showPending) {
        showPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                showPending = false;
                showNewestFrame(OutsidePaint);
            },
            Qt::QueuedConnection);
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
    if (frameImage.cacheKey() != countedFrameKey) {
        countedFrameKey = frameImage.cacheKey();
        ++shownCount;
    }
    // The other views the widget draws itself, from the frame.
    if (!label->showsPixmap())
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

Snapshot PictureView::saveOneImage()
{
    const QString stamp = clock().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss.zzz"));
    const QString folder = QDir::currentPath() + QStringLiteral("/CameraImage");
    QDir dir(folder);
    if (!dir.exists()) {
        const bool made = dir.mkpath(folder);
        qDebug().nospace() << "dir make Success or fail > " << made;
    }
    Snapshot shot;
    shot.path = freeSnapshotPath(folder, stamp, QLatin1String(recording::formatSuffix(snapshotFormat)));
    qDebug().noquote() << "path->" << shot.path;
    if (frameImage.isNull()) {
        msgbox::warning(nullptr, QCoreApplication::translate("MainWindow", "warning"),
            QCoreApplication::translate("MainWindow", "Now , Image is NULL, Plase Init The Creame!"),
            QMessageBox::Ok);
        return shot;
    }
    shot.outcome = Snapshot::Failed;
    if (!QFileInfo(folder).isDir()) {
        shot.failure = QCoreApplication::translate("MainWindow", "图片未保存：无法创建文件夹 %1")
                           .arg(QDir::toNativeSeparators(folder));
        return shot;
    }
    if (shot.path.isEmpty()) {
        shot.failure
            = QCoreApplication::translate("MainWindow", "图片未保存：文件夹 %1 中以 %2 命名的文件已太多")
                  .arg(QDir::toNativeSeparators(folder), stamp);
        return shot;
    }
    // Written beside its name and renamed once complete: a full disk or a
    // failing write leaves no partial file under the name.
    QSaveFile file(shot.path);
    QString reason;
    if (file.open(QIODevice::WriteOnly)) {
        const bool encoded = writeImage(frameImage, &file);
        // Flushed even after a failed write: the flush says why the system
        // refused the bytes, which commit() would forget as it closes the file.
        const bool flushed = file.flush();
        if (!encoded || !flushed || file.error() != QFileDevice::NoError) {
            reason = file.error() != QFileDevice::NoError
                ? file.errorString()
                : QCoreApplication::translate("MainWindow", "无法写成 %1 图像")
                      .arg(QLatin1String(recording::formatName(snapshotFormat)));
            file.cancelWriting();
        } else if (file.commit()) {
            shot.outcome = Snapshot::Saved;
            return shot;
        } else {
            reason = file.errorString();
        }
    } else {
        reason = file.errorString();
    }
    shot.failure = QCoreApplication::translate("MainWindow", "图片未保存：%1（%2）")
                       .arg(QDir::toNativeSeparators(shot.path), reason);
    return shot;
}
