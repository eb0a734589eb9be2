// The firmware download dialog on the offscreen platform: its queue, type
// codes, refusals and its reactions to the camera's replies. A QTcpServer on
// 127.0.0.1 (a free port) plays the camera and records what the dialog sends.
#include "core/transfer.h"
#include "gui/firmwaredialog.h"
#include "gui/messagebox.h"
#include "tests/fifoguard.h"

#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <sys/stat.h>

using namespace firmware;

namespace {

struct Box {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Records what the dialog sends and answers with status replies.
class FakeCamera : public QObject {
public:
    FakeCamera()
    {
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            ++connections;
            peer = server.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this] {
                received += peer->readAll();
                if (onReceive)
                    onReceive();
            });
        });
    }
    quint16 port() const { return server.serverPort(); }
    void send(const QByteArray &bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    // Waits until n bytes have arrived and takes them.
    QByteArray take(int n)
    {
        if (!QTest::qWaitFor([&] { return received.size() >= n; }, 10000))
            return received;
        const QByteArray bytes = received.left(n);
        received.remove(0, n);
        return bytes;
    }

    QTcpServer server;
    QTcpSocket *peer = nullptr;
    int connections = 0;
    QByteArray received;
    std::function<void()> onReceive; // runs after each read
};

} // namespace

class TestFirmwareDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void queueDeduplicates();
    void cancelledDialogEmptiesQueue();
    void doubleClickRemovesEntry();
    void typeCodes_data();
    void typeCodes();
    void loadWithEmptyList();
    void connectionRefused();
    void downloadQueueAgainstCamera();
    void earlyVerdictAndSecondStatus4InDataPhase();
    void resendAndRetryLimit();
    void unsendableFilesAreRefused();
    void silentCameraEndsTransfer();
    void lostConnectionOrDialogEndsDownload();

private:
    QString makeFile(const QString &name, const QByteArray &content);
    QStringList logLines() const;
    void press(const char *button);
    void connectDialog(FakeCamera &camera);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FirmWareDialog> dialog;
    QList<Box> boxes;
    QStringList nextFiles;
    int fileDialogs = 0;
};

void TestFirmwareDialog::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    boxes.clear();
    nextFiles.clear();
    fileDialogs = 0;
    dialog = std::make_unique<FirmWareDialog>();
    msgbox::setHandler([this](const msgbox::Request &box) {
        boxes << Box { box.icon, box.title, box.text };
        return QMessageBox::Ok;
    });
    dialog->setFileDialogHook(
        [this](QWidget *, const QString &caption, const QString &, const QString &filter) {
            ++fileDialogs;
            if (caption != QString::fromUtf8("文件选择")
                || !filter.startsWith(QString::fromUtf8("二进制文件(*.bin")))
                return QStringList();
            return nextFiles;
        });
    dialog->read_ip(QStringLiteral("127.0.0.1"));
}

void TestFirmwareDialog::cleanup()
{
    dialog.reset();
    dir.reset();
}

QString TestFirmwareDialog::makeFile(const QString &name, const QByteArray &content)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QStringList TestFirmwareDialog::logLines() const
{
    const QString text = dialog->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TestFirmwareDialog::press(const char *button)
{
    auto *widget = dialog->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton);
}

void TestFirmwareDialog::connectDialog(FakeCamera &camera)
{
    dialog->setCameraPort(camera.port());
    press("NetWorkPushButton");
    QCOMPARE(logLines().value(0), QStringLiteral("NOW is network success!"));
    QTRY_VERIFY(camera.peer);
}

void TestFirmwareDialog::queueDeduplicates()
{
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listWidget"));
    nextFiles = QStringList { "/x/a.bin", "/x/b.bin", "/x/a.bin", "/x/a.bin" };
    press("OpenfileButton");
    QCOMPARE(list->count(), 2);
    QCOMPARE(dialog->fileList, (QStringList { "/x/a.bin", "/x/b.bin" }));

    // A second selection queues old and new together, each path once, from the start.
    dialog->session->setFileIndex(1);
    nextFiles = QStringList { "/x/c.bin", "/x/b.bin" };
    press("OpenfileButton");
    QCOMPARE(dialog->fileList, (QStringList { "/x/a.bin", "/x/b.bin", "/x/c.bin" }));
    QCOMPARE(list->count(), 3);
    QCOMPARE(dialog->fileCount, 3);
    QCOMPARE(dialog->session->fileIndex(), 0);
    QCOMPARE(dialog->session->fileName(), QStringLiteral("a.bin"));
    QCOMPARE(dialog->session->queue(), dialog->fileList);
}

