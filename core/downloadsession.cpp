#include "core/downloadsession.h"

#include "core/regularfile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace firmware {

namespace {

    // Pacing of the data phase: before the first piece, after each piece, and
    // before the end frame.
    constexpr int FirstPieceWaitMs = 2;
    constexpr int PieceWaitMs = 100;
    constexpr int EndFrameWaitMs = 1000;

    // The texts are the firmware dialog's: each source is marked where it is
    // written (QT_TRANSLATE_NOOP), so that lupdate finds it.
    QString text(const char *source)
    {
        return QCoreApplication::translate("FirmWareDialog", source);
    }

    QString baseName(const QString &path)
    {
        return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }

    // Seconds for the log lines: "10", "0.3".
    QString secondsText(int ms)
    {
        return QString::number(double(ms) / 1000.0);
    }

    // What a path names instead of a regular file, for the dialog's log line.
    QString kindWord(regularfile::Kind kind)
    {
        switch (kind) {
        case regularfile::Kind::Directory:
            return text(QT_TRANSLATE_NOOP("FirmWareDialog", "目录"));
        case regularfile::Kind::Fifo:
            return text(QT_TRANSLATE_NOOP("FirmWareDialog", "命名管道 (FIFO)"));
        case regularfile::Kind::Device:
            return text(QT_TRANSLATE_NOOP("FirmWareDialog", "设备文件"));
        case regularfile::Kind::Socket:
            return text(QT_TRANSLATE_NOOP("FirmWareDialog", "套接字"));
        default:
            return text(QT_TRANSLATE_NOOP("FirmWareDialog", "特殊文件"));
        }
    }

} // namespace

std::optional<TransferImage> readTransferImageFile(const QString &path, ImageError *error)
{
    QFile file;
    regularfile::Kind kind = regularfile::Kind::Missing;
    if (!regularfile::openForReading(file, path, QIODevice::ReadOnly, &kind)) {
        const bool named = kind != regularfile::Kind::Regular && kind != regularfile::Kind::Missing;
        qDebug() << "cannot open" << path << (named ? regularfile::kindText(kind) : file.errorString());
        if (error)
            *error = named ? ImageError::NotRegular : ImageError::ReadFailed;
        return std::nullopt;
    }
    return readTransferImage(file, file.size(), error);
}

// --- The queue ---------------------------------------------------------------

void DownloadSession::setQueue(const QStringList &paths, quint8 typeCode)
{
    files = paths;
    type = typeCode;
    listed = !paths.isEmpty();
}

void DownloadSession::setFilesListed(bool filesListed)
{
    listed = filesListed;
}

void DownloadSession::rewind()
{
    index = 0;
    name = baseName(files.value(0));
}

void DownloadSession::setFileIndex(int fileIndex)
{
    index = fileIndex;
}

void DownloadSession::setImageSource(ImageSource source)
{
    imageSource = source ? std::move(source) : ImageSource(readTransferImageFile);
}

void DownloadSession::setSilenceLimit(int ms)
{
    silenceMs = std::max(ms, 1);
}

void DownloadSession::setPhaseLimit(int ms)
{
    phaseMs = std::max(ms, 1);
}

// --- Operator requests -------------------------------------------------------

bool DownloadSession::refuseWhileSending()
{
    if (!sendingPieces())
        return false;
    log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "Pieces are being sent, please wait!!")));
    return true;
}

void DownloadSession::load()
{
    if (refuseWhileSending())
        return;
    if (!listed) {
        infoBox(text(QT_TRANSLATE_NOOP("FirmWareDialog", "open file first!!")));
        return;
    }
    runAccepted = 0;
    runSkipped = 0;
    runSkippedNames.clear();
    progress(0);
    if (loadNextFile() == Load::Loaded) {
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "THE FILE LOAD RIGHT,WORK BEGIN!")));
        announce();
        return;
    }
    // When every file was refused nothing went to the camera, and nothing is
    // reported as loaded.
    logRunEnd();
    if (runSkipped == 0)
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "ALL FILE IS LOAD SUCCESS!")));
    endTransfer(QueueOutcome::NothingSent, QString(), true);
}

