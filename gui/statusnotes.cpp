#include "gui/statusnotes.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QStatusBar>

namespace {

// What the operator reads about `fault` of the camera called `camera`.
QString faultText(const CameraFault &fault, const QString &camera)
{
    switch (fault.kind) {
    case CameraFault::OpenFailed:
        return QCoreApplication::translate("MainWindow", "相机 %1 打开失败：IB_CC_OpenCamera 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::StartFailed:
        return QCoreApplication::translate("MainWindow", "相机 %1 启动失败：IB_CC_StartCamera 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::StopFailed:
        return QCoreApplication::translate("MainWindow", "相机 %1 暂停失败：IB_CC_StopCamera 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::CloseFailed:
        return QCoreApplication::translate("MainWindow", "相机 %1 关闭失败：IB_CC_CloseCamera 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::ModeFailed: {
        // The names of the trigger-mode actions of the camera list's menu.
        const QString mode = fault.mode == 0 ? QCoreApplication::translate("MainWindow", "自动模式")
            : fault.mode == 1                ? QCoreApplication::translate("MainWindow", "IO模式")
                                             : QCoreApplication::translate("MainWindow", "抓图模式");
        return QCoreApplication::translate("MainWindow", "相机 %1 切换到%2失败：IB_CC_modeCamera 返回状态 %3")
            .arg(camera, mode)
            .arg(fault.status);
    }
    case CameraFault::SoftTriggerFailed:
        return QCoreApplication::translate("MainWindow", "相机 %1 抓图失败：IB_CC_softCamera 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::RegisterFailed:
        return QCoreApplication::translate(
            "MainWindow", "相机 %1 注册图像回调失败：IB_CC_RegisterImage 返回状态 %2")
            .arg(camera)
            .arg(fault.status);
    case CameraFault::UnsupportedBitCount:
        return QCoreApplication::translate(
            "MainWindow", "相机 %1 的图像无法显示：每像素 %2 位，只支持 8 位和 24 位")
            .arg(camera)
            .arg(fault.bitCount);
    case CameraFault::UnshowableSize:
        return QCoreApplication::translate("MainWindow", "相机 %1 的图像无法显示：%2 × %3 像素，每像素 %4 位")
            .arg(camera)
            .arg(fault.width)
            .arg(fault.height)
            .arg(fault.bitCount);
    }
    return QString();
}

} // namespace

StatusNotes::StatusNotes(QStatusBar *bar, WorkThread &worker, QObject *parent)
    : QObject(parent)
    , label(new QLabel(bar))
    , worker(worker)
{
    label->setObjectName(QStringLiteral("noticeLabel"));
    bar->addPermanentWidget(label);
}

QString StatusNotes::text() const
{
    return label->text();
}

void StatusNotes::cameraFault(const CameraFault &fault)
{
    const QPair<int, int> key(fault.camera, int(fault.kind));
    if (faultsShown.contains(key))
        return;
    faultsShown.insert(key);
    // A record without a name (none listed there) is named by its index.
    const QString name = worker.getCamName(fault.camera);
    show(faultText(fault, name.isEmpty() ? QString::number(fault.camera) : name));
    showsSnapshotFailure = false;
}

void StatusNotes::snapshotFailed(const QString &text)
{
    show(text);
    showsSnapshotFailure = true;
}

void StatusNotes::snapshotSaved()
{
    if (showsSnapshotFailure)
        show(QString());
    showsSnapshotFailure = false;
}

void StatusNotes::show(const QString &text)
{
    if (!text.isEmpty())
        qDebug().noquote() << "notice:" << text;
    label->setText(text);
}
