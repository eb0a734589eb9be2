#ifndef TAVIX_MAINWINDOW_H
#define TAVIX_MAINWINDOW_H

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <memory>

class CameraListPanel;
class FirmWareDialog;
class QAction;
class ParameterPanel;
class LogWindow;
class PictureView;
class RecentFilesMenu;
class RecordingControl;
class RecordingDialog;
class QListWidgetItem;
class QLabel;
class QShortcut;
class StatisticsDock;
class StatusNotes;
class WorkThread;

namespace Ui {
class MainWindow;
}

// The program's one window. It owns the form, the acquisition worker, the
// firmware dialog and the panels that run the form's parts: the camera list
// (CameraListPanel), the parameter tabs with the command channel
// (ParameterPanel), the live picture (PictureView) and the notices in the
// status bar (StatusNotes). The slots the form connects by name forward to
// them; the camera actions call the worker.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // What the operator does with the list's context menu: selects the row of
    // camera record `record`, then runs "初始化/打开". False, and nothing done,
    // when no listed camera has that record.
    bool openCamera(int record);

    // The acquisition loop sleeps until a frame arrives instead of polling
    // (the --wait-for-frames option); set before a camera is opened.
    void setWaitForFrames(bool on);

    // What the Language menu's 中文 and English do: applies the language, shows
    // every text of the window and the firmware dialog in it at once, and
    // remembers it for the next start. False, and nothing changed, when the
    // translation cannot be loaded.
    bool switchLanguage(bool english);

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
    void on_FirmwareUpdateaction_triggered();
    void on_Escaction_triggered();
    void on_actionD_triggered();
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
    void on_Aboutaction_triggered();
    void on_LogView_triggered();
    void on_VideoGraphicsaction_triggered();
    void on_SaveAsaction_triggered();

private:
    friend struct MainWindowProbe; // test access

    int initApp();
    // The Language action's submenu: 中文 and English, the one in use checked.
    void buildLanguageMenu();
    // Every text of the window and the firmware dialog again, in the language
    // now applied; what the operator typed, chose or sees otherwise stays.
    void retranslate();
    void showPortShared();
    // The View menu's picture views, the scaling choice of 滤波方式 and the
    // instruments' actions, all beside the form's actions.
    void buildViewMenu();
    void retranslateViewMenu();
    // 全屏: the picture alone over the whole screen, or back.
    void setPictureFullScreen(bool on);
    // The parameter tabs appear on the first open: shares the window's width out
    // so their value column shows whole values.
    void giveTabsRoom();
    // The selected camera's record index, for the worker's calls.
    int camIndex() const;

    std::unique_ptr<Ui::MainWindow> ui;
    WorkThread *worker = nullptr;
    std::unique_ptr<FirmWareDialog> firmwareDialog;
    std::unique_ptr<CameraListPanel> cameraList;
    std::unique_ptr<ParameterPanel> parameters;
    std::unique_ptr<PictureView> picture;
    std::unique_ptr<StatusNotes> notes;
    StatisticsDock *statistics = nullptr; // owned by the window
    QLabel *pixelReadout = nullptr; // in the status bar
    struct ViewActions {
        QAction *stretch = nullptr;
        QAction *fit = nullptr;
        QAction *oneToOne = nullptr;
        QAction *zoomIn = nullptr;
        QAction *zoomOut = nullptr;
        QAction *saturation = nullptr;
        QAction *smooth = nullptr;
        QAction *fast = nullptr;
    } viewActions;
    // What full screen hid and changed, to be given back.
    struct FullScreenState {
        bool on = false;
        Qt::WindowStates windowState;
        QRect geometry;
        QList<QWidget *> hidden;
        QList<int> splitterSizes;
        QMargins margins;
    } fullScreen;
    QShortcut *leaveFullScreen = nullptr;
    std::unique_ptr<RecordingControl> recording;
    std::unique_ptr<RecentFilesMenu> recentFiles;
    QAction *recordAction = nullptr; // 录像 / 停止录像, tool bar and camera menu
    LogWindow *logWindow = nullptr; // made when first asked for
    RecordingDialog *recordingDialog = nullptr; // made when first asked for
    int timerId = 0;
    QAction *chineseAction = nullptr;
    QAction *englishAction = nullptr;
};

#endif