void DownloadSession::restart()
{
    if (refuseWhileSending())
        return;
    send(buildRestartFrame());
    log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "相机重启!!!")));
    heldReplies.clear();
    endTransfer(QueueOutcome::Failed, text(QT_TRANSLATE_NOOP("FirmWareDialog", "the camera was restarted")));
}

// --- The connection and the clock --------------------------------------------

void DownloadSession::receive(const QByteArray &bytes)
{
    replies.append(bytes);
    while (auto frame = replies.takeFrame()) {
        const auto reply = parseReply(*frame);
        if (!reply) {
            qDebug() << "reply dropped:" << frame->toHex(' ');
            continue;
        }
        handleReply(*reply);
    }
    if (const qint64 skipped = replies.takeSkipped())
        qDebug() << "reply bytes skipped:" << skipped;
}

void DownloadSession::resume()
{
    if (!waitPending)
        return;
    waitPending = false;
    switch (piecePhase) {
    case PiecePhase::Pieces:
        if (nextPiece < pieceCount()) {
            send(pieces[size_t(nextPiece)]);
            progress(nextPiece * 100 / pieceCount());
            ++nextPiece;
            wait(PieceWaitMs);
        } else {
            piecePhase = PiecePhase::EndFrame;
            wait(EndFrameWaitMs);
        }
        break;
    case PiecePhase::EndFrame:
        finishPieces();
        break;
    case PiecePhase::None:
        break;
    }
}

void DownloadSession::deadlinePassed(Deadline which)
{
    bool &due = which == Deadline::Silence ? silenceDue : phaseDue;
    if (!due || !replyDue())
        return;
    due = false;
    QString line;
    QString why;
    if (which == Deadline::Silence) {
        line = text(QT_TRANSLATE_NOOP("FirmWareDialog", "%1: 相机 %2 秒内没有应答, 传输已停止!!!"))
                   .arg(announcedName, secondsText(silenceMs));
        why = QStringLiteral("no reply from the camera within %1 ms").arg(silenceMs);
    } else {
        line = text(QT_TRANSLATE_NOOP("FirmWareDialog", "%1: 相机 %2 秒内只报告了进度, 传输已停止!!!"))
                   .arg(announcedName, secondsText(phaseLimit()));
        const char *awaited = currentPhase == Phase::Announced ? "start request"
            : currentPhase == Phase::Started                   ? "data request"
                                                               : "verdict";
        why = QStringLiteral("no %1 from the camera within %2 s, only progress")
                  .arg(QLatin1String(awaited), secondsText(phaseLimit()));
    }
    // Replies that came but did not fit are the likeliest clue.
    QStringList ignored;
    for (int status = 0; status < int(ignoredStatuses.size()); ++status) {
        if (ignoredStatuses.test(size_t(status)) && status != StatusProgress)
            ignored << QString::number(status);
    }
    if (!ignored.isEmpty())
        why += QStringLiteral(" (status %1 ignored: out of phase)").arg(ignored.join(QStringLiteral(", ")));
    stopTransfer(line, why);
}

void DownloadSession::bytesWritten()
{
    if (silenceDue)
        setDeadline(Deadline::Silence, silenceMs);
    if (phaseDue)
        setDeadline(Deadline::Phase, phaseLimit());
}

bool DownloadSession::writeFailed()
{
    qDebug() << "write failed";
    if (!transferActive())
        return false;
    // The driver voids the rest of the batch, Deadline steps included: both
    // waits are cancelled, whatever it carried out last.
    silenceDue = true;
    phaseDue = true;
    stopTransfer(
        text(QT_TRANSLATE_NOOP("FirmWareDialog", "Network write failed, the transfer is stopped!!!")),
        text(QT_TRANSLATE_NOOP("FirmWareDialog", "a write failed")));
    return true;
}

