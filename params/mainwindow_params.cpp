// The parameter side of the main window: the property table, its Set buttons,
// the UDP command socket, parameter files and the other parameter controls.
//
// NOT BUILT YET. Every function below is a placeholder that does nothing; the
// parameter view is reported as not built, so the open action logs no
// "CameraSetView Init!".
#include "app/mainwindow.h"

#include <QDebug>
#include <QUdpSocket>

int MainWindow::initCameraSetView()
{
    qWarning() << "the parameter view is not built yet";
    return 0;
}

void MainWindow::initUdp() { }

void MainWindow::unpack(const QByteArray &datagram)
{
    Q_UNUSED(datagram);
}

void MainWindow::onWriteReply(const ::CmdFrame &frame)
{
    Q_UNUSED(frame);
}

void MainWindow::onControlReply(const ::CmdFrame &frame)
{
    Q_UNUSED(frame);
}

void MainWindow::slotSetBtnClicked() { }

void MainWindow::read_data() { }

void MainWindow::pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff)
{
    Q_UNUSED(cmd);
    Q_UNUSED(id);
    Q_UNUSED(buff);
}

void MainWindow::on_newFileaction_triggered() { }

void MainWindow::on_Saveaction_triggered() { }

void MainWindow::on_rate1action_triggered() { }

void MainWindow::on_rate2action_triggered() { }

void MainWindow::on_sc4210Button_clicked() { }

void MainWindow::on_a022SetBtn_clicked() { }