void TestFirmwareDialog::cancelledDialogEmptiesQueue()
{
    nextFiles = QStringList { makeFile("a.bin", "0123456789") };
    press("OpenfileButton");
    nextFiles.clear(); // cancelled
    press("OpenfileButton");
    QCOMPARE(dialog->findChild<QListWidget *>(QStringLiteral("listWidget"))->count(), 1);
    QVERIFY(dialog->fileList.isEmpty());
    QCOMPARE(dialog->fileCount, 0);

    press("LoadPushButton");
    QCOMPARE(logLines(),
        (QStringList { QString::fromUtf8("全部文件已经下载完成!"), "ALL FILE IS LOAD SUCCESS!" }));
    QVERIFY(dialog->sendBuffer.isEmpty());
    QVERIFY(boxes.isEmpty());
}

void TestFirmwareDialog::doubleClickRemovesEntry()
{
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listWidget"));
    nextFiles = QStringList { "/x/a.bin", "/x/b.bin", "/x/c.bin" };
    press("OpenfileButton");
    dialog->session->setFileIndex(2);

    const QRect rect = list->visualItemRect(list->item(1));
    // A real double-click: press and release, then the double-click event.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(list->count(), 2);
    QCOMPARE(dialog->fileList, (QStringList { "/x/a.bin", "/x/c.bin" }));
    QCOMPARE(dialog->fileCount, 2);
    QCOMPARE(dialog->session->queue(), dialog->fileList);
    QCOMPARE(dialog->session->fileIndex(), 2); // left as it was
    QCOMPARE(dialog->session->fileName(), QStringLiteral("a.bin"));
}

void TestFirmwareDialog::typeCodes_data()
{
    QTest::addColumn<int>("typeEntry");
    QTest::addColumn<int>("code");
    QTest::newRow("boot image") << 0 << 0x11;
    QTest::newRow("algorithm library") << 1 << 0x21;
    QTest::newRow("configuration") << 2 << 0x31;
    QTest::newRow("picture") << 3 << 0;
}

void TestFirmwareDialog::typeCodes()
{
    QFETCH(int, typeEntry);
    QFETCH(int, code);
    dialog->findChild<QComboBox *>(QStringLiteral("FileTypeComboBox"))->setCurrentIndex(typeEntry);
    QCOMPARE(dialog->findChild<QComboBox *>(QStringLiteral("VisionComboBox"))->currentIndex(), 0);
    nextFiles = QStringList { makeFile("a.bin", "0123456789") };
    press("OpenfileButton");
    QCOMPARE(dialog->fileType, code);
    if (code == 0) {
        // No code: no file dialog, an empty queue and a line saying so.
        QCOMPARE(fileDialogs, 0);
        QVERIFY(dialog->fileList.isEmpty());
        QCOMPARE(logLines().size(), 1);
        return;
    }
    press("LoadPushButton");
    // Not connected: the header cannot be written, and the transfer says so.
    QCOMPARE(logLines(),
        (QStringList {
            "THE FILE LOAD RIGHT,WORK BEGIN!", "Network write failed, the transfer is stopped!!!" }));
    QCOMPARE(dialog->sendBuffer, *buildHeaderFrame(quint8(code), 14, "a.bin"));
    QVERIFY(!dialog->session->transferActive());
}

void TestFirmwareDialog::loadWithEmptyList()
{
    press("LoadPushButton");
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, QMessageBox::Information);
    QCOMPARE(boxes[0].title, QString());
    QCOMPARE(boxes[0].text, QStringLiteral("open file first!!"));
    QVERIFY(logLines().isEmpty());
    QVERIFY(dialog->sendBuffer.isEmpty());
}

