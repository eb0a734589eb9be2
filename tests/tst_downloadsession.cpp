// The firmware download session driven directly: operator requests, camera
// replies and the ends of waits go in, the steps that come out are written as
// short lines ("> event" marks where each input starts) and compared whole.
#include "core/downloadsession.h"
#include "ctl/sharedimages.h"
#include "tests/fifoguard.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <array>

#include <sys/stat.h>

using namespace firmware;

namespace {

// Frames are named by what they are (their CRC must hold to be named at all);
// anything else sent is a raw piece.
QString describeSend(const QByteArray &bytes)
{
    const auto frame = parseFrame(bytes);
    if (frame && frame->payload.size() + FrameOverhead == bytes.size()) {
        if (frame->command == CmdHeader) {
            const auto header = parseHeaderPayload(frame->payload);
            return QStringLiteral("header %1 %2 %3")
                .arg(QString::fromLatin1(header->name))
                .arg(header->imageSize)
                .arg(header->typeCode, 0, 16);
        }
        if (frame->command == CmdData && frame->payload.size() == 2 && frame->payload[0] == char(DataStart))
            return QStringLiteral("start %1").arg(quint8(frame->payload[1]));
        if (bytes == buildEndFrame())
            return QStringLiteral("end");
        if (bytes == buildRestartFrame())
            return QStringLiteral("restart");
    }
    return QStringLiteral("piece %1").arg(bytes.size());
}

QString describe(const Step &step, const QString &dir)
{
    static const char *const verdicts[] = { "sent", "rejected", "skipped" };
    static const char *const outcomes[] = { "all-sent", "nothing-sent", "gave-up", "failed" };
    switch (step.kind) {
    case Step::Kind::Send:
        return describeSend(step.bytes);
    case Step::Kind::Wait:
        return QStringLiteral("wait %1").arg(step.value);
    case Step::Kind::Progress:
        return QStringLiteral("progress %1").arg(step.value);
    case Step::Kind::Log:
        return QStringLiteral("log ") + QString(step.text).replace(dir, QLatin1String("<dir>"));
    case Step::Kind::InfoBox:
        return QStringLiteral("box ") + step.text;
    case Step::Kind::Controls:
        return step.controls == ControlChange::FileReceived ? QStringLiteral("controls received")
                                                            : QStringLiteral("controls exhausted");
    case Step::Kind::Verdict:
        return QStringLiteral("%1 %2 %3")
            .arg(QLatin1String(verdicts[int(step.verdict)]), QFileInfo(step.file).fileName())
            .arg(step.resends);
    case Step::Kind::QueueEnd:
        return QStringLiteral("end-of-queue ") + QLatin1String(outcomes[int(step.outcome)]);
    case Step::Kind::Deadline:
        return QStringLiteral("%1 %2")
            .arg(QLatin1String(step.deadline == Deadline::Silence ? "silence" : "phase"))
            .arg(step.value > 0 ? QString::number(step.value) : QStringLiteral("off"));
    }
    return QString();
}

// Both waits set together read as one line: "due" (the default limits) or
// "not due".
QStringList joinDeadlines(const QStringList &lines)
{
    QStringList joined;
    for (const QString &line : lines) {
        if (!joined.isEmpty() && joined.last() == QLatin1String("silence 10000")
            && line == QLatin1String("phase 300000"))
            joined.last() = QStringLiteral("due");
        else if (!joined.isEmpty() && joined.last() == QLatin1String("silence off")
            && line == QLatin1String("phase off"))
            joined.last() = QStringLiteral("not due");
        else
            joined << line;
    }
    return joined;
}

QByteArray contentOf(const QString &name, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + name.size());
    return bytes;
}

QStringList concat(std::initializer_list<QStringList> parts)
{
    QStringList all;
    for (const QStringList &part : parts)
        all += part;
    return all;
}

// Steps of one file from the start frame to the end frame: one piece. The
// camera's answer is due after the start frame and after the end frame, not
// while the pieces go out.
QStringList dataPhase(int imageSize)
{
    return { "> r2", QStringLiteral("start 0"), "due", "> r4", "progress 0", "not due", "wait 2", "> resume",
        QStringLiteral("piece %1").arg(imageSize), "progress 0", "wait 100", "> resume", "wait 1000",
        "> resume", "end", "due" };
}

