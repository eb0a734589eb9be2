// Firmware downloads end to end: the dialog against the simulated camera's
// firmware receiver (from the simulated SDK library) at 127.0.0.42, port 7766
// (this program's own port under ctest).
#include "core/testports.h"
#include "core/transfer.h"
#include "gui/firmwaredialog.h"
#include "gui/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QLibrary>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

using namespace firmware;

namespace {

const char *const CameraIp = "127.0.0.42";

using StartFn = int (*)(const char *, const char *);
using StopFn = int (*)(const char *);

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestE2eFirmware : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void threeFilesArriveIntact();
    void rejectedFileIsSentAgain();
    void restartAndReconnect();
    void announcedNames_data();
    void announcedNames();

private:
    QStringList logLines() const;
    void press(const char *button);
    QString makeFile(const QString &name, const QByteArray &content);
    void startReceiver(int rejectFiles);
    void downloadAll(const QStringList &files);

    QLibrary sdk;
    StartFn startReceiverFn = nullptr;
    StopFn stopReceiverFn = nullptr;
    StopFn restartsFn = nullptr;
    std::unique_ptr<QTemporaryDir> sourceDir;
    std::unique_ptr<QTemporaryDir> cameraDir;
    std::unique_ptr<FirmWareDialog> dialog;
    QStringList boxes;
    QStringList nextFiles;
};

void TestE2eFirmware::initTestCase()
{
    const QString path = qEnvironmentVariable("TAVIX_TEST_SDK");
    QVERIFY2(!path.isEmpty(), "TAVIX_TEST_SDK names the simulated SDK library");
    sdk.setFileName(path);
    QVERIFY2(sdk.load(), qPrintable(sdk.errorString()));
    startReceiverFn = reinterpret_cast<StartFn>(sdk.resolve("linksim_firmware_receiver_start"));
    stopReceiverFn = reinterpret_cast<StopFn>(sdk.resolve("linksim_firmware_receiver_stop"));
    restartsFn = reinterpret_cast<StopFn>(sdk.resolve("linksim_firmware_restarts"));
    QVERIFY(startReceiverFn && stopReceiverFn && restartsFn);
    qputenv("LINKSIM_RESTART_MS", "2000");
}

void TestE2eFirmware::init()
{
    sourceDir = std::make_unique<QTemporaryDir>();
    cameraDir = std::make_unique<QTemporaryDir>();
    boxes.clear();
    dialog = std::make_unique<FirmWareDialog>();
    msgbox::setHandler([this](const msgbox::Request &box) {
        boxes << box.text;
        return QMessageBox::Ok;
    });
    dialog->setFileDialogHook(
        [this](QWidget *, const QString &, const QString &, const QString &) { return nextFiles; });
    dialog->read_ip(QLatin1String(CameraIp));
}

void TestE2eFirmware::cleanup()
{
    dialog.reset();
    stopReceiverFn(CameraIp);
    QVERIFY(boxes.isEmpty());
}

QStringList TestE2eFirmware::logLines() const
{
    return dialog->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))
        ->toPlainText()
        .split(QLatin1Char('\n'));
}

void TestE2eFirmware::press(const char *button)
{
    auto *widget = dialog->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton);
}

QString TestE2eFirmware::makeFile(const QString &name, const QByteArray &content)
{
    const QString path = sourceDir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

void TestE2eFirmware::startReceiver(int rejectFiles)
{
    qputenv("LINKSIM_REJECT_FILES", QByteArray::number(rejectFiles));
    QCOMPARE(startReceiverFn(CameraIp, QFile::encodeName(cameraDir->path()).constData()), 0);
    qunsetenv("LINKSIM_REJECT_FILES");
}

void TestE2eFirmware::downloadAll(const QStringList &files)
{
    press("NetWorkPushButton");
    QVERIFY(logLines().contains("NOW is network success!"));
    nextFiles = files;
    press("OpenfileButton");
    press("LoadPushButton");
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains(QString::fromUtf8("所有文件传输完成!!!")), 60000);
}

void TestE2eFirmware::threeFilesArriveIntact()
{
    startReceiver(0);
    const QByteArray small = randomBytes(10);
    const QByteArray big = randomBytes(int(PieceSize) + 4000);
    const QByteArray config = randomBytes(1000);
    dialog->findChild<QComboBox *>(QStringLiteral("FileTypeComboBox"))->setCurrentIndex(2);
    downloadAll({ makeFile("small.bin", small), makeFile("big.bin", big), makeFile("camera.cfg", config) });

    QDir camera(cameraDir->path());
    QCOMPARE(
        camera.entryList(QDir::Files, QDir::Name), (QStringList { "big.bin", "camera.cfg", "small.bin" }));
    QVERIFY(readAll(camera.filePath("small.bin")) == small);
    QVERIFY(readAll(camera.filePath("big.bin")) == big);
    QVERIFY(readAll(camera.filePath("camera.cfg")) == config);
    for (const char *name : { "small.bin", "big.bin", "camera.cfg" })
        QVERIFY(logLines().contains(QLatin1String(name) + QLatin1String(" download complete!!!")));
    QCOMPARE(dialog->session->fileIndex(), 0);
    QCOMPARE(dialog->session->retryCount(), 0);
}

