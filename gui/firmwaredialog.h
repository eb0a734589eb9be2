#ifndef TAVIX_FIRMWAREDIALOG_H
#define TAVIX_FIRMWAREDIALOG_H

#include "core/transfer.h"

#include <QByteArray>
#include <QDialog>
#include <QMessageBox>
#include <QModelIndex>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QTcpSocket;

namespace Ui {
class FirmWareDialog;
}

// The firmware download dialog: the operator queues files of one type, connects
// to the camera (TCP port 7766) and downloads them one after the other. The
// camera's status replies drive each transfer: header frame, start frame, the
// raw 4 MiB pieces of the file with its CRC-32, end frame, then success (next
// file) or failure (the same file again, at most six times in the dialog's life).
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

    void connectToCamera();
    void Handshake();
    int TcpSend();
    int loadFile();
    int loadNextFile();
    void sendPieces();
    void handleReply(const QByteArray &bytes);
    void checkIp();
    bool waitMs(int ms);

    void clearPieceBlock();
    void rebuildQueueFromList();
    void log(const QString &line);
    void setProgress(int value);
    void setControlsEnabled(std::initializer_list<QWidget *> controls, bool enabled);
    bool refuseWhileSending();
    void showBox(QMessageBox::Icon icon, const QString &title, const QString &text);

    QStringList fileList;
    QString fileName;
    qint32 fileIndex = 0;
    qint32 fileCount = 0;
    qint32 fileType = 0;
    std::vector<QByteArray> pieces; // the piece table, at most firmware::MaxPieces entries
    qint8 pieceCount = 0;
    qint8 pieceIndex = 0;
    qint64 imageSize = 0;
    std::unique_ptr<Ui::FirmWareDialog> ui;
    std::unique_ptr<QTcpSocket> tcpSocket;
    QByteArray sendBuffer;
    qint8 retryCount = 0;
    QString cameraIp;

    // Replies arrive as a byte stream: whole frames are taken in order, an
    // incomplete one waits for the next read.
    firmware::FrameStream replyStream;
    // True while the pieces and the end frame are being sent; the waits in
    // between process events, so replies and buttons arrive in the middle.
    bool sendingPieces = false;
    // Replies that would change the transfer, held back while the pieces are sent.
    QList<QByteArray> heldReplies;
    quint16 cameraPort = firmware::CameraPort;
    FileDialogHook fileDialogHook;
};

#endif