QStringList accepted(const QString &name, bool last)
{
    QStringList lines { "> r1", "sent " + name + " 0" };
    if (last)
        lines << QString::fromUtf8("log 全部文件已经下载完成!");
    lines << "progress 100"
          << "controls received"
          << "log " + name + " download complete!!!";
    if (last)
        lines << QString::fromUtf8("log 所有文件传输完成!!!") << "not due"
              << "end-of-queue all-sent";
    return lines;
}

QStringList started(const QString &header)
{
    return { "> load", "progress 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", header, "due" };
}

QStringList resent(const QString &name, int size)
{
    return { "> r3", "progress 0", "log defeated once again!!!", "log " + name + " download defaulted!!!",
        QString::fromUtf8("log 重新传输当前文件!!!"),
        QStringLiteral("header %1 %2 11").arg(name).arg(size + 4), "due" };
}

QString ignored(int status)
{
    return QString::fromUtf8("log 相机状态 %1 与当前传输阶段不符, 已忽略").arg(status);
}

QString silentLine(const QString &name, const QString &seconds = QStringLiteral("10"))
{
    return QString::fromUtf8("log %1: 相机 %2 秒内没有应答, 传输已停止!!!").arg(name, seconds);
}

QString progressOnlyLine(const QString &name)
{
    return QString::fromUtf8("log %1: 相机 300 秒内只报告了进度, 传输已停止!!!").arg(name);
}

// A session over files made in a temporary folder, fed one event at a time.
// files: "name=size" (size -1: no such file; "fifo", "dir": a FIFO or a
// folder by that name; a name starting with '/' is used as it is). Events:
// load, restart, resume, fail (a write failed), closed, reset (new
// connection), listed (the operator's list shows files), remove:name,
// requeue:name,name (the operator queues anew, from the first entry), silence
// and phaselimit (that deadline passed), written (the socket passed bytes on),
// limits:S/P (silence and phase limits), and replies r1..r5:n, several joined
// by '+' arriving in one read.
class Exchange {
public:
    bool make(const QStringList &files)
    {
        if (!dir.isValid())
            return false;
        QStringList paths;
        for (const QString &entry : files) {
            const QString name = entry.section(QLatin1Char('='), 0, 0);
            const QString what = entry.section(QLatin1Char('='), 1);
            const QString path = name.startsWith(QLatin1Char('/')) ? name : dir.filePath(name);
            paths << path;
            if (what == QLatin1String("fifo")) {
                if (!makeFifo(path))
                    return false;
                fifos << path;
            } else if (what == QLatin1String("dir")) {
                if (!QDir(dir.path()).mkdir(name))
                    return false;
            } else if (what.toInt() >= 0 && !name.startsWith(QLatin1Char('/'))) {
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly))
                    return false;
                file.write(contentOf(name, what.toInt()));
            }
        }
        session.setQueue(paths, 0x11);
        session.rewind();
        return true;
    }

    // The steps one event leads to, as lines.
    QStringList feed(const QString &event, bool split = false)
    {
        if (event == QLatin1String("load")) {
            session.load();
        } else if (event == QLatin1String("restart")) {
            session.restart();
        } else if (event == QLatin1String("resume")) {
            session.resume();
        } else if (event == QLatin1String("fail")) {
            session.writeFailed();
        } else if (event == QLatin1String("closed")) {
            session.connectionClosed();
        } else if (event == QLatin1String("reset")) {
            session.connectionReset();
        } else if (event == QLatin1String("listed")) {
            session.setFilesListed(true);
        } else if (event == QLatin1String("silence")) {
            session.deadlinePassed(Deadline::Silence);
        } else if (event == QLatin1String("phaselimit")) {
            session.deadlinePassed(Deadline::Phase);
        } else if (event == QLatin1String("written")) {
            session.bytesWritten();
        } else if (event.startsWith(QLatin1String("limits:"))) {
            session.setSilenceLimit(event.mid(7).section(QLatin1Char('/'), 0, 0).toInt());
            session.setPhaseLimit(event.section(QLatin1Char('/'), 1).toInt());
        } else if (event.startsWith(QLatin1String("requeue:"))) {
            QStringList paths;
            for (const QString &name : event.mid(8).split(QLatin1Char(',')))
                paths << dir.filePath(name);
            session.setQueue(paths, 0x11);
            session.rewind();
        } else if (event.startsWith(QLatin1String("remove:"))) {
            if (!QFile::remove(dir.filePath(event.mid(7))))
                return { QStringLiteral("cannot remove ") + event };
        } else {
            QByteArray bytes;
            for (const QString &reply : event.split(QLatin1Char('+'))) {
                if (!reply.startsWith(QLatin1Char('r')))
                    return { QStringLiteral("unknown event ") + event };
                bytes += buildReplyFrame(
                    quint8(reply.mid(1).section(':', 0, 0).toInt()), quint8(reply.section(':', 1).toInt()));
            }
            if (split) {
                for (char c : bytes)
                    session.receive(QByteArray(1, c));
            } else {
                session.receive(bytes);
            }
        }
        QStringList lines;
        for (const Step &step : session.takeSteps()) {
            QString line = describe(step, dir.path());
            // A verdict's reason is shown when it is not the line just logged.
            if (step.kind == Step::Kind::Verdict && !step.text.isEmpty()
                && (lines.isEmpty() || lines.last() != describe(logOf(step), dir.path())))
                line += QStringLiteral(": ") + QString(step.text).replace(dir.path(), QLatin1String("<dir>"));
            lines << line;
        }
        return joinDeadlines(lines);
    }

    QString state() const
    {
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(session.fileIndex())
            .arg(session.retryCount())
            .arg(session.filesSent())
            .arg(session.filesSkipped())
            .arg(session.bytesSent());
    }

    QTemporaryDir dir;
    DownloadSession session;
    QStringList fifos;

