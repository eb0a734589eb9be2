#ifndef TAVIX_FIRMWAREDIALOG_H
#define TAVIX_FIRMWAREDIALOG_H

#include "core/downloadsession.h"
#include "core/testports.h"
#include "core/transfer.h"

#include <QByteArray>
#include <QDialog>
#include <QMessageBox>
#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <memory>

class QTcpSocket;

namespace Ui {
class FirmWareDialog;
}

// The firmware download dialog: the operator queues files of one type, connects
// to the camera (TCP port 7766) and downloads them one after the other. The
// camera's status replies drive each transfer: header frame, start frame, the
// raw 4 MiB pieces of the file with its CRC-32, end frame, then success (next
// file) or failure (the same file again, at most six times in the dialog's life).
// The exchange itself is a firmware::DownloadSession; the dialog carries its
// socket, its clock and what the operator sees.
class FirmWareDialog : public QDialog {
    Q_OBJECT
public:
    explicit FirmWareDialog(QWidget *parent = nullptr);
    ~FirmWareDialog() override;

    // Replaces the multi-file open dialog; the hook gets parent, caption,
    // folder and filter and returns the chosen paths (empty when cancelled).
    using FileDialogHook = std::function<QStringList(
        QWidget *parent, const QString &caption, const QString &folder, const QString &filter)>;
    void setFileDialogHook(FileDialogHook hook);

    // The camera's firmware port; 7766 unless changed (tests use a free port).
    void setCameraPort(quint16 port) { cameraPort = port; }
    // The longest the camera may stay silent while its reply is due; 10 s
    // unless changed (tests use a short one).
    void setSilenceLimit(int ms) { session->setSilenceLimit(ms); }

    // Sets the form's texts again in the language now applied; the queue, the
    // choices, the progress and the log view's past lines stay as they are.
    void retranslate();

public slots:
    void on_FileTypeComboBox_currentIndexChanged(QString arg1);
    void on_NetWorkPushButton_clicked();
    void on_LoadPushButton_clicked();
    void on_RestartPushButton_clicked();
    void on_OpenfileButton_clicked();
    void on_listWidget_doubleClicked(QModelIndex index);
    void read_data();
    void read_ip(QString dip);

private:
    friend class TestFirmwareDialog;
    friend class TestE2eFirmware;

    // reuseOpen: an open connection to the camera is kept (the connect
    // button); otherwise a fresh one replaces it (after a restart).
    void connectToCamera(bool reuseOpen);
    bool connectFresh();
    int TcpSend();
    void checkIp();
    // Feeds reply bytes to the session and carries out what it answers.
    void handleReply(const QByteArray &bytes);
    // Carries out the session's steps in order until it has none left.
    void runSteps();

    void syncQueue();
    void rebuildQueueFromList();
    void log(const QString &line);
    void setProgress(int value);
    void setControlsEnabled(std::initializer_list<QWidget *> controls, bool enabled);
    void showBox(QMessageBox::Icon icon, const QString &title, const QString &text);

    QStringList fileList;
    qint32 fileCount = 0;
    qint32 fileType = 0;
    std::unique_ptr<Ui::FirmWareDialog> ui;
    std::unique_ptr<QTcpSocket> tcpSocket;
    QByteArray sendBuffer; // the bytes last handed to the socket
    QString cameraIp;
    quint16 cameraPort = firmwarePortWithTestOverride();
    FileDialogHook fileDialogHook;

    // The download itself: frames, pieces, re-sends and texts. The dialog
    // owns the socket and the clock: waitTimer runs the waits the session asks
    // for between the pieces, so replies and buttons arrive in between.
    std::unique_ptr<firmware::DownloadSession> session;
    QTimer waitTimer;
    // The session's deadlines for the camera's answer: silence and phase.
    QTimer silenceTimer;
    QTimer phaseTimer;
    bool runningSteps = false;
};

#endif
