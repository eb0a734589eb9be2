#include "core/downloadsession.h"

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

    QString text(const char *source)
    {
        return QCoreApplication::translate("FirmWareDialog", source);
    }

    QString baseName(const QString &path)
    {
        return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    }

} // namespace

std::optional<TransferImage> readTransferImageFile(const QString &path, ImageError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "cannot open" << path << file.errorString();
        if (error)
            *error = ImageError::ReadFailed;
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

// --- Operator requests -------------------------------------------------------

bool DownloadSession::refuseWhileSending()
{
    if (!sendingPieces())
        return false;
    log(text("Pieces are being sent, please wait!!"));
    return true;
}

void DownloadSession::load()
{
    if (refuseWhileSending())
        return;
    if (!listed) {
        infoBox(text("open file first!!"));
        return;
    }
    runAccepted = 0;
    runSkipped = 0;
    progress(0);
    if (loadNextFile() == Load::Loaded) {
        log(text("THE FILE LOAD RIGHT,WORK BEGIN!"));
        announce();
        return;
    }
    // When every file was refused nothing went to the camera, and nothing is
    // reported as loaded.
    log(queueDoneLine());
    if (runSkipped == 0)
        log(text("ALL FILE IS LOAD SUCCESS!"));
    endTransfer(QueueOutcome::NothingSent, QString(), true);
}

void DownloadSession::restart()
{
    if (refuseWhileSending())
        return;
    send(buildRestartFrame());
    log(text("相机重启!!!"));
    heldReplies.clear();
    endTransfer(QueueOutcome::Failed, text("the camera was restarted"));
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
        if (sendingPieces()) {
            switch (reply->status) {
            case StatusSendData:
                log(text("status 4 ignored: the pieces are being sent"));
                continue;
            case StatusReceived:
            case StatusSendStart:
            case StatusFailed:
                qDebug() << "reply held until the pieces are sent, status" << reply->status;
                heldReplies.push_back(*reply);
                continue;
            default:
                break;
            }
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

bool DownloadSession::writeFailed()
{
    qDebug() << "write failed";
    if (!active && !sendingPieces())
        return false;
    stopTransfer(text("Network write failed, the transfer is stopped!!!"), text("a write failed"));
    return true;
}

void DownloadSession::connectionClosed()
{
    if (active || sendingPieces())
        stopTransfer(
            text("Network connection closed, the transfer is stopped!!!"), text("the connection closed"));
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

void DownloadSession::handleReply(const Reply &reply)
{
    // The reply is about the file being transferred when it arrived.
    const QString keptName = name;
    const QString keptPath = files.value(index);
    const int keptIndex = index;

    switch (reply.status) {
    case StatusReceived: {
        if (active) {
            ++sentCount;
            ++runAccepted;
            verdict(keptPath, FileVerdict::Sent);
        }
        ++index;
        const Load r = loadNextFile();
        if (r == Load::Exhausted)
            log(queueDoneLine());
        progress(100);
        controls(ControlChange::FileReceived);
        log(keptName + text(" download complete!!!"));
        if (r == Load::Loaded) {
            announce();
        } else if (r == Load::NotListed) {
            log(text("文件打开失败!!!"));
            endTransfer(QueueOutcome::Failed, text("no file listed"));
        } else {
            log(text("所有文件传输完成!!!"));
            index = 0;
            endTransfer(QueueOutcome::AllSent);
        }
        break;
    }
    case StatusSendStart:
        send(buildStartFrame(quint8(nextPiece)));
        break;
    case StatusFailed: {
        const Load r = loadNextFile(true);
        if (r == Load::Loaded) {
            const bool sameFile = index == keptIndex;
            if (retries >= MaxResends) {
                if (active && sameFile)
                    verdict(keptPath, FileVerdict::Rejected,
                        text("rejected again after %1 re-sends").arg(MaxResends));
                endTransfer(QueueOutcome::GaveUp);
                break;
            }
            ++retries;
            if (sameFile)
                ++resendsPerFile[keptPath];
            progress(0);
            log(text("defeated once again!!!"));
            log(keptName + text(" download defaulted!!!"));
            if (sameFile)
                log(text("重新传输当前文件!!!"));
            else
                log(text("%1 cannot be read again, sending the next file: %2").arg(keptName, name));
            announce();
        } else if (r == Load::NotListed) {
            log(text("文件打开失败!!!"));
            endTransfer(QueueOutcome::Failed, text("no file listed"));
        } else {
            log(queueDoneLine());
            log(text("文件完成!!!"));
            controls(ControlChange::QueueExhausted);
            endTransfer(QueueOutcome::Failed, text("the rejected file cannot be read again"));
        }
        break;
    }
    case StatusSendData:
        if (pieceCount() > 0)
            progress(nextPiece * 100 / pieceCount());
        startPieces();
        break;
    case StatusProgress:
        if (reply.progress > 100)
            qDebug() << "progress reply out of range ignored:" << reply.progress;
        else if (reply.progress != 0)
            progress(reply.progress);
        break;
    default:
        break;
    }
}

DownloadSession::Load DownloadSession::loadNextFile(bool reloadingRejected)
{
    if (!listed) {
        infoBox(text("open file first!!"));
        return Load::NotListed;
    }
    clearPieceBlock();
    return loadFile(reloadingRejected) ? Load::Loaded : Load::Exhausted;
}

// Loads the queue entry at index. A file that cannot be sent (unreadable,
// empty, too large, a name the header frame cannot carry) is refused with a
// log line before anything about it is sent, and the next entry is tried.
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

        QString refusal;
        const QByteArray nameBytes = headerName(name);
        if (nameBytes.isEmpty() || nameBytes.size() > MaxNameBytes) {
            refusal
                = text("file name empty or longer than %1 bytes, skipped: %2").arg(MaxNameBytes).arg(path);
        } else {
            ImageError error = ImageError::ReadFailed;
            auto image = imageSource(path, &error);
            if (image) {
                pieces = std::move(image->pieces);
                nextPiece = 0;
                size = image->imageSize;
                return true;
            }
            switch (error) {
            case ImageError::Empty:
                qDebug() << "boot buffer error!";
                infoBox(text("boot buffer error!"));
                refusal = text("boot buffer error! empty file skipped: %1").arg(path);
                break;
            case ImageError::TooLarge:
                refusal = text("file larger than %1 bytes, skipped: %2").arg(MaxFileSize).arg(path);
                break;
            default:
                qDebug() << "open boot file error";
                refusal = text("open boot file error! skipped: %1").arg(path);
                break;
            }
        }
        log(refusal);
        ++runSkipped;
        if (reloadingRejected && index == first) {
            verdict(path, FileVerdict::Rejected, refusal);
        } else {
            ++skippedCount;
            verdict(path, FileVerdict::Skipped, refusal);
        }
    }
    return false;
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
    active = true;
}

void DownloadSession::startPieces()
{
    // The pieces are sent from the driver's clock: replies and requests keep
    // arriving between them.
    piecePhase = PiecePhase::Pieces;
    wait(FirstPieceWaitMs);
}

void DownloadSession::finishPieces()
{
    send(buildEndFrame());
    piecePhase = PiecePhase::None;
    // Replies held back during the data phase are acted on now, in order.
    while (!heldReplies.empty() && !sendingPieces()) {
        const Reply reply = heldReplies.front();
        heldReplies.erase(heldReplies.begin());
        handleReply(reply);
    }
}

void DownloadSession::endTransfer(QueueOutcome outcome, const QString &why, bool always)
{
    piecePhase = PiecePhase::None;
    waitPending = false;
    // Pieces not sent by now belong to no announced file any more (after a
    // restart, a stopped transfer, or a give-up that loaded another file): a
    // later status 4 gets the end frame alone.
    clearPieceBlock();
    if (!active && !always)
        return;
    active = false;
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
    if (active && index < files.size())
        verdict(files.at(index), FileVerdict::Rejected, why);
    endTransfer(QueueOutcome::Failed, why, true);
}

// The line that ends the queue: the success text only when a file was
// accepted, or when no file was refused (the queue had nothing left).
QString DownloadSession::queueDoneLine() const
{
    if (runAccepted == 0 && runSkipped > 0)
        return text("No file was sent: every queued file was skipped!!!");
    return text("全部文件已经下载完成!");
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
