// The firmware download as a state machine without I/O: one session per
// camera connection. It is fed the operator's requests, the camera's reply
// bytes, the end of each wait and the connection's fate, and answers with an
// ordered list of steps: bytes to send, how long to wait before resume(),
// when the camera's answer is due, progress, log lines, information boxes,
// per-file verdicts and the end of the queue. The driver (the download
// dialog, the command-line tool, a test) owns the socket and the clock and
// carries the steps out in order.
//
// Each download runs as the camera's status replies call for it: header frame
// for the file at fileIndex(), start frame on status 2, on status 4 the raw
// 4 MiB pieces of the transfer image (2 ms before the first, 100 ms after
// each) and 1000 ms later the end frame, then status 1 (the next file is
// announced) or status 3 (the same file is announced again, at most six times
// in the session's life). When the queue's run ends, pieces not yet sent are
// dropped.
//
// A queued file is skipped, with a log line and a Skipped verdict, before
// anything about it is sent when its name cannot go into the header frame
// (headerNameRefusal()), when it is no regular file (never opened, so a FIFO
// cannot block), or when it is empty, unreadable or too large. The all-done
// lines close only a run in which every file was sent; otherwise the last
// line says how many of how many were sent and names the skipped ones.
//
// A reply counts only in the phase that asks for it (see Phase): status 2
// after the header frame, status 4 after the start frame, the verdict (1
// accepted, 3 rejected) only after the end frame, progress (5) while a file is
// under way. A verdict that arrives while the pieces are being sent is held
// back and acted on after the end frame. Every other status is logged (once
// per status and phase) and ignored.
//
// While a reply is due the camera may stay silent for at most the silence
// limit (10 s unless set); a fitting reply or a progress reply starts that
// wait again. Progress alone cannot keep a phase going: each phase that waits
// for the camera ends after at most PhaseLimitMs (300 s, 5 minutes: enough
// for a camera that writes a large image to flash while it reports progress),
// or the silence limit if that is longer. Bytes still leaving the driver's
// socket count as no silence and restart both waits (bytesWritten()). When
// either limit passes, the transfer ends with a log line and a Rejected
// verdict. The driver runs one timer per Deadline step and calls
// deadlinePassed() when it fires.
//
// Texts pass through the translation context "FirmWareDialog": log lines for
// the dialog (the newer ones Chinese), while the reasons in Verdict and
// QueueEnd steps stay English for the command-line tool. Qt Core only; no
// globals: any number of sessions may run side by side in one thread.
#ifndef TAVIX_CORE_DOWNLOADSESSION_H
#define TAVIX_CORE_DOWNLOADSESSION_H

#include "core/transfer.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <bitset>
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
    Skipped, // never announced: not a regular file, unreadable, empty, too large, or a name
             // the header frame cannot carry
};

// How a run of the queue ended.
enum class QueueOutcome {
    AllSent, // the camera accepted the last file that could be sent
    NothingSent, // the load found no file it could send (empty queue, or every file skipped)
    GaveUp, // the camera rejected a file once more after six re-sends
    Failed, // a write failed, the connection closed, the camera was restarted, or the
            // rejected file could not be read again and nothing followed it
};

// Where the exchange for the current file stands.
enum class Phase {
    Idle, // nothing announced: before the first load, after the queue's end, a restart or a stop
    Announced, // the header frame went out: status 2 is due
    Started, // the start frame went out: status 4 is due
    Sending, // the pieces and then the end frame are being sent: no reply is due
    Finishing, // the end frame went out: the verdict (status 1 or 3) is due
};

// The two waits for the camera's answer while a reply is due.
enum class Deadline {
    Silence, // no fitting reply, nor progress, for the silence limit
    Phase, // the phase has lasted its limit, however much progress came
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
        Verdict, // file, verdict, resends, text (why, for Rejected and Skipped; English)
        QueueEnd, // outcome, text (why, for Failed; English)
        Deadline, // deadline, value: call deadlinePassed(deadline) after value ms,
                  // unless another Deadline step for it comes first; 0: it is no longer due
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
    firmware::Deadline deadline = firmware::Deadline::Silence;
};

