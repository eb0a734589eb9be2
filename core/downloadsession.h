// The firmware download as a state machine without I/O: one session per
// camera connection. It is fed the operator's requests, the camera's reply
// bytes, the end of each wait and the connection's fate, and answers with an
// ordered list of steps: bytes to send, how long to wait before resume(),
// progress, log lines, information boxes, per-file verdicts and the end of
// the queue. The driver (the download dialog, the command-line tool, a test)
// owns the socket and the clock and carries the steps out in order.
//
// Each download runs as the camera's status replies call for it: header frame
// for the file at fileIndex(), start frame on status 2, on status 4 the raw
// 4 MiB pieces of the transfer image (2 ms before the first, 100 ms after
// each) and 1000 ms later the end frame, then status 1 (the next file is
// announced) or status 3 (the same file is announced again, at most six times
// in the session's life). Replies that would change the transfer while the
// pieces are being sent are held back and acted on after the end frame. When
// the queue's run ends, pieces not yet sent are dropped.
//
// Texts pass through the translation context "FirmWareDialog". Qt Core only;
// no globals: any number of sessions may run side by side in one thread.
#ifndef TAVIX_CORE_DOWNLOADSESSION_H
#define TAVIX_CORE_DOWNLOADSESSION_H

#include "core/transfer.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace firmware {

// What became of one queued file.
enum class FileVerdict {
    Sent, // the camera accepted it (status 1)
    Rejected, // not accepted: rejected once more after six re-sends, unreadable when due
              // again, or its transfer stopped on a failed write or a closed connection
    Skipped, // never announced: unreadable, empty, too large or a name the header cannot carry
};

// How a run of the queue ended.
enum class QueueOutcome {
    AllSent, // the camera accepted the last file that could be sent
    NothingSent, // the load found no file it could send (empty queue, or every file skipped)
    GaveUp, // the camera rejected a file once more after six re-sends
    Failed, // a write failed, the connection closed, the camera was restarted, or the
            // rejected file could not be read again and nothing followed it
};

// Controls whose enabled state a reply changes (the dialog's enabling rules).
enum class ControlChange {
    FileReceived, // status 1: the restart button is enabled
    QueueExhausted, // status 3 with nothing left to send: everything but the load button is disabled
};

struct Step {
    enum class Kind {
        Send, // bytes: write them to the connection; on failure call writeFailed()
        Wait, // value: milliseconds to wait before calling resume()
        Progress, // value: 0..100
        Log, // text: a line for the log
        InfoBox, // text: an information box (no title, OK button)
        Controls, // controls: an enabling rule applies
        Verdict, // file, verdict, resends, text (why, for Rejected and Skipped)
        QueueEnd, // outcome, text (why, for Failed)
    };
    Kind kind = Kind::Log;
    QByteArray bytes;
    int value = 0;
    QString text;
    QString file;
    FileVerdict verdict = FileVerdict::Sent;
    int resends = 0;
    QueueOutcome outcome = QueueOutcome::AllSent;
    ControlChange controls = ControlChange::FileReceived;
};

// Where a session gets the transfer image of a queued file when it is due:
// the image, or nothing with `error` set (ReadFailed also for a file that
// cannot be opened). The file name has been checked already.
using ImageSource = std::function<std::optional<TransferImage>(const QString &path, ImageError *error)>;

// The default source: opens the file and reads it as it is now.
std::optional<TransferImage> readTransferImageFile(const QString &path, ImageError *error);

class DownloadSession {
public:
    // Automatic re-sends over the session's life.
    static constexpr int MaxResends = 6;

    DownloadSession() = default;
    DownloadSession(const DownloadSession &) = delete;
    DownloadSession &operator=(const DownloadSession &) = delete;

    // --- The queue ---------------------------------------------------------

    // The files to send, in order, all with one type code (only its low byte
    // is sent). Leaves fileIndex() and fileName() alone. Files are read when
    // they are announced, not here.
    void setQueue(const QStringList &paths, quint8 typeCode);
    // Whether the operator has any file listed at all; false refuses every
    // load with the box "open file first!!". setQueue() sets it to whether
    // the queue has entries.
    void setFilesListed(bool listed);
    // Back to the first queue entry: fileIndex() 0, fileName() its base name.
    void rewind();
    // The queue entry the next load starts at.
    void setFileIndex(int index);
    // Replaces the file reading (default: readTransferImageFile). A driver
    // that sends the same files to several cameras can hand every session the
    // same image: its pieces are shared, not copied.
    void setImageSource(ImageSource source);