// Nobody listens: the dialog keeps asking for the whole connect window, then
// says so and leaves the buttons alone.
void TestFirmwareDialog::connectionRefused()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        port = probe.serverPort();
    }
    dialog->setCameraPort(port);
    auto *restart = dialog->findChild<QPushButton *>(QStringLiteral("RestartPushButton"));
    restart->setEnabled(false);
    QElapsedTimer clock;
    clock.start();
    press("NetWorkPushButton");
    QVERIFY(clock.elapsed() >= 4000);
    QCOMPARE(logLines(), QStringList { "Network fail!!!" });
    QVERIFY(!restart->isEnabled());
    QCOMPARE(dialog->tcpSocket->state(), QAbstractSocket::UnconnectedState);
}

// Two files through the whole exchange; the replies come split and bunched
// the way a byte stream delivers them.
void TestFirmwareDialog::downloadQueueAgainstCamera()
{
    FakeCamera camera;
    connectDialog(camera);
    const QByteArray a = QByteArray(1000, 'a');
    const QByteArray b = QByteArray(20, 'b');
    nextFiles = QStringList { makeFile("a.bin", a), makeFile("b.bin", b) };
    press("OpenfileButton");
    press("LoadPushButton");

    QByteArray header = *buildHeaderFrame(0x11, a.size() + 4, "a.bin");
    QCOMPARE(camera.take(header.size()), header);
    // Connect pressed during the transfer: the open connection stays.
    press("NetWorkPushButton");
    QCOMPARE(logLines().last(), QStringLiteral("NOW is network success!"));
    const QByteArray status2 = buildReplyFrame(StatusSendStart);
    camera.send(status2.left(3));
    QTRY_COMPARE(dialog->session->bufferedReplyBytes(), qint64(3));
    camera.send(status2.mid(3));
    QCOMPARE(camera.take(11), buildStartFrame(0));
    camera.send(buildReplyFrame(StatusSendData));
    QByteArray image = a;
    appendBigEndian32(image, crc32Of(a));
    QCOMPARE(camera.take(image.size()), image);
    QCOMPARE(camera.take(10), buildEndFrame());
    press("NetWorkPushButton"); // waiting for the verdict

    // Progress and verdict in one read: both are acted on.
    camera.send(buildReplyFrame(StatusProgress, 77) + buildReplyFrame(StatusReceived));
    header = *buildHeaderFrame(0x11, b.size() + 4, "b.bin");
    QCOMPARE(camera.take(header.size()), header);
    QVERIFY(logLines().contains("a.bin download complete!!!"));
    QCOMPARE(dialog->session->fileIndex(), 1);

    camera.send(buildReplyFrame(StatusSendStart));
    QCOMPARE(camera.take(11), buildStartFrame(0));
    camera.send(buildReplyFrame(StatusSendData));
    QCOMPARE(camera.take(b.size() + 4 + 10).right(10), buildEndFrame());
    camera.send(QByteArray("\x00\x68", 2) + buildReplyFrame(StatusReceived)); // garbage first
    QTRY_VERIFY(logLines().contains(QString::fromUtf8("所有文件传输完成!!!")));
    QCOMPARE(logLines().mid(logLines().size() - 3),
        (QStringList { QString::fromUtf8("全部文件已经下载完成!"), "b.bin download complete!!!",
            QString::fromUtf8("所有文件传输完成!!!") }));
    QCOMPARE(dialog->session->fileIndex(), 0);
    QCOMPARE(dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"))->value(), 100);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(camera.connections, 1);
    QCOMPARE(dialog->tcpSocket->state(), QAbstractSocket::ConnectedState);
}

// A camera that judges the file as soon as the data is in and repeats its
// status 4: the replies arrive inside the data phase's waits. One data phase,
// the verdict acted on after its end frame.
void TestFirmwareDialog::earlyVerdictAndSecondStatus4InDataPhase()
{
    FakeCamera camera;
    connectDialog(camera);
    const QByteArray a(100, 'x');
    nextFiles = QStringList { makeFile("a.bin", a), makeFile("b.bin", "bb") };
    press("OpenfileButton");
    press("LoadPushButton");
    QCOMPARE(
        camera.take(buildHeaderFrame(0x11, 104, "a.bin")->size()), *buildHeaderFrame(0x11, 104, "a.bin"));
    camera.send(buildReplyFrame(StatusSendStart));
    QCOMPARE(camera.take(11), buildStartFrame(0));

    // The data phase runs from the dialog's timer: no event loop of its own
    // runs while the camera gets the pieces.
    bool midPhase = false;
    int loopLevel = -1;
    camera.onReceive = [&] {
        if (midPhase || camera.received.size() < 104)
            return;
        midPhase = dialog->session->sendingPieces();
        loopLevel = QThread::currentThread()->loopLevel();
        camera.send(buildReplyFrame(StatusSendData) + buildReplyFrame(StatusReceived));
        press("LoadPushButton"); // refused while sending
    };
    camera.send(buildReplyFrame(StatusSendData));

    const QByteArray header = *buildHeaderFrame(0x11, 6, "b.bin");
    const QByteArray sent = camera.take(104 + 10 + header.size());
    QVERIFY(midPhase);
    QCOMPARE(loopLevel, 0);
    QCOMPARE(sent.mid(104, 10), buildEndFrame());
    QCOMPARE(sent.mid(114), header);
    QVERIFY(logLines().contains("status 4 ignored: the pieces are being sent"));
    QVERIFY(logLines().contains("Pieces are being sent, please wait!!"));
    QVERIFY(!dialog->session->sendingPieces());
    QCOMPARE(dialog->session->fileIndex(), 1);
}

void TestFirmwareDialog::resendAndRetryLimit()
{
    FakeCamera camera;
    connectDialog(camera);
    const QString path = makeFile("a.bin", "0123456789");
    nextFiles = QStringList { path };
    press("OpenfileButton");
    press("LoadPushButton");
    const QByteArray header = *buildHeaderFrame(0x11, 14, "a.bin");
    QCOMPARE(camera.take(header.size()), header);
    const auto sendFile = [&] {
        camera.send(buildReplyFrame(StatusSendStart));
        QCOMPARE(camera.take(11), buildStartFrame(0));
        camera.send(buildReplyFrame(StatusSendData));
        QCOMPARE(camera.take(14 + 10).right(10), buildEndFrame());
    };

    // A rejection before any data is no verdict: nothing is sent again.
    camera.send(buildReplyFrame(StatusFailed));
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("相机状态 3 与当前传输阶段不符, 已忽略"));
    QCOMPARE(dialog->session->retryCount(), 0);

    // A rejection of the whole file: the same file announced again, with its
    // three lines. (The limit of six re-sends is the session's, tested there.)
    sendFile();
    camera.send(buildReplyFrame(StatusFailed));
    QCOMPARE(camera.take(header.size()), header);
    QCOMPARE(dialog->session->retryCount(), 1);
    QCOMPARE(logLines().mid(logLines().size() - 3),
        (QStringList { "defeated once again!!!", "a.bin download defaulted!!!",
            QString::fromUtf8("重新传输当前文件!!!") }));

    // A rejected file that cannot be read again, with nothing after it,
    // disables everything but the load button (and the check box). The load
    // button enables them again, except the connect button, which only a
    // successful connection enables.
    const auto enabled
        = [this](const char *name) { return dialog->findChild<QWidget *>(QLatin1String(name))->isEnabled(); };
    const char *const loadEnables[] = { "OpenfileButton", "FileTypeComboBox", "VisionComboBox", "listWidget",
        "RestartPushButton", "encryptionButton" };
    sendFile();
    QVERIFY(QFile::remove(path));
    camera.send(buildReplyFrame(StatusFailed));
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("文件完成!!!"));
    QVERIFY(!enabled("NetWorkPushButton"));
    for (const char *name : loadEnables)
        QVERIFY2(!enabled(name), name);
    QVERIFY(enabled("LoadPushButton") && enabled("checkBox"));

    dialog->session->setFileIndex(1);
    press("LoadPushButton");
    QCOMPARE(logLines().last(), QStringLiteral("ALL FILE IS LOAD SUCCESS!"));
    for (const char *name : loadEnables)
        QVERIFY2(enabled(name), name);
    QVERIFY(!enabled("NetWorkPushButton"));
    dialog->on_NetWorkPushButton_clicked();
    QCOMPARE(logLines().last(), QStringLiteral("NOW is network success!"));
    QVERIFY(enabled("NetWorkPushButton"));
}

