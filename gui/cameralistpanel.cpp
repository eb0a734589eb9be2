#include "gui/cameralistpanel.h"

#include "camera/workthread.h"

#include <QCursor>
#include <QDebug>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

namespace {

// The list item's data role holding the camera record index of its row.
constexpr int RecordRole = Qt::UserRole;

// The SDK's camera list is read up to this record.
constexpr int ListedRecords = 10;

} // namespace

CameraListPanel::CameraListPanel(const Widgets &widgets, WorkThread &worker, QObject *parent)
    : QObject(parent)
    , form(widgets)
    , worker(worker)
{
}

int CameraListPanel::fillCameraList()
{
    form.list->clear();
    const int width = form.list->width();
    for (int i = 0; i < ListedRecords; ++i) {
        const QString name = worker.getCamName(i);
        qDebug().noquote() << "CCCCCCCCCCCCCCCC>>" << name;
        if (name.isEmpty())
            continue;
        // Records with empty names are skipped, so a row is not always its record:
        // each item carries its record index.
        auto *item = new QListWidgetItem(name);
        item->setData(RecordRole, i);
        item->setSizeHint(QSize(width, width / 8));
        form.list->addItem(item);
    }
    return 1;
}

bool CameraListPanel::hasNoCameras() const
{
    return form.list->count() == 0;
}

int CameraListPanel::recordOfRow(int row) const
{
    const QListWidgetItem *item = row >= 0 ? form.list->item(row) : nullptr;
    return item ? item->data(RecordRole).toInt() : -1;
}

bool CameraListPanel::selectRecord(int record)
{
    for (int row = 0; row < form.list->count(); ++row) {
        if (recordOfRow(row) == record) {
            form.list->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

void CameraListPanel::selectCurrent(QListWidgetItem *current)
{
    const int index = recordOfRow(form.list->currentRow());
    if (index < 0) {
        // No current row: keep the camera selected so far.
        qDebug() << "no camera row selected; camera" << selected << "stays current";
        return;
    }
    selected = index;
    worker.RegisterImage(selected);
    if (current)
        form.name->setText(current->text());
    const QString ip = worker.getCamIp(selected);
    const QString mac = worker.getCamMac(selected);
    form.ip->setText(ip);
    form.mac->setText(mac);
    CameraCode.Cam_ip = ip;
    CameraCode.Cam_mac = macToBytes(mac);
    qDebug() << "~~~~~~~~~~~~try";
}

void CameraListPanel::showContextMenu()
{
    if (hasNoCameras())
        return;
    QMenu menu(form.window);
    menu.addActions(form.cameraActions);
    menu.addSeparator();
    menu.addActions(form.modeActions);
    if (form.record) {
        menu.addSeparator();
        menu.addAction(form.record);
    }
    menu.exec(QCursor::pos());
}

void CameraListPanel::showCameraIp(const QString &text)
{
    form.ip->setText(text);
}

void CameraListPanel::showCameraName(const QString &text)
{
    form.name->setText(text);
}

void CameraListPanel::showFrameCounts(int lastSecond, int total)
{
    rateText = QString::number(lastSecond);
    form.rate->clear();
    form.rate->setText(rateText);
    totalText = QString::number(total);
    form.total->setText(totalText);
}
