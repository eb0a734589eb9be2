#include "gui/firmwaredialog.h"

#include "ui_firmwaredialog.h"

#include "camera/framememory.h"
#include "gui/messagebox.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QPointer>
#include <QTcpSocket>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

using namespace firmware;

namespace {

// The connect procedure waits this long for the camera, retrying while a
// restarting camera still refuses connections.
constexpr int ConnectTimeoutMs = 5000;
constexpr int ConnectRetryPauseMs = 200;
// How long a restart waits for the camera to close the old connection.
constexpr int RestartCloseWaitMs = 2000;

} // namespace

FirmWareDialog::FirmWareDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FirmWareDialog)
    , tcpSocket(new QTcpSocket)
    , session(new DownloadSession)
{
    ui->setupUi(this);
    ui->progressBar->setValue(0);
    connect(tcpSocket.get(), &QTcpSocket::readyRead, this, &FirmWareDialog::read_data);
    connect(tcpSocket.get(), &QTcpSocket::disconnected, this, [this] {
        session->connectionClosed();
        runSteps();
    });
    waitTimer.setSingleShot(true);
    waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&waitTimer, &QTimer::timeout, this, [this] {
        session->resume();
        runSteps();
    });
    for (QTimer *timer : { &silenceTimer, &phaseTimer }) {
        timer->setSingleShot(true);
        const Deadline which = timer == &silenceTimer ? Deadline::Silence : Deadline::Phase;
        connect(timer, &QTimer::timeout, this, [this, which] {
            session->deadlinePassed(which);
            runSteps();
        });
    }
    // Bytes still leaving for the camera are no silence of the camera. The
    // signal may come from inside a write: the running steps then take what
    // the session answers.
    connect(tcpSocket.get(), &QTcpSocket::bytesWritten, this, [this] {
        session->bytesWritten();
        if (!runningSteps)
            runSteps();
    });
}

FirmWareDialog::~FirmWareDialog()
{
    // Nothing runs after this: no wait is pending, no reply is read.
    waitTimer.stop();
    silenceTimer.stop();
    phaseTimer.stop();
    tcpSocket->disconnect(this);
    tcpSocket->abort();
}

void FirmWareDialog::retranslate()
{
    ui->retranslateUi(this);
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
    if (session->refuseWhileSending()) {
        runSteps();
        return;
    }
    connectToCamera(true);
}

void FirmWareDialog::on_LoadPushButton_clicked()
{
    if (ui->listWidget->count() == 0) {
        showBox(QMessageBox::Information, QString(), tr("open file first!!"));
        return;
    }
    if (session->refuseWhileSending()) {
        runSteps();
        return;
    }
    setControlsEnabled({ ui->OpenfileButton, ui->FileTypeComboBox, ui->VisionComboBox, ui->listWidget,
                           ui->RestartPushButton, ui->encryptionButton },
        true);
    session->load();
    runSteps();
}

void FirmWareDialog::on_RestartPushButton_clicked()
{
    if (session->refuseWhileSending()) {
        runSteps();
        return;
    }
    session->restart();
    runSteps();
    // The camera closes the connection as it goes down. Connecting again
    // before that would reach the camera that is about to restart.
    if (tcpSocket->state() == QAbstractSocket::ConnectedState)
        tcpSocket->waitForDisconnected(RestartCloseWaitMs);
    connectToCamera(false);
}

void FirmWareDialog::on_OpenfileButton_clicked()
{
    fileCount = 0;
    fileList.clear();
    syncQueue();
    session->rewind();

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
        syncQueue();
        log(tr("No type code for this file type, no file queued!"));
        return;
    }
    syncQueue();

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
    session->rewind();
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
        handleReply(tcpSocket->readAll());
        if (!self)
            return;
    } while (tcpSocket->bytesAvailable() > 0);
}

void FirmWareDialog::read_ip(QString dip)
{
    cameraIp = dip;
    qDebug() << "nIp>>" << dip;
}

// --- Connection and steps --------------------------------------------------

void FirmWareDialog::connectToCamera(bool reuseOpen)
{
    qDebug() << "nip >>>>" << cameraIp;
    checkIp();
    qDebug() << "about ok";

    // An open connection to this camera stays open: a download may be
    // running on it, and closing it would leave the camera waiting.
    if (reuseOpen && tcpSocket->state() == QAbstractSocket::ConnectedState
        && tcpSocket->peerName() == cameraIp && tcpSocket->peerPort() == cameraPort) {
        qDebug() << "connection kept";
    } else if (!connectFresh()) {
        log(tr("Network fail!!!"));
        return;
    }
    ui->RestartPushButton->setEnabled(true);
    log(tr("NOW is network success!"));
    ui->NetWorkPushButton->setEnabled(true);
}