private:
    static Step logOf(const Step &verdict)
    {
        Step log;
        log.kind = Step::Kind::Log;
        log.text = verdict.text;
        return log;
    }
};

} // namespace

class TestDownloadSession : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void statusInEveryPhase_data();
    void statusInEveryPhase();
    void piecesCarryTheTransferImage();
};

void TestDownloadSession::exchanges_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("split"); // every reply byte by byte
    QTest::addColumn<QStringList>("expected"); // "> event" lines, each followed by its steps
    QTest::addColumn<QString>("state"); // index, retries, files sent, skipped, bytes sent

    const QStringList oneFile
        = concat({ started("header a.bin 14 11"), dataPhase(14), accepted("a.bin", true) });
    QTest::newRow("one file") << QStringList { "a.bin=10" } << false << oneFile << "0 0 1 0 54";
    QTest::newRow("one file, replies byte by byte")
        << QStringList { "a.bin=10" } << true << oneFile << "0 0 1 0 54";

    // The verdict arrives with a repeated status 4 while the pieces are being
    // sent: held back until the end frame, the repeat only logged.
    QTest::newRow("two files, verdict during the pieces")
        << QStringList { "a.bin=10", "b.bin=20" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r2", "start 0", "due", "> r4", "progress 0", "not due", "wait 2", "> resume", "piece 14",
                   "progress 0", "wait 100", "> r5:77+r4+r1", "progress 77",
                   "log status 4 ignored: the pieces are being sent", "> resume", "wait 1000", "> resume",
                   "end", "due", "sent a.bin 0", "progress 100", "controls received",
                   "log a.bin download complete!!!", "header b.bin 24 11", "due" },
               dataPhase(24), accepted("b.bin", true) })
        << "0 0 2 0 118";
    QTest::newRow("rejection during the pieces, re-sent after the end frame")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r2", "start 0", "due", "> r4", "progress 0", "not due", "wait 2", "> r3", "> resume",
                   "piece 14", "progress 0", "wait 100", "> resume", "wait 1000", "> resume", "end", "due" },
               resent("a.bin", 10).mid(1) })
        << "0 1 0 0 73";

    // Bytes still leaving the socket start the due waits again; while the
    // pieces go out nothing is due.
    QTest::newRow("two pieces, paced")
        << QStringList { "big.bin=4194304" } << false
        << concat({ started("header big.bin 4194308 11"),
               { "> r2", "start 0", "due", "> r4", "progress 0", "not due", "wait 2", "> resume",
                   "piece 4194304", "progress 0", "wait 100", "> written", "> resume", "piece 4",
                   "progress 50", "wait 100", "> resume", "wait 1000", "> resume", "end", "due", "> written",
                   "due" } })
        << "0 0 0 0 4194350";

    // Six re-sends over the session's life, then the seventh rejection is
    // only a verdict; a later status 2 is out of phase.
    QStringList rejected = started("header a.bin 14 11");
    for (int i = 0; i < DownloadSession::MaxResends; ++i)
        rejected += concat({ dataPhase(14), resent("a.bin", 10) });
    rejected += dataPhase(14);
    rejected += QStringList { "> r3", "rejected a.bin 6: rejected again after 6 re-sends", "not due",
        "end-of-queue gave-up", "> r2", ignored(2) };
    QTest::newRow("rejected six times, then given up")
        << QStringList { "a.bin=10" } << false << rejected << "0 6 0 0 378";

    // A restart ends the transfer; the camera's closing is then no news. The
    // next load announces the file the queue stood at.
    QTest::newRow("restart mid-queue")
        << QStringList { "a.bin=10", "b.bin=20" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14), accepted("a.bin", false),
               { "header b.bin 24 11", "due", "> restart", "restart", QString::fromUtf8("log 相机重启!!!"),
                   "not due", "end-of-queue failed", "> closed", "> reset", "> load", "progress 0",
                   "log THE FILE LOAD RIGHT,WORK BEGIN!", "header b.bin 24 11", "due" } })
        << "1 0 1 0 102";

    // A queue that ends with files skipped says how many were sent and which
    // were not; the all-done texts are for a queue sent whole.
    QTest::newRow("every file skipped")
        << QStringList { "empty.bin=0", "missing.bin=-1" } << false
        << QStringList { "> load", "progress 0", "box boot buffer error!",
               "log boot buffer error! empty file skipped: <dir>/empty.bin", "skipped empty.bin 0",
               "log open boot file error! skipped: <dir>/missing.bin", "skipped missing.bin 0",
               "log No file was sent: every queued file was skipped!!!",
               QString::fromUtf8("log 已发送 0 个文件 (共 2 个), 跳过: empty.bin, missing.bin"),
               "end-of-queue nothing-sent" }
        << "2 0 0 2 0";
    QTest::newRow("some files skipped")
        << QStringList { "missing.bin=-1", "a.bin=10" } << false
        << concat({ { "> load", "progress 0", "log open boot file error! skipped: <dir>/missing.bin",
                        "skipped missing.bin 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11",
                        "due" },
               dataPhase(14),
               { "> r1", "sent a.bin 0", "progress 100", "controls received",
                   "log a.bin download complete!!!",
                   QString::fromUtf8("log 已发送 1 个文件 (共 2 个), 跳过: missing.bin"), "not due",
                   "end-of-queue all-sent" } })
        << "0 0 1 1 54";

    // Names the header frame cannot carry, and anything but a regular file,
    // are refused before they are read (a FIFO would block the open).
    const QString longName(MaxNameBytes + 1, QLatin1Char('n'));
    QTest::newRow("names that cannot be sent")
        << QStringList { QString::fromUtf8("固件.bin=10"), "tab\tname.bin=10",
               QString::fromUtf8("c1\u0085.bin=10"), "del\x7F.bin=10", QString::fromUtf8("smile😀.bin=10"),
               longName + "=10", QString::fromUtf8("é.bin=10") }
        << false
        << concat(
               { { "> load", "progress 0",
                     QString::fromUtf8("log 文件名含有无法发送的字符 U+56FA 固 (只能发送 Latin-1 字符), "
                                       "已跳过: <dir>/固件.bin"),
                     QString::fromUtf8(
                         "skipped 固件.bin 0: its name holds U+56FA 固, a character outside Latin-1"),
                     QString::fromUtf8(
                         "log 文件名含有控制字符 U+0009, 无法发送, 已跳过: <dir>/tab\tname.bin"),
                     "skipped tab\tname.bin 0: its name holds U+0009, a control character",
                     QString::fromUtf8("log 文件名含有控制字符 U+0085, 无法发送, 已跳过: <dir>/c1\u0085.bin"),
                     QString::fromUtf8("skipped c1\u0085.bin 0: its name holds U+0085, a control character"),
                     QString::fromUtf8("log 文件名含有控制字符 U+007F, 无法发送, 已跳过: <dir>/del\x7F.bin"),
                     "skipped del\x7F.bin 0: its name holds U+007F, a control character",
                     QString::fromUtf8(
                         "log 文件名含有无法发送的字符 U+1F600 😀 (只能发送 Latin-1 字符), 已跳过: "
                         "<dir>/smile😀.bin"),
                     QString::fromUtf8(
                         "skipped smile😀.bin 0: its name holds U+1F600 😀, a character outside Latin-1"),
                     "log file name empty or longer than 186 bytes, skipped: <dir>/" + longName,
                     "skipped " + longName + " 0", "log THE FILE LOAD RIGHT,WORK BEGIN!",
                     QString::fromUtf8("header é.bin 14 11"), "due" },
                   dataPhase(14),
                   { "> r1", QString::fromUtf8("sent é.bin 0"), "progress 100", "controls received",
                       QString::fromUtf8("log é.bin download complete!!!"),
                       QString::fromUtf8(
                           "log 已发送 1 个文件 (共 7 个), 跳过: 固件.bin, tab\tname.bin, c1\u0085.bin, "
                           "del\x7F.bin, smile😀.bin, ")
                           + longName,
                       "not due", "end-of-queue all-sent" } })
        << "0 0 1 6 54";
    QTest::newRow("not regular files")
        << QStringList { "fifo.bin=fifo", "dir.bin=dir", "/dev/null=-1", "a.bin=10" } << false
        << QStringList { "> load", "progress 0",
               QString::fromUtf8("log 不是普通文件, 而是命名管道 (FIFO), 已跳过: <dir>/fifo.bin"),
               "skipped fifo.bin 0: a FIFO (named pipe), not a regular file",
               QString::fromUtf8("log 不是普通文件, 而是目录, 已跳过: <dir>/dir.bin"),
               "skipped dir.bin 0: a directory, not a regular file",
               QString::fromUtf8("log 不是普通文件, 而是设备文件, 已跳过: /dev/null"),
               "skipped null 0: a device, not a regular file", "log THE FILE LOAD RIGHT,WORK BEGIN!",
               "header a.bin 14 11", "due" }
        << "3 0 0 3 19";

    // The verdict is about the file announced, not the entry the new queue
    // holds at that place.
    QTest::newRow("queue changed during a transfer")
        << QStringList { "a.bin=10", "b.bin=20" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> requeue:b.bin,a.bin", "> r1", "sent a.bin 0", "progress 100", "controls received",
                   "log a.bin download complete!!!", "header a.bin 14 11", "due", "> silence",
                   silentLine("a.bin"), "rejected a.bin 0: no reply from the camera within 10000 ms",
                   "phase off", "end-of-queue failed" } })
        << "1 0 1 0 73";

    QTest::newRow("empty queue with files listed")
        << QStringList {} << false
        << QStringList { "> listed", "> load", "progress 0", QString::fromUtf8("log 全部文件已经下载完成!"),
               "log ALL FILE IS LOAD SUCCESS!", "end-of-queue nothing-sent" }
        << "0 0 0 0 0";
    QTest::newRow("nothing listed") << QStringList {} << false
                                    << QStringList { "> load", "box open file first!!" } << "0 0 0 0 0";

    // The rejected file cannot be read again: the log names the file announced instead.
    QTest::newRow("rejected file gone, next one announced")
        << QStringList { "a.bin=10", "b.bin=20" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> remove:a.bin", "> r3", "log open boot file error! skipped: <dir>/a.bin",
                   "rejected a.bin 0", "progress 0", "log defeated once again!!!",
                   "log a.bin download defaulted!!!",
                   "log a.bin cannot be read again, sending the next file: b.bin", "header b.bin 24 11",
                   "due" },
               dataPhase(24),
               { "> r1", "sent b.bin 0", "progress 100", "controls received",
                   "log b.bin download complete!!!",
                   QString::fromUtf8("log 已发送 1 个文件 (共 2 个), 跳过: a.bin"), "not due",
                   "end-of-queue all-sent" } })
        << "0 1 1 0 118";
    QTest::newRow("rejected file gone, nothing left")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> remove:a.bin", "> r3", "log open boot file error! skipped: <dir>/a.bin",
                   "rejected a.bin 0", "log No file was sent: every queued file was skipped!!!",
                   QString::fromUtf8("log 已发送 0 个文件 (共 1 个), 跳过: a.bin"),
                   QString::fromUtf8("log 文件完成!!!"), "controls exhausted", "not due",
                   "end-of-queue failed" } })
        << "1 0 0 0 54";

    // A failed write or a closed connection ends the transfer at once; the
    // wait that was pending leads nowhere.
    QTest::newRow("write failure during the pieces")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r2", "start 0", "due", "> r4", "progress 0", "not due", "wait 2", "> resume", "piece 14",
                   "progress 0", "wait 100", "> fail", "log Network write failed, the transfer is stopped!!!",
                   "rejected a.bin 0: a write failed", "not due", "end-of-queue failed", "> resume",
                   "> closed" } })
        << "0 0 0 0 44";
    QTest::newRow("connection closed before the verdict")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> closed", "log Network connection closed, the transfer is stopped!!!",
                   "rejected a.bin 0: the connection closed", "not due", "end-of-queue failed" } })
        << "0 0 0 0 54";
    // A percentage no progress bar can show is dropped; 0 is not shown, but
    // the camera was not silent.
    QTest::newRow("progress beyond 100")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r5:104", "> r5:100", "progress 100", "silence 10000", "> r5:0", "silence 10000" } })
        << "0 0 0 0 19";
    // The camera was told to start afresh: a late status 4 gets no piece.
    QTest::newRow("status 4 after a restart")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r2", "start 0", "due", "> restart", "restart", QString::fromUtf8("log 相机重启!!!"),
                   "not due", "end-of-queue failed", "> r4", ignored(4) } })
        << "0 0 0 0 40";
    QTest::newRow("restart frame lost outside a transfer")
        << QStringList { "a.bin=10" } << false
        << QStringList { "> restart", "restart", QString::fromUtf8("log 相机重启!!!"), "> fail" }
        << "0 0 0 0 10";

    // A camera that answers nothing that fits is silent; what it sent instead
    // is logged once per status and named in the reason. A deadline that
    // passes after the end is no news.
    QTest::newRow("silent but for statuses out of phase")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r1+r1+r9+r200+r9", ignored(1), QString::fromUtf8("log 未知的相机状态 9, 已忽略"),
                   QString::fromUtf8("log 未知的相机状态 200, 已忽略"), "> silence", silentLine("a.bin"),
                   "rejected a.bin 0: no reply from the camera within 10000 ms (status 1, 9, 200 ignored: "
                   "out "
                   "of phase)",
                   "phase off", "end-of-queue failed", "> silence", "> phaselimit" } })
        << "0 0 0 0 19";
    // Progress keeps the camera from counting as silent, never the phase going.
    QTest::newRow("progress alone until the phase limit")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> r5:30", "progress 30", "silence 10000", "> written", "due", "> r5:30", "progress 30",
                   "silence 10000", "> phaselimit", progressOnlyLine("a.bin"),
                   "rejected a.bin 0: no verdict from the camera within 300 s, only progress", "silence off",
                   "end-of-queue failed" } })
        << "0 0 0 0 54";
    // A phase lasts at least the silence limit; new limits apply to the next wait.
    QTest::newRow("limits set") << QStringList { "a.bin=10" } << false
                                << QStringList { "> limits:500/200", "> load", "progress 0",
                                       "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11",
                                       "silence 500", "phase 500", "> limits:300/2000", "> r2", "start 0",
                                       "silence 300", "phase 2000", "> silence", silentLine("a.bin", "0.3"),
                                       "rejected a.bin 0: no reply from the camera within 300 ms",
                                       "phase off", "end-of-queue failed" }
                                << "0 0 0 0 30";
}

