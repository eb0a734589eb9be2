// The main window's parameter side through its widgets: the property table and
// its Set buttons, camera replies, the other parameter controls and parameter
// files. A UDP socket at the camera's loopback address, port 3956 (this program's
// own port under ctest), stands in for
// the camera: it receives what Tavix sends and sends the replies.
#include "camera/sdkbinding.h"
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "core/paramfile.h"
#include "core/portclaim.h"
#include "core/testports.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"
#include "gui/settings.h"
#include "tests/fakesdk.h"
#include "tests/fifoguard.h"
#include "tests/filesizelimit.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMutex>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

const QHostAddress kCameraIp(QStringLiteral("127.0.0.41"));
const QByteArray kCameraMac = QByteArray::fromHex("001122334455");
const quint16 kPort = commandPortWithTestOverride();

QMutex logMutex; // the worker thread logs too
QStringList logLines;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    QMutexLocker lock(&logMutex);
    logLines << text;
}
QStringList takeLog()
{
    QMutexLocker lock(&logMutex);
    return std::exchange(logLines, {});
}

QByteArray reply(quint8 cmd, quint16 id, const QByteArray &payload)
{
    return cmdproto::buildFrame(cmdproto::kDirReply, cmd, id, {}, payload);
}

} // namespace

class TestNetParamView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void openBuildsTableAndQueries();
    void valueChecks();
    void rowsZeroAndOneGoToTheWorker();
    void otherControlsSend();
    void repliesFillTable();
    void oneNotificationReadsEveryDatagram();
    void rememberedValuesAndSave();
    void filesWithoutSet();
    void saveAsAndRecentFiles();
    void failedBindIsLoggedAndStillSends();
    void claimedPortIsAnnouncedAndStillUsed();

