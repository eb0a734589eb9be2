// The firmware download session driven directly: operator requests, camera
// replies and the ends of waits go in, the steps that come out are written as
// short lines ("> event" marks where each input starts) and compared whole.
#include "core/downloadsession.h"
#include "ctl/sharedimages.h"

#include <QTemporaryDir>
#include <QtTest>

#include <array>

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
    }
    return QString();
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

// Steps of one file from the start frame to the end frame: one piece.
QStringList dataPhase(int imageSize)
{
    return { "> r2", QStringLiteral("start 0"), "> r4", "progress 0", "wait 2", "> resume",
        QStringLiteral("piece %1").arg(imageSize), "progress 0", "wait 100", "> resume", "wait 1000",
        "> resume", "end" };
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
        lines << QString::fromUtf8("log 所有文件传输完成!!!") << "end-of-queue all-sent";
    return lines;
}

QStringList started(const QString &header)
{
    return { "> load", "progress 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", header };
}

QStringList resent(const QString &name, int size)
{
    return { "> r3", "progress 0", "log defeated once again!!!", "log " + name + " download defaulted!!!",
        QString::fromUtf8("log 重新传输当前文件!!!"),
        QStringLiteral("header %1 %2 11").arg(name).arg(size + 4) };
}

} // namespace

class TestDownloadSession : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void piecesCarryTheTransferImage();
};

void TestDownloadSession::exchanges_data()
{
    // files: "name=size" (size -1: no such file); events: load, restart,
    // resume, fail (a write failed), closed, reset (new connection), listed
    // (the operator's list shows files), remove:name, and replies r1..r5:n,
    // several joined by '+' arriving in one read. split: every reply byte by byte.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("split");
    QTest::addColumn<QStringList>("expected");
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
               { "> r2", "start 0", "> r4", "progress 0", "wait 2", "> resume", "piece 14", "progress 0",
                   "wait 100", "> r5:77+r4+r1", "progress 77",
                   "log status 4 ignored: the pieces are being sent", "> resume", "wait 1000", "> resume",
                   "end", "sent a.bin 0", "progress 100", "controls received",
                   "log a.bin download complete!!!", "header b.bin 24 11" },
               dataPhase(24), accepted("b.bin", true) })
        << "0 0 2 0 118";

    QTest::newRow("two pieces, paced")
        << QStringList { "big.bin=4194304" } << false
        << concat({ started("header big.bin 4194308 11"),
               { "> r2", "start 0", "> r4", "progress 0", "wait 2", "> resume", "piece 4194304", "progress 0",
                   "wait 100", "> resume", "piece 4", "progress 50", "wait 100", "> resume", "wait 1000",
                   "> resume", "end" } })
        << "0 0 0 0 4194350";

    // Six re-sends over the session's life, then the seventh rejection is
    // only logged as a verdict; a later status 2 still gets its start frame.
    QStringList rejected = started("header a.bin 14 11");
    for (int i = 0; i < DownloadSession::MaxResends; ++i)
        rejected += resent("a.bin", 10);
    rejected += QStringList { "> r3", "rejected a.bin 6", "end-of-queue gave-up", "> r2", "start 0" };
    QTest::newRow("rejected six times, then given up")
        << QStringList { "a.bin=10" } << false << rejected << "0 6 0 0 144";

    // A restart ends the transfer; the camera's closing is then no news. The
    // next load announces the file the queue stood at.
    QTest::newRow("restart mid-queue")
        << QStringList { "a.bin=10", "b.bin=20" } << false
        << concat({ started("header a.bin 14 11"), accepted("a.bin", false),
               { "header b.bin 24 11", "> restart", "restart", QString::fromUtf8("log 相机重启!!!"),
                   "end-of-queue failed", "> closed", "> reset", "> load", "progress 0",
                   "log THE FILE LOAD RIGHT,WORK BEGIN!", "header b.bin 24 11" } })
        << "1 0 1 0 67";

    QTest::newRow("every file skipped")
        << QStringList { "empty.bin=0", "missing.bin=-1" } << false
        << QStringList { "> load", "progress 0", "box boot buffer error!",
               "log boot buffer error! empty file skipped: <dir>/empty.bin", "skipped empty.bin 0",
               "log open boot file error! skipped: <dir>/missing.bin", "skipped missing.bin 0",
               "log No file was sent: every queued file was skipped!!!", "end-of-queue nothing-sent" }
        << "2 0 0 2 0";

    QTest::newRow("some files skipped")
        << QStringList { "missing.bin=-1", "a.bin=10" } << false
        << concat(
               { { "> load", "progress 0", "log open boot file error! skipped: <dir>/missing.bin",
                     "skipped missing.bin 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11" },
                   accepted("a.bin", true) })
        << "0 0 1 1 19";

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
        << QStringList { "> load", "progress 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11",
               "> remove:a.bin", "> r3", "log open boot file error! skipped: <dir>/a.bin", "rejected a.bin 0",
               "progress 0", "log defeated once again!!!", "log a.bin download defaulted!!!",
               "log a.bin cannot be read again, sending the next file: b.bin", "header b.bin 24 11" }
        << "1 1 0 0 38";
    QTest::newRow("rejected file gone, nothing left")
        << QStringList { "a.bin=10" } << false
        << QStringList { "> load", "progress 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11",
               "> remove:a.bin", "> r3", "log open boot file error! skipped: <dir>/a.bin", "rejected a.bin 0",
               "log No file was sent: every queued file was skipped!!!", QString::fromUtf8("log 文件完成!!!"),
               "controls exhausted", "end-of-queue failed" }
        << "1 0 0 0 19";

    // A failed write or a closed connection ends the transfer at once; the
    // wait that was pending leads nowhere.
    QTest::newRow("write failure during the pieces")
        << QStringList { "a.bin=10" } << false
        << QStringList { "> load", "progress 0", "log THE FILE LOAD RIGHT,WORK BEGIN!", "header a.bin 14 11",
               "> r2", "start 0", "> r4", "progress 0", "wait 2", "> resume", "piece 14", "progress 0",
               "wait 100", "> fail", "log Network write failed, the transfer is stopped!!!",
               "rejected a.bin 0", "end-of-queue failed", "> resume", "> closed" }
        << "0 0 0 0 44";
    // A percentage no progress bar can show is dropped.
    QTest::newRow("progress beyond 100")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"), { "> r5:104", "> r5:100", "progress 100" } })
        << "0 0 0 0 19";
    // The camera was told to start afresh: a late status 4 gets no piece.
    QTest::newRow("status 4 after a restart")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"),
               { "> r2", "start 0", "> restart", "restart", QString::fromUtf8("log 相机重启!!!"),
                   "end-of-queue failed", "> r4", "wait 2", "> resume", "wait 1000", "> resume", "end" } })
        << "0 0 0 0 50";
    QTest::newRow("restart frame lost outside a transfer")
        << QStringList { "a.bin=10" } << false
        << QStringList { "> restart", "restart", QString::fromUtf8("log 相机重启!!!"), "> fail" }
        << "0 0 0 0 10";
    QTest::newRow("connection closed before the verdict")
        << QStringList { "a.bin=10" } << false
        << concat({ started("header a.bin 14 11"), dataPhase(14),
               { "> closed", "log Network connection closed, the transfer is stopped!!!", "rejected a.bin 0",
                   "end-of-queue failed" } })
        << "0 0 0 0 54";
}

