// The camera list and the camera information panel of the main window.
#include "gui/mainwindow.h"

#include "gui/mainwindow_ui.h"
#include "camera/workthread.h"

#include <QCursor>
#include <QDebug>
#include <QListWidgetItem>
#include <QMenu>

namespace {

// The list item's data role holding the camera record index of its row.
constexpr int RecordRole = Qt::UserRole;

// The SDK's camera list is read up to this record.
constexpr int ListedRecords = 10;

} // namespace

int MainWindow::fillCameraList()
{
    ui->listWidget->clear();
    const int width = ui->listWidget->width();
    for (int i = 0; i < ListedRecords; ++i) {
        const QString name = worker->getCamName(i);
        qDebug().noquote() << "CCCCCCCCCCCCCCCC>>" << name;
        if (name.isEmpty())
            continue;
        // Records with empty names are skipped, so a row is not always its record:
        // each item carries its record index.
        auto *item = new QListWidgetItem(name);
        item->setData(RecordRole, i);
        item->setSizeHint(QSize(width, width / 8));
        ui->listWidget->addItem(item);
    }
    return 1;
}

int MainWindow::recordOfRow(int row) const
{
    const QListWidgetItem *item = row >= 0 ? ui->listWidget->item(row) : nullptr;
    return item ? item->data(RecordRole).toInt() : -1;
}

void MainWindow::on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous)
{
    Q_UNUSED(previous);
    const int index = recordOfRow(ui->listWidget->currentRow());
    if (index < 0) {
        // No current row: keep the camera selected so far.
        qDebug() << "no camera row selected; camera" << camIndex << "stays current";
        return;
    }
    camIndex = index;
    worker->RegisterImage(camIndex);
    if (current)
        ui->NamelineEdit->setText(current->text());
    const QString ip = worker->getCamIp(camIndex);
    const QString mac = worker->getCamMac(camIndex);
    ui->IPlineEdit->setText(ip);
    ui->MaclineEdit->setText(mac);
    CameraCode.Cam_ip = ip;
    CameraCode.Cam_mac = macToBytes(mac);
    qDebug() << "~~~~~~~~~~~~try";
}

void MainWindow::on_listWidget_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos);
    if (ui->listWidget->count() == 0)
        return;
    QMenu menu(this);
    menu.addAction(ui->InitOpenAct);
    menu.addAction(ui->actStop);
    menu.addAction(ui->actStart);
    menu.addAction(ui->actClose);
    menu.addSeparator();
    menu.addAction(ui->actModeauto);
    menu.addAction(ui->actIOmode);
    menu.addAction(ui->actModeSoft);
    menu.addAction(ui->actSoft);
    menu.exec(QCursor::pos());
}