private:
    // A window with its camera selected and the parameter view opened; the
    // parameter query is taken from the camera socket.
    void openWindow();
    // The next request the camera receives.
    QByteArray nextRequest();
    // Sends a marker request (the 60 fps action) and returns the id of the next
    // request the camera receives: 0xA001 when nothing was sent before the marker.
    quint16 sendMarker();
    quint16 nextId()
    {
        const QByteArray request = nextRequest();
        return request.size() < 9 ? 0 : quint16(quint8(request[7]) | quint8(request[8]) << 8);
    }
    void setRow(int row, const QString &text);
    QString cell(int row) const { return table->item(row, 1) ? table->item(row, 1)->text() : QString(); }
    void toTool(const QByteArray &datagram)
    {
        camera->writeDatagram(datagram, QHostAddress::LocalHost, kPort);
    }
    template <typename T> T *find(const char *name) const
    {
        T *child = window->findChild<T *>(QLatin1String(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }

    std::unique_ptr<QUdpSocket> camera;
    std::unique_ptr<MainWindow> window;
    QTableWidget *table = nullptr;
    QList<msgbox::Request> boxes;
    QList<filedialog::Request> dialogs;
    QString chosenFile;
    QTemporaryDir dir;
};

void TestNetParamView::initTestCase()
{
    qInstallMessageHandler(captureLog);
    // One camera at kCameraIp.
    fake::Camera cam { "ParamCam", {}, {} };
    const quint32 ip = kCameraIp.toIPv4Address();
    for (int i = 0; i < 4; ++i)
        cam.ip[i] = uchar(ip >> (24 - 8 * i));
    std::memcpy(cam.mac, kCameraMac.constData(), 6);
    fake::setCameras({ cam });
    fake::install();
    QApplication::setQuitOnLastWindowClosed(false);
    msgbox::setHandler([this](const msgbox::Request &r) {
        boxes << r;
        return QMessageBox::Yes;
    });
    filedialog::setHandler([this](const filedialog::Request &r) {
        dialogs << r;
        return chosenFile;
    });
    QVERIFY(dir.isValid());
}

void TestNetParamView::cleanup()
{
    window.reset();
    camera.reset();
    boxes.clear();
    dialogs.clear();
    fake::clear();
    takeLog();
}

void TestNetParamView::openWindow()
{
    camera = std::make_unique<QUdpSocket>();
    QVERIFY2(camera->bind(kCameraIp, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint),
        qPrintable(camera->errorString()));
    window = std::make_unique<MainWindow>();
    table = find<QTableWidget>("tableWidget");
    find<QListWidget>("listWidget")->setCurrentRow(0);
    find<QAction>("InitOpenAct")->trigger();
    QCOMPARE(nextRequest(), QByteArray::fromHex("680100 68C3020001B14816"));
}

QByteArray TestNetParamView::nextRequest()
{
    if (!camera->hasPendingDatagrams()) {
        QSignalSpy ready(camera.get(), &QUdpSocket::readyRead);
        if (!ready.wait(5000))
            return QByteArray("(no request)");
    }
    QByteArray datagram(int(camera->pendingDatagramSize()), '\0');
    camera->readDatagram(datagram.data(), datagram.size());
    return datagram;
}

quint16 TestNetParamView::sendMarker()
{
    find<QAction>("rate2action")->trigger();
    return nextId();
}

void TestNetParamView::setRow(int row, const QString &text)
{
    table->item(row, 1)->setText(text);
    qobject_cast<QPushButton *>(table->cellWidget(row, 2))->click();
}

void TestNetParamView::openBuildsTableAndQueries()
{
    openWindow();
    QCOMPARE(cell(0), QStringLiteral("127.0.0.41"));
    QCOMPARE(cell(1), QStringLiteral("ParamCam"));
    QVERIFY(!(table->item(7, 0)->flags() & Qt::ItemIsEditable));
    // The form's row labels are the catalogue's rows.
    QStringList labels;
    for (int row = 0; row < table->rowCount(); ++row)
        labels << table->item(row, 0)->text();
    QCOMPARE(labels, paramcat::rowLabels());
    QVERIFY(takeLog().contains(QStringLiteral("CameraSetView Init!")));

    // A row's Set sends its parameter write with the camera's MAC.
    setRow(10, QStringLiteral("300"));
    QCOMPARE(nextRequest(), QByteArray::fromHex("680100 68C20C0005A0 001122334455 2C010500 75 16"));
}

void TestNetParamView::valueChecks()
{
    openWindow();
    auto *save = find<QAction>("Saveaction");
    auto *saveAs = find<QAction>("SaveAsaction");

    setRow(5, QString());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("warning"));
    QCOMPARE(boxes[0].text, QStringLiteral("The Value is NULL!"));
    QCOMPARE(boxes[0].parent, nullptr);
    QCOMPARE(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(boxes[0].defaultButton, QMessageBox::Yes);
    QVERIFY(!save->isEnabled() && !MainWindowProbe::edited(*window));

    // A refused value of any kind shows the table's warning and is no edit:
    // nothing is sent, handed to the worker, remembered or enables Save.
    const struct {
        int row;
        const char *text;
        const char *warning;
    } refused[] = {
        { 26, "2", "The Value only is 0/1!" },
        { 7, "abc", "The Value only is a decimal number from 0 to 4294967295!" },
        { 23, "123456789", "The Value is longer than 8 bytes!" },
        { 24, "0x12", "The Value only is hexadecimal digits (0-9, A-F)!" },
        { 0, "0.0.0.0", "The IP 0.0.0.0 names no host: it cannot be a camera's address!" },
        { 1, "相机一号", "The Name cannot hold \"相\" (U+76F8): the camera takes Latin-1 characters only!" },
    };
    for (const auto &r : refused) {
        boxes.clear();
        setRow(r.row, QString::fromUtf8(r.text));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("warning"));
        QCOMPARE(boxes[0].text, QString::fromUtf8(r.warning));
        QCOMPARE(boxes[0].parent, nullptr);
        QCOMPARE(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(!save->isEnabled() && !saveAs->isEnabled() && !MainWindowProbe::edited(*window), r.text);
    }
    QVERIFY(fake::takeCalls({ "SetIp", "SetName" }).isEmpty());
    QCOMPARE(find<QLineEdit>("IPlineEdit")->text(), QStringLiteral("127.0.0.41"));
    QCOMPARE(find<QLineEdit>("NamelineEdit")->text(), QStringLiteral("ParamCam"));
    QCOMPARE(sendMarker(), quint16(0xA001)); // nothing went out before it

    // A refused text does not replace the remembered value: Save writes the last accepted one.
    setRow(7, QStringLiteral("500"));
    QCOMPARE(nextId(), quint16(0xA002));
    setRow(7, QStringLiteral("-1"));
    chosenFile = dir.filePath(QStringLiteral("refused.json"));
    find<QAction>("Saveaction")->trigger();
    QCOMPARE(paramfile::loadParameterFile(chosenFile).values.value(7), QStringLiteral("500"));
    QCOMPARE(sendMarker(), quint16(0xA001));
}

void TestNetParamView::rowsZeroAndOneGoToTheWorker()
{
    openWindow();
    setRow(0, QStringLiteral("127.0.0.77"));
    setRow(1, QStringLiteral("Renamed"));
    QCOMPARE(
        fake::takeCalls({ "SetIp", "SetName" }), (QStringList { "SetIp 0 127.0.0.77", "SetName 0 Renamed" }));
    QCOMPARE(find<QLineEdit>("IPlineEdit")->text(), QStringLiteral("127.0.0.77"));
    QCOMPARE(find<QLineEdit>("NamelineEdit")->text(), QStringLiteral("Renamed"));
    QVERIFY(!find<QAction>("Saveaction")->isEnabled() && !MainWindowProbe::edited(*window));
    QCOMPARE(sendMarker(), quint16(0xA001));
}

void TestNetParamView::otherControlsSend()
{
    openWindow();
    find<QAction>("rate1action")->trigger();
    QCOMPARE(nextRequest(), QByteArray::fromHex("680100 68C20D0001A0 001122334455 000000001E 5E 16"));

    find<QComboBox>("comboBox")->setCurrentIndex(1);
    find<QPushButton>("sc4210Button")->click();
    QCOMPARE(nextRequest(), QByteArray::fromHex("680100 68C302001FA0 55 16"));
    QVERIFY(takeLog().contains(QStringLiteral("1F!!!!!!")));

    find<QComboBox>("a022SetBox")->setCurrentIndex(1);
    find<QPushButton>("a022SetBtn")->click();
    QCOMPARE(nextRequest(), QByteArray::fromHex("680100 68C3030022A0 01 5A 16"));
    // None of them is an edit.
    QVERIFY(!find<QAction>("Saveaction")->isEnabled());
}

void TestNetParamView::repliesFillTable()
{
    openWindow();
    setRow(7, QStringLiteral("555")); // remembered; the report must not change that
    nextRequest();
    table->item(7, 1)->setText(QStringLiteral("typing"));

    // Only the selected camera may answer: a report or acknowledgement from
    // another address is dropped with the sender in the log, before the
    // camera's own report (loopback delivers them in this order).
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.42")), 0));
    stranger.writeDatagram(reply(0xC3, 0xB101, R"({"A002_baoguang_time":7777,"A00C_ruihua_qiangdu":66})"),
        QHostAddress::LocalHost, kPort);
    stranger.writeDatagram(reply(0xC2, 0xA001, QByteArray(1, '\x01')), QHostAddress::LocalHost, kPort);
    toTool(reply(0xC3, 0xB101,
        R"({"A001_rate":30,"A002_baoguang_time":1000,"A00B_ruihua_fazhi":12.7,"A00C_ruihua_qiangdu":1e400,)"
        R"("A00D_x":9,"model":"sim"})"));
    QTRY_COMPARE(cell(22), QStringLiteral("30"));
    QCOMPARE(cell(7), QStringLiteral("1000"));
    QCOMPARE(cell(2), QStringLiteral("12.7"));
    QCOMPARE(cell(3), QString::fromUtf8("超出范围")); // no number the camera could mean
    QCOMPARE(cell(4), QString());
    const QStringList log = takeLog();
    QCOMPARE(log.filter(QStringLiteral("command reply from 127.0.0.42:%1 dropped: not the selected camera "
                                       "(127.0.0.41)")
                            .arg(stranger.localPort()))
                 .size(),
        2);
    QVERIFY(!log.contains(QStringLiteral("set success:>40961")));

    // A wrong checksum is logged, and the report still applied.
    QByteArray badSum = reply(0xC3, 0xB101, R"({"A001_rate":28})");
    badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
    toTool(badSum);
    QTRY_COMPARE(cell(22), QStringLiteral("28"));
    QVERIFY(!takeLog().filter(QStringLiteral("command reply C3 B101: checksum")).isEmpty());

    // Later replies win; malformed ones change nothing.
    toTool(reply(0xC3, 0xB101, R"({"A001_rate":25})"));
    QByteArray outbound = reply(0xC3, 0xB101, R"({"A001_rate":99})");
    outbound[1] = 0x01;
    toTool(outbound);
    toTool(QByteArray::fromHex("680200 68C3030001B1"));
    toTool(reply(0xC3, 0xB101, "not json"));
    toTool(reply(0xC3, 0xB101, R"({"A00C_ruihua_qiangdu":7})"));
    QTRY_COMPARE(cell(3), QStringLiteral("7"));
    QCOMPARE(cell(22), QStringLiteral("25"));

    chosenFile = dir.filePath(QStringLiteral("report.json"));
    find<QAction>("Saveaction")->trigger();
    QCOMPARE(paramfile::loadParameterFile(chosenFile).values.value(7), QStringLiteral("555"));
}

void TestNetParamView::oneNotificationReadsEveryDatagram()
{
    openWindow();
    takeLog();
    // Loopback hands each datagram to the receiving socket within the send call,
    // so all three wait in the socket before the window reads once.
    toTool(reply(0xC2, 0xA001, QByteArray(1, '\x01')));
    toTool(QByteArray::fromHex("68020068C301"));
    toTool(reply(0xC3, 0xB101, R"({"A001_rate":45})"));
    QVERIFY(QMetaObject::invokeMethod(
        &MainWindowProbe::commandChannel(*window), "read_data", Qt::DirectConnection));
    QCOMPARE(cell(22), QStringLiteral("45"));
    const QStringList log = takeLog();
    QVERIFY(log.contains(QStringLiteral("set success:>40961")));
    QVERIFY(log.filter(QStringLiteral("command reply dropped")).size() == 1);
}

void TestNetParamView::rememberedValuesAndSave()
{
    openWindow();
    setRow(9, QStringLiteral("100"));
    chosenFile = dir.filePath(QStringLiteral("brightness.json"));
    find<QAction>("Saveaction")->trigger();
    QCOMPARE(dialogs.size(), 1);
    QCOMPARE(dialogs[0].kind, filedialog::Request::Kind::Save);
    QCOMPARE(dialogs[0].parent, window.get());
    QCOMPARE(dialogs[0].caption, QStringLiteral("Open File"));
    QCOMPARE(dialogs[0].filter, QStringLiteral("Text File(*.json)"));
    QFile saved(chosenFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray expected = "[\n    {\n";
    for (const char *key : { "B-colorBlack", "Blue-Gain", "Brightness", "ExposureEnable", "ExposureTime",
             "G-colorBlack", "GlobalGain", "Green-blueGain", "Green-redGain", "R-colorBlack", "Red-Gain",
             "ReverseLeftAndRightImage", "SharpenAmount", "SharpeningThreshold", "SoberDebug1", "SoberDebug2",
             "SoberEnable", "SoberMat", "SoberThreshold", "Upside-downImage" }) {
        expected
            += "        \"" + QByteArray(key) + "\": \"" + (qstrcmp(key, "Brightness") ? "" : "100") + "\"";
        expected += qstrcmp(key, "Upside-downImage") ? ",\n" : "\n";
    }
    expected += "    }\n]\n";
    QCOMPARE(saved.readAll(), expected);

    // Remembered values are per row and outlive a new set-up of the table.
    setRow(6, QStringLiteral("12"));
    setRow(28, QStringLiteral("40"));
    QCOMPARE(nextId(), quint16(0xA004));
    QCOMPARE(nextId(), quint16(0xA00F));
    QCOMPARE(nextId(), quint16(0xA020));
    find<QAction>("InitOpenAct")->trigger();
    QCOMPARE(nextId(), quint16(0xB101));
    QVERIFY(takeLog().contains(QStringLiteral("command socket reused, local port %1").arg(kPort)));
    for (int row = 2; row < 30; ++row)
        QCOMPARE(cell(row), QString());
    chosenFile = dir.filePath(QStringLiteral("after.json"));
    find<QAction>("Saveaction")->trigger();
    const paramfile::RowValues values = paramfile::loadParameterFile(chosenFile).values;
    QCOMPARE(values.value(6), QStringLiteral("12"));
    QCOMPARE(values.value(9), QStringLiteral("100"));

    // Loading replaces the remembered values of rows 2 to 21 too: a later Save
    // writes what was loaded, and rows the file lacks are empty.
    QFile only(chosenFile);
    QVERIFY(only.open(QIODevice::WriteOnly | QIODevice::Truncate));
    only.write(R"({"ExposureTime": "500"})");
    only.close();
    find<QAction>("newFileaction")->trigger();
    find<QAction>("Saveaction")->trigger();
    const paramfile::RowValues reloaded = paramfile::loadParameterFile(chosenFile).values;
    QCOMPARE(reloaded.value(7), QStringLiteral("500"));
    QCOMPARE(reloaded.value(6), QString());
    QCOMPARE(reloaded.value(9), QString());

    // A save that fails says so and why, and leaves the file that was there whole:
    // a path that is no file, and a disk that fills up during the write.
    QFile before(chosenFile);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray whole = before.readAll();
    before.close();
    const QString file = chosenFile;
    for (const QString &path : { dir.path(), file }) {
        takeLog();
        boxes.clear();
        chosenFile = path;
        {
            const FileSizeLimit full(100);
            if (!full.active())
                QSKIP("No limit on a file's size here (RLIMIT_FSIZE) to fill the disk with");
            find<QAction>("Saveaction")->trigger();
        }
        QVERIFY(!takeLog().filter(QStringLiteral("file open")).isEmpty());
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].parent, window.get());
        QCOMPARE(boxes[0].title, QStringLiteral("error"));
        QCOMPARE(boxes[0].buttons, QMessageBox::Ok);
        QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Save file error! The file was not saved ("))
                && boxes[0].text.endsWith(QStringLiteral("); any file that was there is unchanged.")),
            qPrintable(boxes[0].text));
    }
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), whole);
}