// Files that cannot be sent are skipped with a line each, before anything
// about them goes out; the queue's end says how many were sent.
void TestFirmwareDialog::unsendableFilesAreRefused()
{
    FakeCamera camera;
    connectDialog(camera);
    const QString empty = makeFile("empty.bin", QByteArray());
    const QString missing = dir->filePath("missing.bin");
    const QString longName = makeFile(QString(MaxNameBytes + 1, QLatin1Char('n')), "x");
    const QString large = makeFile("large.bin", QByteArray());
    {
        QFile file(large); // sparse: takes no disk space, refused before reading
        QVERIFY(file.resize(MaxFileSize + 1));
    }
    const QString fifo = dir->filePath("fifo.bin");
#ifdef Q_OS_WIN
    QSKIP("Windows has no FIFOs in its file system");
#endif
    QVERIFY(makeFifo(fifo));
    const QString chinese = makeFile(QString::fromUtf8("固件.bin"), "x");
    const QString tab = makeFile("tab\tname.bin", "x");
    const QString good = makeFile("good.bin", "good");
    nextFiles = QStringList { empty, missing, longName, large, fifo, chinese, tab, good };
    press("OpenfileButton");
    FifoGuard guard({ fifo });
    press("LoadPushButton");
    QVERIFY2(!guard.done(), "the dialog opened the FIFO and waited for a writer");

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].text, QStringLiteral("boot buffer error!"));
    QStringList lines = logLines().mid(1);
    QCOMPARE(lines.size(), 8);
    QVERIFY(lines[0].contains(empty) && lines[0].contains("boot buffer error!"));
    QVERIFY(lines[1].contains(missing) && lines[1].contains("open boot file error"));
    QVERIFY(lines[2].contains(longName));
    QVERIFY(lines[3].contains(large));
    QCOMPARE(lines[4], QString::fromUtf8("不是普通文件, 而是命名管道 (FIFO), 已跳过: ") + fifo);
    QCOMPARE(lines[5],
        QString::fromUtf8("文件名含有无法发送的字符 U+56FA 固 (只能发送 Latin-1 字符), 已跳过: ") + chinese);
    QCOMPARE(lines[6], QString::fromUtf8("文件名含有控制字符 U+0009, 无法发送, 已跳过: ") + tab);
    QCOMPARE(lines[7], QStringLiteral("THE FILE LOAD RIGHT,WORK BEGIN!"));
    QCOMPARE(dialog->session->fileIndex(), 7);
    const QByteArray header = *buildHeaderFrame(0x11, 8, "good.bin");
    QCOMPARE(camera.take(header.size()), header);

    camera.send(buildReplyFrame(StatusSendStart));
    QCOMPARE(camera.take(11), buildStartFrame(0));
    camera.send(buildReplyFrame(StatusSendData));
    QCOMPARE(camera.take(8 + 10).right(10), buildEndFrame());
    camera.send(buildReplyFrame(StatusReceived));
    QTRY_VERIFY(logLines().contains("good.bin download complete!!!"));
    lines = logLines();
    QCOMPARE(lines.last(),
        QString::fromUtf8(
            "已发送 1 个文件 (共 8 个), 跳过: empty.bin, missing.bin, %1, large.bin, fifo.bin, 固件.bin, "
            "tab\tname.bin")
            .arg(QString(MaxNameBytes + 1, QLatin1Char('n'))));
    QVERIFY(!lines.contains(QString::fromUtf8("全部文件已经下载完成!")));
    QVERIFY(!lines.contains(QString::fromUtf8("所有文件传输完成!!!")));

    // The queue has ended: late replies are logged, and nothing answers them.
    camera.send(buildReplyFrame(StatusFailed) + buildReplyFrame(StatusSendData));
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("相机状态 4 与当前传输阶段不符, 已忽略"));
    QCOMPARE(
        logLines().at(logLines().size() - 2), QString::fromUtf8("相机状态 3 与当前传输阶段不符, 已忽略"));
    QTest::qWait(50);
    QVERIFY(camera.received.isEmpty());
    QCOMPARE(dialog->session->pieceCount(), 0);
}

