#include "gui/firmwaredialog.h"

#include "ui_firmwaredialog.h"

#include "gui/messagebox.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QTimer>

#include <algorithm>

using namespace firmware;

namespace {

// The connect procedure waits this long for the camera, retrying while a
// restarting camera still refuses connections.
constexpr int ConnectTimeoutMs = 5000;
constexpr int ConnectRetryPauseMs = 200;
// How long a restart waits for the camera to close the old connection.
constexpr int RestartCloseWaitMs = 2000;

QString baseName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

FirmWareDialog::FirmWareDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FirmWareDialog)
    , tcpSocket(new QTcpSocket)
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    connect(tcpSocket.get(), &QTcpSocket::readyRead, this, &FirmWareDialog::read_data);
}

FirmWareDialog::~FirmWareDialog()
{
    tcpSocket->disconnect(this);
    tcpSocket->abort();
}

void FirmWareDialog::setFileDialogHook(FileDialogHook hook)
{
    fileDialogHook = std::move(hook);
}

// --- Slots -----------------------------------------------------------------

void FirmWareDialog::on_FileTypeComboBox_currentIndexChanged(QString arg1)
{
    Q_UNUSED(arg1);
}

void FirmWareDialog::on_NetWorkPushButton_clicked()
{
    if (refuseWhileSending())
        return;
    connectToCamera();
}

void FirmWareDialog::on_LoadPushButton_clicked()
{
    if (ui->listWidget->count() == 0) {
        showBox(QMessageBox::Information, QString(), tr("open file first!!"));
        return;
    }
    if (refuseWhileSending())
        return;
    setProgress(0);
    setControlsEnabled({ ui->OpenfileButton, ui->FileTypeComboBox, ui->VisionComboBox, ui->listWidget,
                           ui->RestartPushButton, ui->encryptionButton },
        true);

    const int r = loadNextFile();
    if (r == 2) {
        log(tr("ALL FILE IS LOAD SUCCESS!"));
    } else if (r == 1) {
        log(tr("THE FILE LOAD RIGHT,WORK BEGIN!"));
        Handshake();
    }
}

void FirmWareDialog::on_RestartPushButton_clicked()
{
    if (refuseWhileSending())
        return;
    sendBuffer = buildRestartFrame();
    TcpSend();
    log(tr("相机重启!!!"));
    // The camera closes the connection as it goes down. Connecting again
    // before that would reach the camera that is about to restart.
    if (tcpSocket->state() == QAbstractSocket::ConnectedState)
        tcpSocket->waitForDisconnected(RestartCloseWaitMs);
    connectToCamera();
}

void FirmWareDialog::on_OpenfileButton_clicked()
{
    fileIndex = 0;
    fileCount = 0;
    fileList.clear();
    fileName.clear();

    const int typeEntry = ui->FileTypeComboBox->currentIndex();
    const int versionEntry = ui->VisionComboBox->currentIndex();
    if (typeEntry == 0 && versionEntry == 0) {
        fileType = 0x11;
        qDebug() << "564684684649";
    } else if (typeEntry == 1) {
        fileType = 0x21;
    } else if (typeEntry == 2) {
        fileType = 0x31;
    } else {
        // The camera knows no type code for picture files.
        fileType = 0;
        log(tr("No type code for this file type, no file queued!"));
        return;
    }

    const QString caption = tr("文件选择");
    const QString folder = QDir::homePath();
    const QString filter
        = tr("二进制文件(*.bin *.elf *.hex);;库文件(*.so.1 *.so.2 *.so.3 *.dll *.a);;全部文件(*.*)");
    const QStringList chosen = fileDialogHook ? fileDialogHook(this, caption, folder, filter)
                                              : QFileDialog::getOpenFileNames(this, caption, folder, filter);
    if (chosen.isEmpty())
        return;

    ui->listWidget->addItems(chosen);
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        const QString text = ui->listWidget->item(i)->text();
        for (int j = ui->listWidget->count() - 1; j > i; --j) {
            if (ui->listWidget->item(j)->text() == text)
                delete ui->listWidget->takeItem(j);
        }
    }
    rebuildQueueFromList();
    fileName = baseName(fileList.value(0));
}

void FirmWareDialog::on_listWidget_doubleClicked(QModelIndex index)
{
    Q_UNUSED(index);
    delete ui->listWidget->takeItem(ui->listWidget->currentRow());
    rebuildQueueFromList();
}

void FirmWareDialog::read_data()
{
    qDebug() << "read_data";
    QPointer<FirmWareDialog> self(this);
    do {
        replyStream.append(tcpSocket->readAll());
        while (auto frame = replyStream.takeFrame()) {
            handleReply(*frame);
            if (!self)
                return;
        }
        if (const qint64 skipped = replyStream.takeSkipped())
            qDebug() << "reply bytes skipped:" << skipped;
    } while (tcpSocket->bytesAvailable() > 0);
}