void TestNetParamView::saveAsAndRecentFiles()
{
    settings::setApplicationNames();
    QSettings::setPath(
        QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
    settings::setRecentFiles({});
    openWindow();
    auto *menu = find<QMenu>("RecentFilesmenu");
    const auto entries = [menu] {
        emit menu->aboutToShow(); // as the submenu opens
        QStringList texts;
        for (QAction *entry : menu->actions())
            texts << entry->text();
        return texts;
    };
    QCOMPARE(entries(), QStringList({ "(没有最近打开的文件)" }));

    // Save as: the twenty members, like Save, under a name asked for anew.
    setRow(9, QStringLiteral("100"));
    const QString first = dir.filePath(QStringLiteral("first.json"));
    const QString second = dir.filePath(QStringLiteral("second.json"));
    chosenFile = first;
    find<QAction>("SaveAsaction")->trigger();
    QCOMPARE(dialogs.last().kind, filedialog::Request::Kind::Save);
    QCOMPARE(dialogs.last().caption, QStringLiteral("另存为"));
    QCOMPARE(paramfile::loadParameterFile(first).values.value(9), QStringLiteral("100"));
    chosenFile = second;
    find<QAction>("SaveAsaction")->trigger();
    QCOMPARE(dialogs.last().dir, dir.path()); // where the last file went
    QVERIFY(QFile::exists(second));

    // Newest first; a file used again moves to the front, not in twice.
    chosenFile = first;
    find<QAction>("newFileaction")->trigger();
    QCOMPARE(settings::recentFiles(), QStringList({ first, second }));
    QCOMPARE(entries(), QStringList({ "&1 " + first, "&2 " + second }));

    // A missing file is marked so, and refused with a box when chosen.
    QVERIFY(QFile::remove(second));
    QCOMPARE(entries().value(1), "&2 " + second + " (文件不存在)");
    table->item(9, 1)->setText(QStringLiteral("7"));
    boxes.clear();
    menu->actions().at(1)->trigger();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("最近打开"));
    QVERIFY(boxes[0].text.contains(QDir::toNativeSeparators(second)));
    QCOMPARE(cell(9), QStringLiteral("7"));
    // An existing one is loaded without a dialog.
    const int asked = dialogs.size();
    menu->actions().at(0)->trigger();
    QCOMPARE(cell(9), QStringLiteral("100"));
    QCOMPARE(dialogs.size(), asked);

    // At most eight, the oldest going first.
    for (int i = 0; i < 9; ++i)
        settings::addRecentFile(dir.filePath(QStringLiteral("f%1.json").arg(i)));
    const QStringList kept = settings::recentFiles();
    QCOMPARE(kept.size(), 8);
    QCOMPARE(kept.first(), dir.filePath(QStringLiteral("f8.json")));
    QCOMPARE(kept.last(), dir.filePath(QStringLiteral("f1.json")));
    QCOMPARE(entries().size(), 8);
}