void TestDownloadSession::exchanges()
{
    QFETCH(QStringList, files);
    QFETCH(bool, split);
    QFETCH(QStringList, expected);
    QFETCH(QString, state);

#ifdef Q_OS_WIN
    for (const QString &file : files)
        if (file.endsWith(QLatin1String("=fifo")) || file.startsWith(QLatin1String("/dev/"))
            || file.contains(QLatin1Char('\t')))
            QSKIP("Windows has no FIFOs or devices in its file system, nor control characters in names");
#endif
    Exchange exchange;
    QVERIFY(exchange.make(files));
    FifoGuard guard(exchange.fifos);
    QStringList got;
    for (const QString &line : expected) {
        if (line.startsWith(QLatin1String("> ")))
            got << line << exchange.feed(line.mid(2), split);
    }
    QVERIFY2(!guard.done(), "a FIFO in the queue was opened and waited for a writer");
    QCOMPARE(got, expected);
    QCOMPARE(exchange.state(), state);
    QVERIFY(!exchange.session.sendingPieces());
}

// Every status, and each deadline passing, in every phase of one file's
// exchange: only the phase that asks for a status acts on it.
void TestDownloadSession::statusInEveryPhase_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("phaseAfter");
    QTest::addColumn<int>("filesSent");

    using L = QStringList;
    const QString unknown = QString::fromUtf8("log 未知的相机状态 9, 已忽略");
    const L silenceEnds { silentLine("a.bin"), "rejected a.bin 0: no reply from the camera within 10000 ms",
        "phase off", "end-of-queue failed" };
    const auto progressEnds = [](const char *awaited) {
        return L { progressOnlyLine("a.bin"),
            QStringLiteral("rejected a.bin 0: no %1 from the camera within 300 s, only progress")
                .arg(awaited),
            "silence off", "end-of-queue failed" };
    };
    const L endFrame { "load", "r2", "r4", "resume", "resume", "resume" };
    struct PhaseRows {
        const char *name;
        L setup;
        Phase phase;
        L r1, r2, r3, r4, r5, silence, phaseLimit;
    };
    const int I = int(Phase::Idle);
    const PhaseRows phases[] = {
        { "nothing announced", {}, Phase::Idle, { ignored(1) }, { ignored(2) }, { ignored(3) },
            { ignored(4) }, { ignored(5) }, {}, {} },
        { "announced", { "load" }, Phase::Announced, { ignored(1) }, { "start 0", "due" }, { ignored(3) },
            { ignored(4) }, { "progress 40", "silence 10000" }, silenceEnds, progressEnds("start request") },
        { "started", { "load", "r2" }, Phase::Started, { ignored(1) }, { ignored(2) }, { ignored(3) },
            { "progress 0", "not due", "wait 2" }, { "progress 40", "silence 10000" }, silenceEnds,
            progressEnds("data request") },
        // A verdict is held until the end frame (the exchanges above).
        { "sending pieces", { "load", "r2", "r4" }, Phase::Sending, {}, { ignored(2) }, {},
            { "log status 4 ignored: the pieces are being sent" }, { "progress 40" }, {}, {} },
        { "end frame sent", endFrame, Phase::Finishing, accepted("a.bin", true).mid(1), { ignored(2) },
            resent("a.bin", 10).mid(1), { ignored(4) }, { "progress 40", "silence 10000" }, silenceEnds,
            progressEnds("verdict") },
        { "after the queue ended", endFrame + L { "r1" }, Phase::Idle, { ignored(1) }, { ignored(2) },
            { ignored(3) }, { ignored(4) }, { ignored(5) }, {}, {} },
        { "after a restart", { "load", "r2", "restart" }, Phase::Idle, { ignored(1) }, { ignored(2) },
            { ignored(3) }, { ignored(4) }, { ignored(5) }, {}, {} },
    };
    for (const PhaseRows &p : phases) {
        const int sentBefore = p.setup.contains(QLatin1String("r1")) ? 1 : 0;
        const int same = int(p.phase);
        const auto row = [&](const char *input, const L &expected, int after, int sent) {
            QTest::addRow("%s, %s", p.name, input)
                << p.setup << QString::fromLatin1(input) << expected << after << sent;
        };
        const bool due
            = p.phase == Phase::Announced || p.phase == Phase::Started || p.phase == Phase::Finishing;
        row("r1", p.r1, p.phase == Phase::Finishing ? I : same, p.phase == Phase::Finishing ? 1 : sentBefore);
        row("r2", p.r2, p.phase == Phase::Announced ? int(Phase::Started) : same, sentBefore);
        row("r3", p.r3, p.phase == Phase::Finishing ? int(Phase::Announced) : same, sentBefore);
        row("r4", p.r4, p.phase == Phase::Started ? int(Phase::Sending) : same, sentBefore);
        row("r5:40", p.r5, same, sentBefore);
        row("r9", { unknown }, same, sentBefore);
        row("silence", p.silence, due ? I : same, sentBefore);
        row("phaselimit", p.phaseLimit, due ? I : same, sentBefore);
    }
}