void FirmWareDialog::read_ip(QString dip)
{
    cameraIp = dip;
    qDebug() << "nIp>>" << dip;
}

// --- Transfer --------------------------------------------------------------

void FirmWareDialog::connectToCamera()
{
    qDebug() << "nip >>>>" << cameraIp;
    checkIp();
    qDebug() << "about ok";

    // A fresh connection every time: after a restart the old one is dead.
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState) {
        tcpSocket->disconnectFromHost();
        if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
            tcpSocket->waitForDisconnected(1000);
        tcpSocket->abort();
    }
    replyStream.clear();
    heldReplies.clear();

    QElapsedTimer clock;
    clock.start();
    tcpSocket->connectToHost(cameraIp, cameraPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    qDebug() << "connectToHost ok";
    bool connected = false;
    for (;;) {
        const int left = int(ConnectTimeoutMs - clock.elapsed());
        connected = left > 0 && tcpSocket->waitForConnected(left);
        if (connected || tcpSocket->error() != QAbstractSocket::ConnectionRefusedError
            || clock.elapsed() + ConnectRetryPauseMs >= ConnectTimeoutMs)
            break;
        // A restarting camera refuses connections for a while: ask again.
        tcpSocket->abort();
        QThread::msleep(ConnectRetryPauseMs);
        tcpSocket->connectToHost(cameraIp, cameraPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    }
    if (!connected) {
        tcpSocket->abort();
        log(tr("Network fail!!!"));
        return;
    }
    ui->RestartPushButton->setEnabled(true);
    log(tr("NOW is network success!"));
    ui->NetWorkPushButton->setEnabled(true);
}

void FirmWareDialog::checkIp()
{
    if (cameraIp.isEmpty())
        showBox(QMessageBox::Warning, tr("Warning"), tr("Now ip is NULL! Please check!"));
}

int FirmWareDialog::TcpSend()
{
    qDebug() << "TcpSend";
    checkIp();
    const qint64 written = tcpSocket->write(sendBuffer);
    const bool flushed = tcpSocket->flush();
    return written >= 0 && flushed ? 0 : -1;
}

void FirmWareDialog::Handshake()
{
    qDebug() << "Handshake";
    const auto frame = buildHeaderFrame(quint8(fileType & 0xFF), imageSize, headerName(fileName));
    if (!frame) {
        // loadFile refuses such files, so nothing loaded can get here.
        qDebug() << "no header frame for" << fileName << imageSize;
        return;
    }
    sendBuffer = *frame;
    TcpSend();
}

void FirmWareDialog::clearPieceBlock()
{
    pieces.clear();
    pieceCount = 0;
    pieceIndex = 0;
    imageSize = 0;
}

int FirmWareDialog::loadNextFile()
{
    if (ui->listWidget->count() == 0) {
        showBox(QMessageBox::Information, QString(), tr("open file first!!"));
        return -1;
    }
    clearPieceBlock();
    if (loadFile() == 10) {
        log(tr("全部文件已经下载完成!"));
        return 2;
    }
    return 1;
}

// Loads the queue entry fileIndex. A file that cannot be sent (unreadable,
// empty, too large, a name the header frame cannot carry) is refused with a
// line in the log view before anything about it is sent, and the next queued
// file is tried instead.
int FirmWareDialog::loadFile()
{
    for (; fileIndex < fileCount; ++fileIndex) {
        const QString path = fileList.value(fileIndex);
        qDebug() << "打开文件路径:" << path;
        fileName = baseName(path);
        qDebug() << "aa - >" << path;
        const QFileInfo info(path);
        qDebug() << "pcsfileInfo - >" << info;

        const QByteArray name = headerName(fileName);
        if (name.isEmpty() || name.size() > MaxNameBytes) {
            log(tr("file name empty or longer than %1 bytes, skipped: %2").arg(MaxNameBytes).arg(path));
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            qDebug() << "open boot file error";
            log(tr("open boot file error! skipped: %1").arg(path));
            continue;
        }
        const qint64 size = file.size();
        ImageError error = ImageError::None;
        auto image = readTransferImage(file, size, &error);
        if (!image) {
            switch (error) {
            case ImageError::Empty:
                qDebug() << "boot buffer error!";
                showBox(QMessageBox::Information, QString(), tr("boot buffer error!"));
                log(tr("boot buffer error! empty file skipped: %1").arg(path));
                break;
            case ImageError::TooLarge:
                log(tr("file larger than %1 bytes, skipped: %2").arg(MaxFileSize).arg(path));
                break;
            default:
                qDebug() << "open boot file error";
                log(tr("open boot file error! skipped: %1").arg(path));
                break;
            }
            continue;
        }
        pieces = std::move(image->pieces);
        pieceCount = qint8(pieces.size());
        pieceIndex = 0;
        imageSize = image->imageSize;
        return 1;
    }
    return 10;
}

void FirmWareDialog::sendPieces()
{
    sendingPieces = true;
    if (!waitMs(2))
        return;
    while (pieceIndex < pieceCount) {
        sendBuffer = pieces[size_t(pieceIndex)]; // exactly the piece's length
        TcpSend();
        setProgress(pieceIndex * 100 / pieceCount);
        ++pieceIndex;
        if (!waitMs(100))
            return;
    }
    if (!waitMs(1000))
        return;
    sendBuffer = buildEndFrame();
    TcpSend();
    sendingPieces = false;

    // Replies held back during the data phase are handled now, in order.
    while (!heldReplies.isEmpty() && !sendingPieces)
        handleReply(heldReplies.takeFirst());
}

void FirmWareDialog::handleReply(const QByteArray &bytes)
{
    const auto reply = parseReply(bytes);
    if (!reply) {
        qDebug() << "reply dropped:" << bytes.toHex(' ');
        return;
    }
    const QString keptName = fileName;

    if (sendingPieces) {
        switch (reply->status) {
        case StatusSendData:
            log(tr("status 4 ignored: the pieces are being sent"));
            return;
        case StatusReceived:
        case StatusSendStart:
        case StatusFailed:
            qDebug() << "reply held until the pieces are sent, status" << reply->status;
            heldReplies.append(bytes);
            return;
        default:
            break;
        }
    }

    switch (reply->status) {
    case StatusReceived: {
        ++fileIndex;
        const int r = loadNextFile();
        setProgress(100);
        ui->RestartPushButton->setEnabled(true);
        log(keptName + tr(" download complete!!!"));
        if (r == 1) {
            Handshake();
        } else if (r == -1) {
            log(tr("文件打开失败!!!"));
        } else if (r == 2) {
            log(tr("所有文件传输完成!!!"));
            fileIndex = 0;
        }
        break;
    }
    case StatusSendStart:
        sendBuffer = buildStartFrame(quint8(pieceIndex));
        TcpSend();
        break;
    case StatusFailed: {
        const int r = loadNextFile();
        if (r == 1) {
            if (retryCount > 5)
                break;
            ++retryCount;
            setProgress(0);
            log(tr("defeated once again!!!"));
            log(keptName + tr(" download defaulted!!!"));
            log(tr("重新传输当前文件!!!"));
            Handshake();
        } else if (r == -1) {
            log(tr("文件打开失败!!!"));
        } else if (r == 2) {
            log(tr("文件完成!!!"));
            setControlsEnabled(
                { ui->NetWorkPushButton, ui->OpenfileButton, ui->FileTypeComboBox, ui->VisionComboBox,
                    ui->listWidget, ui->RestartPushButton, ui->encryptionButton },
                false);
        }
        break;
    }
    case StatusSendData:
        if (pieceCount > 0)
            setProgress(pieceIndex * 100 / pieceCount);
        // The data phase runs from the event loop, not inside read_data: the
        // socket does not announce new replies while its readyRead slot runs.
        sendingPieces = true;
        QTimer::singleShot(0, this, [this] { sendPieces(); });
        break;
    case StatusProgress:
        if (reply->progress != 0)
            setProgress(reply->progress);
        break;
    default:
        break;
    }
}

// Waits ms milliseconds while the event loop keeps running. Returns false when
// the dialog was destroyed meanwhile (the caller must then touch nothing).
bool FirmWareDialog::waitMs(int ms)
{
    QPointer<FirmWareDialog> self(this);
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0; left = ms - clock.elapsed()) {
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, 100)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        if (!self)
            return false;
    }
    return true;
}