// A camera that takes the connection and never answers: the transfer ends
// after the silence limit (10 s unless changed), and the next load starts afresh.
void TestFirmwareDialog::silentCameraEndsTransfer()
{
    QCOMPARE(dialog->session->silenceLimit(), 10000);
    QCOMPARE(dialog->session->phaseLimit(), DownloadSession::PhaseLimitMs);
    FakeCamera camera;
    connectDialog(camera);
    dialog->setSilenceLimit(300);
    nextFiles = QStringList { makeFile("a.bin", "0123456789") };
    press("OpenfileButton");
    press("LoadPushButton");
    const QByteArray header = *buildHeaderFrame(0x11, 14, "a.bin");
    QCOMPARE(camera.take(header.size()), header);
    QVERIFY(dialog->silenceTimer.isActive());
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("a.bin: 相机 0.3 秒内没有应答, 传输已停止!!!"));
    QVERIFY(!dialog->session->transferActive());
    QVERIFY(!dialog->silenceTimer.isActive() && !dialog->phaseTimer.isActive());

    // The same after the start frame, and after the end frame.
    press("LoadPushButton");
    QCOMPARE(camera.take(header.size()), header);
    camera.send(buildReplyFrame(StatusSendStart));
    QCOMPARE(camera.take(11), buildStartFrame(0));
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("a.bin: 相机 0.3 秒内没有应答, 传输已停止!!!"));
    press("LoadPushButton");
    QCOMPARE(camera.take(header.size()), header);
    camera.send(buildReplyFrame(StatusSendStart));
    QCOMPARE(camera.take(11), buildStartFrame(0));
    camera.send(buildReplyFrame(StatusSendData));
    QCOMPARE(camera.take(14 + 10).right(10), buildEndFrame());
    QTRY_COMPARE(logLines().last(), QString::fromUtf8("a.bin: 相机 0.3 秒内没有应答, 传输已停止!!!"));
    QVERIFY(!dialog->session->transferActive());
    QVERIFY(camera.received.isEmpty());
    QVERIFY(boxes.isEmpty());
}