void TestDownloadSession::exchanges()
{
    QFETCH(QStringList, files);
    QFETCH(bool, split);
    QFETCH(QStringList, expected);
    QFETCH(QString, state);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList paths;
    for (const QString &entry : files) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const int size = entry.section(QLatin1Char('='), 1).toInt();
        paths << dir.filePath(name);
        if (size >= 0) {
            QFile file(paths.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contentOf(name, size));
        }
    }
    DownloadSession session;
    session.setQueue(paths, 0x11);
    session.rewind();

    // The events are the "> " lines of the expected list.
    QStringList got;
    for (const QString &line : expected) {
        if (!line.startsWith(QLatin1String("> ")))
            continue;
        const QString event = line.mid(2);
        got << line;
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
        } else if (event.startsWith(QLatin1String("remove:"))) {
            QVERIFY(QFile::remove(dir.filePath(event.mid(7))));
        } else {
            QByteArray bytes;
            for (const QString &reply : event.split(QLatin1Char('+'))) {
                QVERIFY2(reply.startsWith(QLatin1Char('r')), qPrintable(event));
                bytes += buildReplyFrame(
                    quint8(reply.mid(1, 1).toInt()), quint8(reply.section(':', 1).toInt()));
            }
            if (split) {
                for (char c : bytes)
                    session.receive(QByteArray(1, c));
            } else {
                session.receive(bytes);
            }
        }
        for (const Step &step : session.takeSteps())
            got << describe(step, dir.path());
    }
    QCOMPARE(got, expected);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(session.fileIndex())
                 .arg(session.retryCount())
                 .arg(session.filesSent())
                 .arg(session.filesSkipped())
                 .arg(session.bytesSent()),
        state);
    QVERIFY(!session.sendingPieces());
}

// Everything a session sends from the moment the camera asks for the data.
QByteArray sendAll(DownloadSession &session)
{
    session.load();
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