// --- Helpers ---------------------------------------------------------------

void FirmWareDialog::rebuildQueueFromList()
{
    fileList.clear();
    for (int i = 0; i < ui->listWidget->count(); ++i)
        fileList << ui->listWidget->item(i)->text();
    fileCount = fileList.size();
}

// Each message becomes a line of its own, as plain text (file names may hold '<').
void FirmWareDialog::log(const QString &line)
{
    QTextCursor cursor(ui->textBrowser->document());
    cursor.movePosition(QTextCursor::End);
    if (!ui->textBrowser->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
    ui->textBrowser->moveCursor(QTextCursor::End);
    ui->textBrowser->ensureCursorVisible();
}

void FirmWareDialog::setControlsEnabled(std::initializer_list<QWidget *> controls, bool enabled)
{
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}

void FirmWareDialog::setProgress(int value)
{
    ui->progressBar->setValue(value);
}

// The waits of the data phase let buttons through; anything that would send
// a frame into the middle of the pieces or reload them waits for its end.
bool FirmWareDialog::refuseWhileSending()
{
    if (!sendingPieces)
        return false;
    log(tr("Pieces are being sent, please wait!!"));
    return true;
}

void FirmWareDialog::showBox(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    // Boxes without parent, like every box of the program, through its one handler.
    msgbox::Request request;
    request.icon = icon;
    request.title = title;
    request.text = text;
    request.buttons = QMessageBox::Ok;
    msgbox::show(request);
}