void TestDownloadSession::statusInEveryPhase()
{
    QFETCH(QStringList, setup);
    QFETCH(QString, input);
    QFETCH(QStringList, expected);
    QFETCH(int, phaseAfter);
    QFETCH(int, filesSent);

    Exchange exchange;
    QVERIFY(exchange.make({ "a.bin=10" }));
    for (const QString &event : setup)
        exchange.feed(event);
    QCOMPARE(exchange.feed(input), expected);
    QCOMPARE(int(exchange.session.phase()), phaseAfter);
    QCOMPARE(exchange.session.filesSent(), filesSent);
}

// Everything a session sends from the moment the camera asks for the data.
QByteArray sendAll(DownloadSession &session)
{
    session.load();
    session.receive(buildReplyFrame(StatusSendStart));
    session.takeSteps();
    session.receive(buildReplyFrame(StatusSendData));
    QByteArray sent;
    for (bool more = true; more;) {
        more = session.sendingPieces();
        for (const Step &step : session.takeSteps()) {
            if (step.kind == Step::Kind::Send)
                sent += step.bytes;
        }
        session.resume();
    }
    return sent;
}

// The pieces joined are the file followed by its CRC-32, most significant
// byte first, and the counters follow each file. Sessions that share an image
// source send the image of the file as it was first read.
void TestDownloadSession::piecesCarryTheTransferImage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    const auto imageOf = [&path](const QByteArray &content) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        QByteArray image = content;
        appendBigEndian32(image, crc32Of(content));
        return image + buildEndFrame();
    };
    const QByteArray first = imageOf(contentOf(QStringLiteral("x"), int(PieceSize) + 10));

    DownloadSession session;
    session.setQueue({ path }, 0x21);
    session.rewind();
    QCOMPARE(sendAll(session), first);
    QCOMPARE(session.pieceIndex(), 2);
    session.receive(buildReplyFrame(StatusFailed));
    QCOMPARE(session.resendsOf(path), 1);
    QCOMPARE(session.resendsOf(dir.filePath(QStringLiteral("other.bin"))), 0);

    ctl::SharedImages images;
    std::array<DownloadSession, 3> cameras;
    for (DownloadSession &camera : cameras) {
        camera.setQueue({ path }, 0x21);
        camera.setImageSource(
            [&images](const QString &file, ImageError *error) { return images.image(file, error); });
    }
    QCOMPARE(sendAll(cameras[0]), first);
    const QByteArray second = imageOf(contentOf(QStringLiteral("y"), 300));
    QCOMPARE(sendAll(cameras[1]), first);
    QCOMPARE(images.reads(), 1);
    images.release(path);
    QCOMPARE(sendAll(cameras[2]), second);
    QCOMPARE(images.reads(), 2);
}

QTEST_APPLESS_MAIN(TestDownloadSession)
#include "tst_downloadsession.moc"