void TestNetParamView::filesWithoutSet()
{
    // No parameter view needed: the file actions work on the remembered values.
    window = std::make_unique<MainWindow>();
    table = find<QTableWidget>("tableWidget");
    auto *save = find<QAction>("Saveaction");
    // Commands before the parameter view exists are neither sent nor logged.
    find<QAction>("rate1action")->trigger();
    QVERIFY(takeLog().filter(QStringLiteral("cmd = ")).isEmpty());

    save->setEnabled(true); // the menu entry is disabled; the slot must refuse on its own
    save->trigger();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].parent, window.get());
    QCOMPARE(boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(boxes[0].title, QStringLiteral("warning!"));
    QCOMPARE(boxes[0].text, QStringLiteral("The Set is Null,please edit !"));
    QVERIFY(dialogs.isEmpty());

    chosenFile = dir.filePath(QStringLiteral("exposure.json"));
    QFile file(chosenFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"ExposureTime": "500", "GlobalGain": 16})");
    file.close();
    table->setItem(14, 1, new QTableWidgetItem(QStringLiteral("typed")));
    find<QAction>("newFileaction")->trigger();
    QCOMPARE(dialogs.last().kind, filedialog::Request::Kind::Open);
    QCOMPARE(dialogs.last().parent, window.get());
    QCOMPARE(dialogs.last().caption, QStringLiteral("Open File"));
    QCOMPARE(dialogs.last().filter, QStringLiteral("Text File(*.json)"));
    QCOMPARE(cell(7), QStringLiteral("500"));
    QCOMPARE(cell(14), QStringLiteral("16")); // a number stands for its text
    QCOMPARE(boxes.size(), 1);

    // Loading is not an edit: Save still refuses.
    save->trigger();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].text, QStringLiteral("The Set is Null,please edit !"));

    // A file that is not JSON, or whose members hold other kinds of values, is
    // reported and changes nothing.
    const struct {
        const char *bytes;
        const char *text;
    } refused[] = {
        { "[{\"ExposureTime\": ", "Json is error!" },
        { R"({"ExposureTime": "1", "GlobalGain": true, "SoberMat": null})",
            "Json is error! These members hold neither a text nor a number: GlobalGain, SoberMat" },
    };
    for (const auto &r : refused) {
        boxes.clear();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(r.bytes);
        file.close();
        find<QAction>("newFileaction")->trigger();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].parent, window.get());
        QCOMPARE(boxes[0].title, QStringLiteral("error"));
        QCOMPARE(boxes[0].text, QString::fromUtf8(r.text));
        QCOMPARE(cell(7), QStringLiteral("500"));
        QCOMPARE(cell(14), QStringLiteral("16"));
    }

    boxes.clear();
    chosenFile = dir.filePath(QStringLiteral("missing.json"));
    find<QAction>("newFileaction")->trigger();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].parent, window.get());
    QCOMPARE(boxes[0].title, QStringLiteral("error"));
    QCOMPARE(boxes[0].text, QStringLiteral("Open file error!"));
    QCOMPARE(boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(cell(7), QStringLiteral("500"));

    // A FIFO is refused before it is opened: the window does not wait for a writer.
    boxes.clear();
    chosenFile = dir.filePath(QStringLiteral("pipe.json"));
#ifdef Q_OS_WIN
    QSKIP("Windows has no FIFOs in its file system");
#endif
    FifoGuard fifo(FifoGuard::Make, chosenFile);
    QVERIFY(fifo.made());
    fifo.arm();
    find<QAction>("newFileaction")->trigger();
    QVERIFY2(!fifo.disarm(), "the window waited for a writer");
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].parent, window.get());
    QCOMPARE(boxes[0].title, QStringLiteral("error"));
    QCOMPARE(
        boxes[0].text, QStringLiteral("Open file error! This is a FIFO (named pipe), not a regular file."));
    QCOMPARE(cell(7), QStringLiteral("500"));
}