// A new connection replaces whatever the socket had (after a restart the old
// one is dead). Blocks for up to ConnectTimeoutMs.
bool FirmWareDialog::connectFresh()
{
    if (tcpSocket->state() != QAbstractSocket::UnconnectedState) {
        tcpSocket->disconnectFromHost();
        if (tcpSocket->state() != QAbstractSocket::UnconnectedState)
            tcpSocket->waitForDisconnected(1000);
        tcpSocket->abort();
    }
    session->connectionReset();

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
    if (!connected)
        tcpSocket->abort();
    return connected;
}

void FirmWareDialog::checkIp()
{
    if (cameraIp.isEmpty())
        showBox(QMessageBox::Warning, tr("Warning"), tr("Now ip is NULL! Please check!"));
}

// Writes sendBuffer and flushes. -1 when the bytes could not be handed to an
// open connection (not connected, refused by the socket, or the connection
// broke while flushing), else 0.
int FirmWareDialog::TcpSend()
{
    qDebug() << "TcpSend";
    checkIp();
    if (tcpSocket->state() != QAbstractSocket::ConnectedState)
        return -1;
    const qint64 written = tcpSocket->write(sendBuffer);
    tcpSocket->flush();
    return written == sendBuffer.size() && tcpSocket->state() == QAbstractSocket::ConnectedState ? 0 : -1;
}

void FirmWareDialog::handleReply(const QByteArray &bytes)
{
    session->receive(bytes);
    runSteps();
}

void FirmWareDialog::runSteps()
{
    QPointer<FirmWareDialog> self(this);
    const bool outer = !runningSteps;
    runningSteps = true;
    for (std::vector<Step> steps = session->takeSteps(); !steps.empty(); steps = session->takeSteps()) {
        for (const Step &step : steps) {
            bool transferStopped = false;
            switch (step.kind) {
            case Step::Kind::Send:
                sendBuffer = step.bytes;
                if (TcpSend() != 0 && self)
                    transferStopped = session->writeFailed();
                break;
            case Step::Kind::Wait:
                waitTimer.start(step.value);
                break;
            case Step::Kind::Progress:
                setProgress(step.value);
                break;
            case Step::Kind::Log:
                log(step.text);
                break;
            case Step::Kind::InfoBox:
                showBox(QMessageBox::Information, QString(), step.text);
                break;
            case Step::Kind::Controls:
                if (step.controls == ControlChange::FileReceived)
                    ui->RestartPushButton->setEnabled(true);
                else
                    setControlsEnabled(
                        { ui->NetWorkPushButton, ui->OpenfileButton, ui->FileTypeComboBox, ui->VisionComboBox,
                            ui->listWidget, ui->RestartPushButton, ui->encryptionButton },
                        false);
                break;
            case Step::Kind::Verdict:
                qDebug() << "file" << step.file << "verdict" << int(step.verdict) << step.text << "re-sends"
                         << step.resends;
                break;
            case Step::Kind::QueueEnd:
                qDebug() << "queue ended" << int(step.outcome) << step.text;
                releaseUnusedMemory();
                break;
            case Step::Kind::Deadline: {
                QTimer &timer = step.deadline == Deadline::Silence ? silenceTimer : phaseTimer;
                if (step.value > 0)
                    timer.start(step.value);
                else
                    timer.stop();
                break;
            }
            }
            // A box may have run an event loop in which the dialog went away.
            if (!self)
                return;
            // A failed write that stopped the transfer voids the rest of this batch.
            if (transferStopped)
                break;
        }
    }
    if (outer)
        runningSteps = false;
    // A data phase that ended early (failed write, closed connection) leaves no wait behind.
    if (!session->sendingPieces())
        waitTimer.stop();
    if (!session->replyDue()) {
        silenceTimer.stop();
        phaseTimer.stop();
    }
}

// --- Helpers ---------------------------------------------------------------

void FirmWareDialog::rebuildQueueFromList()
{
    fileList.clear();
    for (int i = 0; i < ui->listWidget->count(); ++i)
        fileList << ui->listWidget->item(i)->text();
    fileCount = fileList.size();
    syncQueue();
}

// The session sends what the queue holds; the list decides whether a load is
// refused with "open file first!!".
void FirmWareDialog::syncQueue()
{
    session->setQueue(fileList, quint8(fileType & 0xFF));
    session->setFilesListed(ui->listWidget->count() > 0);
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