// The camera drops the connection in the middle of the pieces: the transfer
// ends with a line and no wait is left pending. Then the dialog goes away in
// the middle of a second download: nothing of it runs on.
void TestFirmwareDialog::lostConnectionOrDialogEndsDownload()
{
    FakeCamera camera;
    connectDialog(camera);
    nextFiles = QStringList { makeFile("a.bin", QByteArray(100, 'a')) };
    press("OpenfileButton");
    press("LoadPushButton");
    const int headerSize = buildHeaderFrame(0x11, 104, "a.bin")->size();
    const auto startData = [&] {
        QCOMPARE(camera.take(headerSize).size(), headerSize);
        camera.send(buildReplyFrame(StatusSendStart));
        QCOMPARE(camera.take(11), buildStartFrame(0));
        camera.send(buildReplyFrame(StatusSendData));
        QCOMPARE(camera.take(104).size(), 104);
    };
    startData();
    QVERIFY(dialog->session->sendingPieces());
    camera.peer->abort();
    QTRY_VERIFY(logLines().contains("Network connection closed, the transfer is stopped!!!"));
    QVERIFY(!dialog->session->sendingPieces());
    QVERIFY(!dialog->waitTimer.isActive());

    // The connect button makes a new connection now that the old one is gone.
    QTcpSocket *const oldPeer = camera.peer;
    press("NetWorkPushButton");
    QTRY_VERIFY(camera.peer != oldPeer);
    press("LoadPushButton");
    startData();
    QVERIFY(dialog->waitTimer.isActive());
    dialog.reset();
    QTRY_COMPARE(camera.peer->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(camera.received.isEmpty());
}

QTEST_MAIN(TestFirmwareDialog)
#include "tst_firmwaredialog.moc"
