#include "gui/mainwindow.h"

#include "camera/workthread.h"
#include "gui/firmwaredialog.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QUrl>

// The compiled-in pictures live in the core library; register them before the
// form asks for its icons.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    initResources();
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Tavix_2.0"));
    if (initApp() == 1)
        qDebug() << "CameraApp statu is OK";
    ui->tableWidget->verticalHeader()->hide();
    // Names and Set buttons take what they need, values the rest, so every
    // row's Set button is in view without scrolling sideways.
    QHeaderView *columns = ui->tableWidget->horizontalHeader();
    columns->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    columns->setSectionResizeMode(1, QHeaderView::Stretch);
    columns->setSectionResizeMode(2, QHeaderView::ResizeToContents);
}

MainWindow::~MainWindow()
{
    killTimer(timerId);
    // The acquisition loop reads the frame storage and emits to this window: end
    // it before anything it uses goes away, whatever state the camera is in.
    worker->shutdown();
    firmwareDialog.reset();
    ui.reset();
    delete worker;
}

int MainWindow::initApp()
{
    camIndex = 0;

    ui->comboBox->setCurrentIndex(0);
    ui->tabWidget->hide();
    edited = false;

    ui->Saveaction->setEnabled(false);
    ui->SaveAsaction->setEnabled(false);
    ui->Verticalaction->setEnabled(false);
    ui->Renderingaction->setEnabled(false);
    ui->FullScreen->setEnabled(false);
    ui->actStatus->setEnabled(false);
    ui->LogView->setEnabled(false);
    ui->WatermarkLog->setEnabled(false);
    ui->PictureLayout->setEnabled(false);

    // Emitted on the worker's thread, so every frame arrives here as a queued call.
    worker = new WorkThread;
    connect(worker, &WorkThread::sig_GetOneFrame, this, &MainWindow::slotGetOneFrame);

    firmwareDialog = std::make_unique<FirmWareDialog>();
    connect(this, &MainWindow::giveIpForfir, firmwareDialog.get(), &FirmWareDialog::read_ip);

    worker->init();
    worker->EnumCamras();

    // The firmware dialog's default target is camera 0, whichever is selected later.
    emit giveIpForfir(worker->getCamIp(camIndex));

    if (fillCameraList() == 1)
        qDebug() << "CameraList Init!";

    frameCount = 0;
    frameTotal = 0;
    timerId = startTimer(1000);
    return 1;
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timerId) {
        QMainWindow::timerEvent(event);
        return;
    }
    rateText = QString::number(frameCount);
    frameCount = 0;
    ui->ZLlineEdit->clear();
    ui->ZLlineEdit->setText(rateText);
    totalText = QString::number(frameTotal);
    ui->ZZlineEdit->setText(totalText);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    worker->CloseCamras(camIndex);
    QApplication::quit();
    event->accept();
}

void MainWindow::on_InitOpenAct_triggered()
{
    worker->start();
    if (ui->listWidget->count() == 0)
        return;
    if (initCameraSetView() == 1)
        qDebug() << "CameraSetView Init!";
    ui->tabWidget->show();
}

void MainWindow::on_actStop_triggered()
{
    worker->Stop(camIndex);
}

void MainWindow::on_actStart_triggered()
{
    worker->startCamras(camIndex);
}

void MainWindow::on_actClose_triggered()
{
    worker->CloseCamras(camIndex);
}

void MainWindow::on_actModeauto_triggered()
{
    worker->modeauto(camIndex);
}

void MainWindow::on_actIOmode_triggered()
{
    worker->modeio(camIndex);
}

void MainWindow::on_actModeSoft_triggered()
{
    worker->modesoft(camIndex);
}

void MainWindow::on_actSoft_triggered()
{
    worker->softoneimg(camIndex);
}

void MainWindow::on_FirmwareUpdateaction_triggered()
{
    firmwareDialog->show();
}

void MainWindow::on_Escaction_triggered()
{
    worker->CloseCamras(camIndex);
    QApplication::quit();
}

void MainWindow::on_actionD_triggered() { }

void MainWindow::on_FullScreen_triggered() { }

void MainWindow::on_HelpFileaction_triggered()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::currentPath() + QStringLiteral("/Tavix.pdf")));
}

void MainWindow::on_actionA_triggered() { }