void DownloadSession::connectionClosed()
{
    if (transferActive())
        stopTransfer(text(QT_TRANSLATE_NOOP(
                         "FirmWareDialog", "Network connection closed, the transfer is stopped!!!")),
            text(QT_TRANSLATE_NOOP("FirmWareDialog", "the connection closed")));
}

void DownloadSession::connectionReset()
{
    replies.clear();
    heldReplies.clear();
}

std::vector<Step> DownloadSession::takeSteps()
{
    std::vector<Step> taken(std::make_move_iterator(steps.begin()), std::make_move_iterator(steps.end()));
    steps.clear();
    return taken;
}

// --- The transfer ------------------------------------------------------------

bool DownloadSession::replyDue() const
{
    return currentPhase == Phase::Announced || currentPhase == Phase::Started
        || currentPhase == Phase::Finishing;
}

// Each status counts only in the phase that asks for it.
void DownloadSession::handleReply(const Reply &reply)
{
    switch (reply.status) {
    case StatusReceived:
    case StatusFailed:
        if (currentPhase == Phase::Sending) {
            // The camera may judge the file as soon as the data is in; the
            // verdict is acted on once the end frame is out.
            qDebug() << "reply held until the pieces are sent, status" << reply.status;
            heldReplies.push_back(reply);
        } else if (currentPhase == Phase::Finishing) {
            if (reply.status == StatusReceived)
                fileAccepted();
            else
                fileRejected();
        } else {
            ignoreReply(reply);
        }
        break;
    case StatusSendStart:
        if (currentPhase != Phase::Announced) {
            ignoreReply(reply);
            break;
        }
        send(buildStartFrame(quint8(nextPiece)));
        expectReply(Phase::Started);
        break;
    case StatusSendData:
        if (currentPhase != Phase::Started) {
            ignoreReply(reply);
            break;
        }
        if (pieceCount() > 0)
            progress(nextPiece * 100 / pieceCount());
        startPieces();
        break;
    case StatusProgress:
        if (currentPhase == Phase::Idle) {
            ignoreReply(reply);
        } else if (reply.progress > 100) {
            qDebug() << "progress reply out of range ignored:" << reply.progress;
        } else {
            if (reply.progress != 0)
                progress(reply.progress);
            // A camera that reports progress is not silent, but the phase
            // limit stands.
            if (silenceDue)
                setDeadline(Deadline::Silence, silenceMs);
        }
        break;
    default:
        ignoreReply(reply);
        break;
    }
}

void DownloadSession::ignoreReply(const Reply &reply)
{
    qDebug() << "reply ignored, status" << reply.status << "phase" << int(currentPhase);
    // Once per status and phase: a camera repeating itself cannot flood the log.
    if (ignoredStatuses.test(reply.status))
        return;
    ignoredStatuses.set(reply.status);
    if (reply.status == StatusSendData && currentPhase == Phase::Sending)
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "status 4 ignored: the pieces are being sent")));
    else if (reply.status >= StatusReceived && reply.status <= StatusProgress)
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "相机状态 %1 与当前传输阶段不符, 已忽略"))
                .arg(reply.status));
    else
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "未知的相机状态 %1, 已忽略")).arg(reply.status));
}

// Status 1 after the end frame: the file is kept, the next one is announced.
void DownloadSession::fileAccepted()
{
    // The reply is about the file announced last, whatever the queue holds now.
    const QString keptName = announcedName;
    ++sentCount;
    ++runAccepted;
    verdict(announcedPath, FileVerdict::Sent);
    ++index;
    const Load r = loadNextFile();
    const bool everyFileSent = runSkipped == 0;
    if (r == Load::Exhausted && everyFileSent)
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "全部文件已经下载完成!")));
    progress(100);
    controls(ControlChange::FileReceived);
    log(keptName + text(QT_TRANSLATE_NOOP("FirmWareDialog", " download complete!!!")));
    if (r == Load::Loaded) {
        announce();
    } else if (r == Load::NotListed) {
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "文件打开失败!!!")));
        endTransfer(QueueOutcome::Failed, text(QT_TRANSLATE_NOOP("FirmWareDialog", "no file listed")));
    } else {
        log(everyFileSent ? text(QT_TRANSLATE_NOOP("FirmWareDialog", "所有文件传输完成!!!"))
                          : runSummaryLine());
        index = 0;
        endTransfer(QueueOutcome::AllSent);
    }
}