// Where a session gets the transfer image of a queued file when it is due:
// the image, or nothing with `error` set (ReadFailed also for a file that
// cannot be opened, NotRegular for a path that names no regular file). The
// file name has been checked already.
using ImageSource = std::function<std::optional<TransferImage>(const QString &path, ImageError *error)>;

// The default source: opens the file, only when it is a regular file and
// without ever waiting on a FIFO (core/regularfile.h), and reads it as it is now.
std::optional<TransferImage> readTransferImageFile(const QString &path, ImageError *error);

class DownloadSession {
public:
    // Automatic re-sends over the session's life.
    static constexpr int MaxResends = 6;
    // The longest silence of the camera while a reply is due, unless set.
    static constexpr int DefaultSilenceMs = 10000;
    // The longest a phase may wait for the camera, progress or not (at least
    // the silence limit).
    static constexpr int PhaseLimitMs = 300000;

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

    // The silence limit (ms, at least 1); applies from the next Deadline step on.
    void setSilenceLimit(int ms);
    // The phase limit (ms, at least 1; PhaseLimitMs unless set). A phase
    // lasts at least as long as the silence limit whatever this says.
    void setPhaseLimit(int ms);
    int silenceLimit() const { return silenceMs; }
    // The phase limit in force: the larger of the two limits.
    int phaseLimit() const { return std::max(phaseMs, silenceMs); }

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
    // The time of the last Deadline step for `which` has passed: the
    // transfer ends (Rejected, then QueueEnd Failed). Ignored when that
    // deadline is no longer due.
    void deadlinePassed(Deadline which);
    // The connection passed more of the bytes sent on (the socket's
    // bytesWritten): the camera is receiving, so the due waits start again.
    void bytesWritten();
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
    bool transferActive() const { return currentPhase != Phase::Idle; }
    Phase phase() const { return currentPhase; }
    // Whether the camera's answer is due (Announced, Started, Finishing).
    bool replyDue() const;
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
    void fileAccepted();
    void fileRejected();
    void ignoreReply(const Reply &reply);
    Load loadNextFile(bool reloadingRejected = false);
    bool loadFile(bool reloadingRejected);
    void clearPieceBlock();
    void announce();
    void startPieces();
    void finishPieces();
    // Ends the run with outcome when a transfer is active (or always).
    void endTransfer(QueueOutcome outcome, const QString &why = QString(), bool always = false);
    void stopTransfer(const QString &line, const QString &why);
    void logRunEnd();
    QString runSummaryLine() const;
    void skipped(const QString &path, const QString &line, const QString &why, bool reloadingRejected);
    void enterPhase(Phase phase);
    void expectReply(Phase phase);
    void setDeadline(Deadline which, int ms);
    void noReplyDue();

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

    // The file the last header frame announced: verdicts are about it even
    // when the operator has changed the queue since.
    QString announcedPath;
    QString announcedName;

    std::vector<QByteArray> pieces;
    int nextPiece = 0;
    qint64 size = 0;

    FrameStream replies;
    std::vector<Reply> heldReplies;
    Phase currentPhase = Phase::Idle;
    PiecePhase piecePhase = PiecePhase::None;
    bool waitPending = false;
    // Statuses ignored in the current phase: each is logged once per phase.
    std::bitset<256> ignoredStatuses;

    int silenceMs = DefaultSilenceMs;
    int phaseMs = PhaseLimitMs;
    bool silenceDue = false;
    bool phaseDue = false;

    int retries = 0;
    QHash<QString, int> resendsPerFile;
    int sentCount = 0;
    int skippedCount = 0;
    // Since the last load: files accepted, and files skipped or dropped as
    // unreadable (with their names).
    int runAccepted = 0;
    int runSkipped = 0;
    QStringList runSkippedNames;
    qint64 sentBytes = 0;
};

} // namespace firmware

#endif