void TestE2eFirmware::rejectedFileIsSentAgain()
{
    startReceiver(1);
    const QByteArray content = randomBytes(5000);
    downloadAll({ makeFile("boot.bin", content) });

    const QStringList lines = logLines();
    const int failed = lines.indexOf("defeated once again!!!");
    QVERIFY(failed >= 0);
    QCOMPARE(lines.value(failed + 1), QStringLiteral("boot.bin download defaulted!!!"));
    QCOMPARE(lines.value(failed + 2), QString::fromUtf8("重新传输当前文件!!!"));
    QVERIFY(lines.indexOf("boot.bin download complete!!!") > failed);
    QCOMPARE(dialog->session->retryCount(), 1);
    QVERIFY(readAll(QDir(cameraDir->path()).filePath("boot.bin")) == content);
}

void TestE2eFirmware::restartAndReconnect()
{
    startReceiver(0);

    // The camera drops the connection on a restart frame and refuses new ones for a while.
    QTcpSocket probe;
    probe.connectToHost(QLatin1String(CameraIp), firmwarePortWithTestOverride());
    QVERIFY(probe.waitForConnected(5000));
    probe.write(buildRestartFrame());
    QVERIFY(probe.waitForDisconnected(5000));
    QCOMPARE(restartsFn(CameraIp), 1);
    QTcpSocket early;
    early.connectToHost(QLatin1String(CameraIp), firmwarePortWithTestOverride());
    QVERIFY(!early.waitForConnected(1000));
    QCOMPARE(early.error(), QAbstractSocket::ConnectionRefusedError);
    QTRY_VERIFY_WITH_TIMEOUT(
        [] {
            QTcpSocket again;
            again.connectToHost(QLatin1String(CameraIp), firmwarePortWithTestOverride());
            return again.waitForConnected(1000);
        }(),
        10000);

    // The dialog's restart: frame, log line, then a connection once the camera
    // is back, not one made before the camera went down.
    press("NetWorkPushButton");
    press("RestartPushButton");
    const QStringList lines = logLines();
    QCOMPARE(lines.mid(lines.size() - 2),
        (QStringList { QString::fromUtf8("相机重启!!!"), "NOW is network success!" }));
    QCOMPARE(restartsFn(CameraIp), 2);

    // The new connection carries a download.
    const QByteArray content = randomBytes(300);
    nextFiles = QStringList { makeFile("after-restart.bin", content) };
    press("OpenfileButton");
    press("LoadPushButton");
    QTRY_VERIFY_WITH_TIMEOUT(logLines().contains(QString::fromUtf8("所有文件传输完成!!!")), 30000);
    QVERIFY(readAll(QDir(cameraDir->path()).filePath("after-restart.bin")) == content);
}

// The camera keeps a file only under a name that stays inside its folder:
// on Windows "\\", ":" and the device names count as well.
void TestE2eFirmware::announcedNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("posixAccepts");
    QTest::addColumn<bool>("windowsAccepts");
    QTest::newRow("plain") << QByteArray("boot.bin") << true << true;
    QTest::newRow("parent") << QByteArray("..") << false << false;
    QTest::newRow("slash") << QByteArray("../boot.bin") << false << false;
    QTest::newRow("control") << QByteArray("boot\nbin") << false << false;
    QTest::newRow("backslash") << QByteArray("..\\boot.bin") << true << false;
    QTest::newRow("drive") << QByteArray("C:boot.bin") << true << false;
    QTest::newRow("stream") << QByteArray("boot.bin:extra") << true << false;
    QTest::newRow("device") << QByteArray("NUL") << true << false;
    QTest::newRow("device with extension") << QByteArray("com1.txt") << true << false;
    QTest::newRow("not a device") << QByteArray("com10.txt") << true << true;
    QTest::newRow("trailing dot") << QByteArray("boot.") << true << false;
    QTest::newRow("wildcard") << QByteArray("boot*.bin") << true << false;
}

void TestE2eFirmware::announcedNames()
{
    QFETCH(QByteArray, name);
#ifdef Q_OS_WIN
    QFETCH(bool, windowsAccepts);
    const bool accepted = windowsAccepts;
#else
    QFETCH(bool, posixAccepts);
    const bool accepted = posixAccepts;
#endif
    startReceiver(0);
    QTcpSocket camera;
    camera.connectToHost(QLatin1String(CameraIp), firmwarePortWithTestOverride());
    QVERIFY(camera.waitForConnected(5000));
    const std::optional<QByteArray> header = buildHeaderFrame(1, 16, name);
    QVERIFY(header);
    camera.write(*header);
    QByteArray replies;
    std::optional<Reply> reply;
    while (!reply && camera.waitForReadyRead(5000)) {
        replies += camera.readAll();
        reply = parseReply(replies);
    }
    QVERIFY(reply);
    QCOMPARE(int(reply->status), int(accepted ? StatusSendStart : StatusFailed));
}

QTEST_MAIN(TestE2eFirmware)
#include "tst_e2e_firmware.moc"