// Status 3 after the end frame: the same file again, at most MaxResends times.
void DownloadSession::fileRejected()
{
    const QString keptName = announcedName;
    const QString keptPath = announcedPath;
    const Load r = loadNextFile(true);
    if (r == Load::Loaded) {
        const bool sameFile = files.at(index) == keptPath;
        if (retries >= MaxResends) {
            if (sameFile)
                verdict(keptPath, FileVerdict::Rejected,
                    text(QT_TRANSLATE_NOOP("FirmWareDialog", "rejected again after %1 re-sends"))
                        .arg(MaxResends));
            endTransfer(QueueOutcome::GaveUp);
            return;
        }
        ++retries;
        if (sameFile)
            ++resendsPerFile[keptPath];
        progress(0);
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "defeated once again!!!")));
        log(keptName + text(QT_TRANSLATE_NOOP("FirmWareDialog", " download defaulted!!!")));
        if (sameFile)
            log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "重新传输当前文件!!!")));
        else
            log(text(
                QT_TRANSLATE_NOOP("FirmWareDialog", "%1 cannot be read again, sending the next file: %2"))
                    .arg(keptName, name));
        announce();
    } else if (r == Load::NotListed) {
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "文件打开失败!!!")));
        endTransfer(QueueOutcome::Failed, text(QT_TRANSLATE_NOOP("FirmWareDialog", "no file listed")));
    } else {
        logRunEnd();
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "文件完成!!!")));
        controls(ControlChange::QueueExhausted);
        endTransfer(QueueOutcome::Failed,
            text(QT_TRANSLATE_NOOP("FirmWareDialog", "the rejected file cannot be read again")));
    }
}

DownloadSession::Load DownloadSession::loadNextFile(bool reloadingRejected)
{
    if (!listed) {
        infoBox(text(QT_TRANSLATE_NOOP("FirmWareDialog", "open file first!!")));
        return Load::NotListed;
    }
    clearPieceBlock();
    return loadFile(reloadingRejected) ? Load::Loaded : Load::Exhausted;
}