    // --- Operator requests ------------------------------------------------

    // True, with the log line saying so, while the pieces are being sent:
    // loading, restarting or reconnecting must wait for the end frame.
    bool refuseWhileSending();
    // The download button: progress 0, then the file at fileIndex() (or the
    // next one that can be read) is loaded and announced.
    void load();
    // The restart frame, then "相机重启!!!". A transfer in progress ends
    // (Failed); the driver reconnects once the camera is back and calls
    // connectionReset() before.
    void restart();

    // --- The connection and the clock -------------------------------------

    // Bytes from the camera, split or joined in any way.
    void receive(const QByteArray &bytes);
    // The last Wait step has elapsed. Ignored when no wait is pending.
    void resume();
    // A Send step could not be written. A transfer in progress ends with a log
    // line, and true says so: the steps after that Send in the same batch are
    // then void. Outside a transfer the frame is just lost (false).
    bool writeFailed();
    // The connection closed. A transfer in progress ends with a log line.
    void connectionClosed();
    // A new connection replaces the old one: a half-received reply and the
    // replies held back are dropped.
    void connectionReset();

    // The steps produced so far, oldest first; the session forgets them.
    std::vector<Step> takeSteps();

    // --- State --------------------------------------------------------------

    // The pieces and the end frame are being sent (a Wait is pending).
    bool sendingPieces() const { return piecePhase != PiecePhase::None; }
    // A file has been announced and its queue has not ended yet.
    bool transferActive() const { return active; }
    int fileIndex() const { return index; }
    int fileCount() const { return files.size(); }
    QString fileName() const { return name; }
    const QStringList &queue() const { return files; }
    quint8 typeCode() const { return type; }
    int pieceCount() const { return int(pieces.size()); }
    int pieceIndex() const { return nextPiece; }
    qint64 imageSize() const { return size; }
    // Automatic re-sends made so far (at most MaxResends).
    int retryCount() const { return retries; }
    // Re-sends of one queued file.
    int resendsOf(const QString &path) const { return resendsPerFile.value(path); }
    // Files the camera accepted, and files skipped, over the session's life.
    int filesSent() const { return sentCount; }
    int filesSkipped() const { return skippedCount; }
    // Bytes handed to the driver in Send steps: frames and pieces.
    qint64 bytesSent() const { return sentBytes; }
    // Reply bytes waiting for the rest of their frame.
    qint64 bufferedReplyBytes() const { return replies.buffered(); }

private:
    enum class PiecePhase { None, Pieces, EndFrame };
    enum class Load { NotListed, Exhausted, Loaded };

    void handleReply(const Reply &reply);
    Load loadNextFile(bool reloadingRejected = false);
    bool loadFile(bool reloadingRejected);
    void clearPieceBlock();
    void announce();
    void startPieces();
    void finishPieces();
    // Ends the run with outcome when a transfer is active (or always).
    void endTransfer(QueueOutcome outcome, const QString &why = QString(), bool always = false);
    void stopTransfer(const QString &line, const QString &why);
    QString queueDoneLine() const;

    void send(const QByteArray &bytes);
    void wait(int ms);
    void progress(int value);
    void log(const QString &line);
    void infoBox(const QString &text);
    void controls(ControlChange change);
    void verdict(const QString &path, FileVerdict verdict, const QString &why = QString());

    std::deque<Step> steps;
    ImageSource imageSource = readTransferImageFile;

    QStringList files;
    quint8 type = 0;
    bool listed = false;
    int index = 0;
    QString name;

    std::vector<QByteArray> pieces;
    int nextPiece = 0;
    qint64 size = 0;

    FrameStream replies;
    std::vector<Reply> heldReplies;
    PiecePhase piecePhase = PiecePhase::None;
    bool waitPending = false;
    bool active = false;

    int retries = 0;
    QHash<QString, int> resendsPerFile;
    int sentCount = 0;
    int skippedCount = 0;
    // Since the last load: files accepted, and files skipped or dropped as unreadable.
    int runAccepted = 0;
    int runSkipped = 0;
    qint64 sentBytes = 0;
};

} // namespace firmware

#endif