void TestNetParamView::failedBindIsLoggedAndStillSends()
{
    // A socket that does not share the port keeps Tavix from binding it; being
    // bound to the any-address, it also receives what is sent to the camera.
    QUdpSocket blocker;
    QVERIFY2(blocker.bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::DontShareAddress),
        qPrintable(blocker.errorString()));
    window = std::make_unique<MainWindow>();
    find<QListWidget>("listWidget")->setCurrentRow(0);
    find<QAction>("InitOpenAct")->trigger();
    QVERIFY(!takeLog().filter(QStringLiteral("cannot bind UDP port %1").arg(kPort)).isEmpty());
    QSignalSpy ready(&blocker, &QUdpSocket::readyRead);
    QVERIFY(blocker.hasPendingDatagrams() || ready.wait(5000));
    QByteArray query(int(blocker.pendingDatagramSize()), '\0');
    blocker.readDatagram(query.data(), query.size());
    QCOMPARE(query, QByteArray::fromHex("68010068C3020001B14816"));
}

void TestNetParamView::claimedPortIsAnnouncedAndStillUsed()
{
    // Another program holds the claim on the command port: the window says so
    // for good, and still sends (openWindow takes the query at the camera).
    auto holder = std::make_unique<PortClaim>(PortClaim::udpName(kPort));
    QCOMPARE(holder->claim(), PortClaim::Outcome::Claimed);
    openWindow();
    const QString text = QStringLiteral("Another program, %1 (process %2), already uses the command port %3: "
                                        "camera replies may go to it.")
                             .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                             .arg(QCoreApplication::applicationPid())
                             .arg(kPort);
    QCOMPARE(window->statusBar()->currentMessage(), text);
    QVERIFY(takeLog().contains(text));
    toTool(reply(cmdproto::kCmdWrite, paramcat::kIdExposureTime, QByteArray(1, '\x01')));
    const auto acknowledged = [] {
        QMutexLocker lock(&logMutex);
        return logLines.contains(QStringLiteral("set success:>40962"));
    };
    QTRY_VERIFY(acknowledged());

    // Once the other program is gone, the next window claims the port quietly.
    cleanup();
    holder.reset();
    openWindow();
    QCOMPARE(window->statusBar()->currentMessage(), QString());
    QCOMPARE(PortClaim(PortClaim::udpName(kPort)).claim(), PortClaim::Outcome::HeldElsewhere);
}

QTEST_MAIN(TestNetParamView)
#include "tst_net_paramview.moc"