// Loads the queue entry at index. A file that cannot be sent (a name the
// header frame cannot carry, no regular file, unreadable, empty, too large)
// is refused with a log line before anything about it is sent, and the next
// entry is tried.
bool DownloadSession::loadFile(bool reloadingRejected)
{
    const int first = index;
    for (; index < files.size(); ++index) {
        const QString path = files.at(index);
        qDebug() << "打开文件路径:" << path;
        name = baseName(path);
        qDebug() << "aa - >" << path;
        const QFileInfo info(path);
        qDebug() << "pcsfileInfo - >" << info;
        const bool again = reloadingRejected && index == first && path == announcedPath;

        if (const std::optional<NameRefusal> refusal = headerNameRefusal(name)) {
            QString line;
            QString why = nameRefusalText(*refusal);
            switch (refusal->reason) {
            case NameRefusal::Reason::Empty:
            case NameRefusal::Reason::TooLong:
                line = text(QT_TRANSLATE_NOOP(
                                "FirmWareDialog", "file name empty or longer than %1 bytes, skipped: %2"))
                           .arg(MaxNameBytes)
                           .arg(path);
                why = line;
                break;
            case NameRefusal::Reason::OutsideLatin1:
                line = text(QT_TRANSLATE_NOOP("FirmWareDialog",
                                "文件名含有无法发送的字符 %1 (只能发送 Latin-1 字符), 已跳过: %2"))
                           .arg(characterText(refusal->character), path);
                break;
            case NameRefusal::Reason::ControlCharacter:
                line
                    = text(QT_TRANSLATE_NOOP("FirmWareDialog", "文件名含有控制字符 %1, 无法发送, 已跳过: %2"))
                          .arg(characterText(refusal->character), path);
                break;
            }
            skipped(path, line, why, again);
            continue;
        }

        ImageError error = ImageError::ReadFailed;
        auto image = imageSource(path, &error);
        if (image) {
            pieces = std::move(image->pieces);
            nextPiece = 0;
            size = image->imageSize;
            return true;
        }
        switch (error) {
        case ImageError::Empty: {
            qDebug() << "boot buffer error!";
            infoBox(text(QT_TRANSLATE_NOOP("FirmWareDialog", "boot buffer error!")));
            const QString line
                = text(QT_TRANSLATE_NOOP("FirmWareDialog", "boot buffer error! empty file skipped: %1"))
                      .arg(path);
            skipped(path, line, line, again);
            break;
        }
        case ImageError::TooLarge: {
            const QString line
                = text(QT_TRANSLATE_NOOP("FirmWareDialog", "file larger than %1 bytes, skipped: %2"))
                      .arg(MaxFileSize)
                      .arg(path);
            skipped(path, line, line, again);
            break;
        }
        case ImageError::NotRegular: {
            // The open refused it, so it names something else by now.
            regularfile::Kind kind = regularfile::kindOf(path);
            if (kind == regularfile::Kind::Regular || kind == regularfile::Kind::Missing)
                kind = regularfile::Kind::Other;
            const QString what = regularfile::kindText(kind);
            skipped(path,
                text(QT_TRANSLATE_NOOP("FirmWareDialog", "不是普通文件, 而是%1, 已跳过: %2"))
                    .arg(kindWord(kind), path),
                kind == regularfile::Kind::Other ? what : what + QStringLiteral(", not a regular file"),
                again);
            break;
        }
        default: {
            qDebug() << "open boot file error";
            const QString line
                = text(QT_TRANSLATE_NOOP("FirmWareDialog", "open boot file error! skipped: %1")).arg(path);
            skipped(path, line, line, again);
            break;
        }
        }
    }
    return false;
}

// A queue entry that cannot be sent: the log line for the dialog, the verdict
// with its English reason for the tool. A rejected file that cannot be read
// again is Rejected; any other is Skipped.
void DownloadSession::skipped(
    const QString &path, const QString &line, const QString &why, bool reloadingRejected)
{
    log(line);
    ++runSkipped;
    runSkippedNames << baseName(path);
    if (reloadingRejected) {
        verdict(path, FileVerdict::Rejected, why);
    } else {
        ++skippedCount;
        verdict(path, FileVerdict::Skipped, why);
    }
}

void DownloadSession::clearPieceBlock()
{
    pieces.clear();
    nextPiece = 0;
    size = 0;
}

void DownloadSession::announce()
{
    qDebug() << "Handshake";
    const auto frame = buildHeaderFrame(type, size, headerName(name));
    if (!frame) {
        // loadFile refuses such files, so nothing loaded can get here.
        qDebug() << "no header frame for" << name << size;
        return;
    }
    send(*frame);
    announcedPath = files.value(index);
    announcedName = name;
    expectReply(Phase::Announced);
}

void DownloadSession::startPieces()
{
    // The pieces are sent from the driver's clock: replies and requests keep
    // arriving between them. The camera is asked nothing meanwhile.
    enterPhase(Phase::Sending);
    noReplyDue();
    piecePhase = PiecePhase::Pieces;
    wait(FirstPieceWaitMs);
}

void DownloadSession::finishPieces()
{
    send(buildEndFrame());
    piecePhase = PiecePhase::None;
    expectReply(Phase::Finishing);
    // Replies held back during the data phase are acted on now, in order.
    while (!heldReplies.empty() && !sendingPieces()) {
        const Reply reply = heldReplies.front();
        heldReplies.erase(heldReplies.begin());
        handleReply(reply);
    }
}

