#ifndef TAVIX_MAINWINDOW_H
#define TAVIX_MAINWINDOW_H

#include "core/cameracode.h"
#include "core/cmdframe.h"

#include <QByteArray>
#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class FirmWareDialog;
class QListWidgetItem;
class QUdpSocket;
class WorkThread;

namespace Ui {
class MainWindow;
}

// The program's one window: camera list and information, live picture,
// parameter tabs, and the actions that drive the acquisition worker.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Number of remembered parameter texts: rows 2 to 24 of the property table.
    static constexpr int RememberedCount = 23;

protected:
    void timerEvent(QTimerEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

signals:
    void giveIpForfir(QString ip);

private slots:
    void slotGetOneFrame(QImage img);
    void on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void on_listWidget_customContextMenuRequested(const QPoint &pos);
    void on_InitOpenAct_triggered();
    void on_actStop_triggered();
    void on_actStart_triggered();
    void on_actClose_triggered();
    void on_actModeauto_triggered();
    void on_actIOmode_triggered();
    void on_actModeSoft_triggered();
    void on_actSoft_triggered();
    void slotSetBtnClicked();
    void on_FirmwareUpdateaction_triggered();
    void on_Escaction_triggered();
    void on_actionD_triggered();
    void read_data();
    void pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff = QByteArray());
    void on_newFileaction_triggered();
    void on_Saveaction_triggered();
    void on_rate1action_triggered();
    void on_rate2action_triggered();
    void on_FullScreen_triggered();
    void on_saveOneImageAct_triggered();
    void on_HelpFileaction_triggered();
    void on_sc4210Button_clicked();
    void on_actionA_triggered();
    void on_a022SetBtn_clicked();

private:
    friend struct MainWindowProbe; // test access

    int initApp();
    int fillCameraList();
    // Builds the property table and sends the parameter query; returns 1 when done.
    int initCameraSetView();
    void initUdp();
    void unpack(const QByteArray &datagram);
    void onWriteReply(const ::CmdFrame &frame);
    void onControlReply(const ::CmdFrame &frame);
    // Camera record behind a row of the camera list, -1 for no row.
    int recordOfRow(int row) const;
    // The picture label's area in this window's coordinates.
    QRect pictureArea() const;

    std::unique_ptr<Ui::MainWindow> ui;
    int camIndex = 0;
    WorkThread *worker = nullptr;
    QImage frameImage;
    QString selectedCamIp;
    std::unique_ptr<FirmWareDialog> firmwareDialog;
    int timerId = 0;
    int frameCount = 0;
    int frameTotal = 0;
    QString rateText;
    QString totalText;
    CameraCodeRecord CameraCode;
    ::CmdFrame CmdFrame;
    std::array<QString, RememberedCount> rememberedValues; // index: table row - 2
    bool edited = false;

    // The command socket, created when the parameter view is first built.
    std::unique_ptr<QUdpSocket> udpSocket;
    // Cache key of the frame last handed to the picture label; 0 for none.
    qint64 shownFrameKey = 0;
};

#endif
