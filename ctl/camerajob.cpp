#include "ctl/camerajob.h"

#include <QDebug>
#include <QFileInfo>
#include <QTcpSocket>

namespace ctl {

namespace {

    constexpr int kCloseGraceMs = 1000;

    QString verdictText(const firmware::Step &step)
    {
        switch (step.verdict) {
        case firmware::FileVerdict::Sent:
            return QStringLiteral("sent");
        case firmware::FileVerdict::Rejected:
            return QStringLiteral("not sent: ") + step.text;
        case firmware::FileVerdict::Skipped:
            return QStringLiteral("skipped: ") + step.text;
        }
        return QString();
    }

} // namespace

CameraJob::CameraJob(const Target &target, const Options &jobOptions)
    : camera(target)
    , options(jobOptions)
    , socket(std::make_unique<QTcpSocket>())
{
    waitTimer.setSingleShot(true);
    waitTimer.setTimerType(Qt::PreciseTimer);
    watchdog.setSingleShot(true);
    graceTimer.setSingleShot(true);
    connect(&waitTimer, &QTimer::timeout, this, [this] {
        session.resume();
        pump();
    });
    connect(&watchdog, &QTimer::timeout, this, &CameraJob::connectTimedOut);
    for (QTimer *timer : { &silenceTimer, &phaseTimer }) {
        timer->setSingleShot(true);
        const firmware::Deadline which
            = timer == &silenceTimer ? firmware::Deadline::Silence : firmware::Deadline::Phase;
        connect(timer, &QTimer::timeout, this, [this, which] {
            session.deadlinePassed(which);
            pump();
        });
    }
    connect(&graceTimer, &QTimer::timeout, this, [this] { socket->abort(); });
    connect(socket.get(), &QTcpSocket::connected, this, &CameraJob::connected);
    connect(socket.get(), &QTcpSocket::errorOccurred, this, &CameraJob::socketError);
    connect(socket.get(), &QTcpSocket::readyRead, this, &CameraJob::readReplies);
    // Pieces still leaving the socket are no silence of the camera. The
    // signal may come from inside a write: the running pump takes the steps.
    connect(socket.get(), &QTcpSocket::bytesWritten, this, [this] {
        session.bytesWritten();
        if (!pumping)
            pump();
    });
    session.setQueue(options.files, options.typeCode);
    session.setImageSource(options.imageSource);
    session.setSilenceLimit(options.timeoutMs);
    session.setPhaseLimit(options.phaseLimitMs);
}

CameraJob::~CameraJob()
{
    socket->disconnect(this);
    socket->abort();
}

void CameraJob::start()
{
    setState(QStringLiteral("connecting"));
    watchdog.start(options.timeoutMs);
    socket->connectToHost(camera.ip, options.port);
}

void CameraJob::connected()
{
    connectedOnce = true;
    setState(QStringLiteral("sending"));
    fileClock.start();
    watchdog.stop();
    session.connectionReset();
    session.load();
    pump();
}

void CameraJob::socketError()
{
    if (done)
        return;
    qDebug().noquote() << camera.ip << "connection:" << socket->errorString();
    if (!connectedOnce) {
        finish(QStringLiteral("not sent: cannot connect to %1:%2: %3")
                   .arg(camera.ip)
                   .arg(options.port)
                   .arg(socket->errorString()));
        return;
    }
    session.connectionClosed();
    pump();
    if (!done)
        finish(QStringLiteral("not sent: connection lost: ") + socket->errorString());
}

void CameraJob::readReplies()
{
    session.receive(socket->readAll());
    pump();
}

void CameraJob::connectTimedOut()
{
    if (done || connectedOnce)
        return;
    finish(QStringLiteral("not sent: cannot connect to %1:%2 within %3 ms")
               .arg(camera.ip)
               .arg(options.port)
               .arg(options.timeoutMs));
}

void CameraJob::pump()
{
    const bool outer = !pumping;
    pumping = true;
    for (;;) {
        const std::vector<firmware::Step> steps = session.takeSteps();
        if (steps.empty() || done)
            break;
        bool batchVoid = false;
        for (const firmware::Step &step : steps) {
            if (batchVoid || done)
                break;
            switch (step.kind) {
            case firmware::Step::Kind::Send:
                if (socket->write(step.bytes) != step.bytes.size()) {
                    session.writeFailed(); // the rest of this batch is void
                    batchVoid = true;
                    break;
                }
                socket->flush();
                afterVerdict = false;
                break;
            case firmware::Step::Kind::Wait:
                waitTimer.start(step.value);
                break;
            case firmware::Step::Kind::Deadline: {
                QTimer &timer = step.deadline == firmware::Deadline::Silence ? silenceTimer : phaseTimer;
                if (step.value > 0)
                    timer.start(step.value);
                else
                    timer.stop();
                break;
            }
            case firmware::Step::Kind::Progress:
                // The 100 that follows a file's verdict belongs to that file,
                // not to the one announced next.
                if (step.value == 100 && afterVerdict)
                    break;
                percent = step.value;
                emit changed();
                break;
            case firmware::Step::Kind::Log:
            case firmware::Step::Kind::InfoBox:
                qDebug().noquote() << camera.ip << step.text;
                break;
            case firmware::Step::Kind::Controls:
                break;
            case firmware::Step::Kind::Verdict: {
                const Row row { step.file, verdictText(step), step.resends, fileClock.restart(),
                    step.verdict == firmware::FileVerdict::Sent };
                finishedRows.append(row);
                emit fileDone(QStringLiteral("%1: %2: %3")
                                  .arg(camera.ip, QFileInfo(step.file).fileName(), row.outcome));
                percent = 0;
                afterVerdict = true;
                emit changed();
                break;
            }
            case firmware::Step::Kind::QueueEnd:
                // The file in progress and the ones after it share this reason.
                finish(step.text.isEmpty() ? QStringLiteral("not sent")
                                           : QStringLiteral("not sent: ") + step.text);
                break;
            }
        }
    }
    if (outer)
        pumping = false;
}

void CameraJob::interrupt()
{
    if (done)
        return;
    interrupted = true;
    finish(QStringLiteral("interrupted"));
}

void CameraJob::finish(const QString &whyOthers)
{
    if (done)
        return;
    done = true;
    waitTimer.stop();
    watchdog.stop();
    silenceTimer.stop();
    phaseTimer.stop();
    // Files without a verdict of their own share the reason the run ended.
    for (const QString &file : options.files) {
        bool hasRow = false;
        for (const Row &row : finishedRows)
            hasRow = hasRow || row.file == file;
        if (!hasRow)
            finishedRows.append({ file, whyOthers, session.resendsOf(file), -1, false });
    }
    setState(succeeded() ? QStringLiteral("done") : QStringLiteral("failed"));
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        // Close cleanly; what is still queued for a camera that went silent
        // or an interrupted download is dropped after a short grace.
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            graceTimer.start(kCloseGraceMs);
    }
    emit finished();
}

bool CameraJob::succeeded() const
{
    if (!done || finishedRows.size() < options.files.size())
        return false;
    for (const Row &row : finishedRows) {
        if (!row.ok)
            return false;
    }
    return true;
}

QVector<CameraJob::Row> CameraJob::rows() const
{
    return finishedRows;
}

int CameraJob::fileNumber() const
{
    return qMin(session.fileIndex() + 1, fileCount());
}

QString CameraJob::currentFile() const
{
    return QFileInfo(options.files.value(session.fileIndex())).fileName();
}

void CameraJob::setState(const QString &text)
{
    stateText = text;
    emit changed();
}

} // namespace ctl