void DownloadSession::endTransfer(QueueOutcome outcome, const QString &why, bool always)
{
    const bool wasActive = transferActive();
    piecePhase = PiecePhase::None;
    waitPending = false;
    // Pieces not sent by now belong to no announced file any more (after a
    // restart, a stopped transfer, or a give-up that loaded another file).
    clearPieceBlock();
    enterPhase(Phase::Idle);
    noReplyDue();
    if (!wasActive && !always)
        return;
    Step end;
    end.kind = Step::Kind::QueueEnd;
    end.outcome = outcome;
    end.text = why;
    steps.push_back(end);
}

void DownloadSession::stopTransfer(const QString &line, const QString &why)
{
    heldReplies.clear();
    log(line);
    if (transferActive())
        verdict(announcedPath, FileVerdict::Rejected, why);
    endTransfer(QueueOutcome::Failed, why, true);
}

// The lines that end a run of the queue with nothing left to send: the
// all-done text only when every file of the run was sent; otherwise how many
// were sent and which were skipped.
void DownloadSession::logRunEnd()
{
    if (runSkipped == 0) {
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "全部文件已经下载完成!")));
        return;
    }
    if (runAccepted == 0)
        log(text(QT_TRANSLATE_NOOP("FirmWareDialog", "No file was sent: every queued file was skipped!!!")));
    log(runSummaryLine());
}

QString DownloadSession::runSummaryLine() const
{
    return text(QT_TRANSLATE_NOOP("FirmWareDialog", "已发送 %1 个文件 (共 %2 个), 跳过: %3"))
        .arg(runAccepted)
        .arg(runAccepted + runSkipped)
        .arg(runSkippedNames.join(QStringLiteral(", ")));
}

void DownloadSession::enterPhase(Phase phase)
{
    currentPhase = phase;
    ignoredStatuses.reset();
}

// A phase that waits for the camera: both waits start now.
void DownloadSession::expectReply(Phase phase)
{
    enterPhase(phase);
    setDeadline(Deadline::Silence, silenceMs);
    setDeadline(Deadline::Phase, phaseLimit());
}

void DownloadSession::setDeadline(Deadline which, int ms)
{
    (which == Deadline::Silence ? silenceDue : phaseDue) = ms > 0;
    Step step;
    step.kind = Step::Kind::Deadline;
    step.deadline = which;
    step.value = ms;
    steps.push_back(step);
}

void DownloadSession::noReplyDue()
{
    if (silenceDue)
        setDeadline(Deadline::Silence, 0);
    if (phaseDue)
        setDeadline(Deadline::Phase, 0);
}

// --- Steps -------------------------------------------------------------------

void DownloadSession::send(const QByteArray &bytes)
{
    Step step;
    step.kind = Step::Kind::Send;
    step.bytes = bytes;
    sentBytes += bytes.size();
    steps.push_back(step);
}

void DownloadSession::wait(int ms)
{
    waitPending = true;
    Step step;
    step.kind = Step::Kind::Wait;
    step.value = ms;
    steps.push_back(step);
}

void DownloadSession::progress(int value)
{
    Step step;
    step.kind = Step::Kind::Progress;
    step.value = value;
    steps.push_back(step);
}

void DownloadSession::log(const QString &line)
{
    Step step;
    step.kind = Step::Kind::Log;
    step.text = line;
    steps.push_back(step);
}

void DownloadSession::infoBox(const QString &boxText)
{
    Step step;
    step.kind = Step::Kind::InfoBox;
    step.text = boxText;
    steps.push_back(step);
}

void DownloadSession::controls(ControlChange change)
{
    Step step;
    step.kind = Step::Kind::Controls;
    step.controls = change;
    steps.push_back(step);
}

void DownloadSession::verdict(const QString &path, FileVerdict fileVerdict, const QString &why)
{
    Step step;
    step.kind = Step::Kind::Verdict;
    step.file = path;
    step.verdict = fileVerdict;
    step.resends = resendsPerFile.value(path);
    step.text = why;
    steps.push_back(step);
}

} // namespace firmware
