// Binds the command port (the open action builds the parameter view), hence the tst_net_ name;
// the fake cameras live on loopback addresses where nothing answers.
// The main window against an in-process stand-in for the camera SDK: start-up
// state, the form, the camera list, the actions, frames on screen and snapshots.
#include "camera/sdkbinding.h"
#include "camera/workthread.h"
#include "core/paramcatalogue.h"
#include "gui/messagebox.h"
#include "gui/picturewidget.h"
#include "gui/statisticsdock.h"
#include "tests/fakesdk.h"
#include "tests/filesizelimit.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMutex>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <cstring>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------
// The cameras the recording SDK stand-in enumerates by default.
namespace fake {

const std::vector<Camera> threeCameras = {
    { "Cam-A", { 127, 0, 0, 210 }, { 0x00, 0x1A, 0x2B, 0x03, 0x4D, 0x5E } },
    { "Cam-B", { 127, 0, 0, 211 }, { 0x00, 0xE0, 0x4C, 0x68, 0x01, 0x02 } },
    { "Cam-C", { 127, 0, 0, 212 }, { 0x02, 0x00, 0x00, 0x00, 0x00, 0xFF } },
};

} // namespace fake

Q_DECLARE_METATYPE(std::vector<fake::Camera>)

// ---------------------------------------------------------------------------
// Debug log capture.
namespace logcap {
QMutex mutex;
QStringList lines;
QtMessageHandler previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    {
        QMutexLocker lock(&mutex);
        lines << text;
    }
    if (type != QtDebugMsg && previous)
        previous(type, context, text);
}
QStringList take()
{
    QMutexLocker lock(&mutex);
    return std::exchange(lines, {});
}
} // namespace logcap

// Receives the URLs the desktop services are asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupState();
    void formFacts();
    void iconsAndResources();
    void cameraList();
    void emptyNamesKeepRecordsApart();
    void noCurrentRowLeavesWorkerAlone();
    void contextMenu();
    void cameraActionsForwardTheSelectedRecord();
    void openAction();
    void openWithEmptyList();
    void openCameraByRecord_data();
    void openCameraByRecord();
    void valueColumnShowsWholeValues();
    void escActionClosesTwiceAndQuits();
    void closingWindowClosesCamera();
    void inertActions();
    void helpAndFirmwareActions();
    void frameCounters();
    void pictureShowsNewestFrame();
    void wheelZoomsAroundTheCursor();
    void idleWindowDoesNotRepaint();
    void snapshotWithoutFrame();
    void snapshotSavesFrame_data();
    void snapshotSavesFrame();
    void snapshotNotSaved_data();
    void snapshotNotSaved();
    void snapshotsWithinOneMillisecond();
    void cameraFaultsInStatusBar_data();
    void cameraFaultsInStatusBar();

private:
    std::unique_ptr<MainWindow> makeWindow(const std::vector<fake::Camera> &cams = fake::threeCameras);
    template <typename T> static T *find(QObject *w, const char *name)
    {
        T *child = w->findChild<T *>(QLatin1String(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    static QAction *action(QObject *w, const char *name) { return find<QAction>(w, name); }
    static void sendTick(MainWindow &w)
    {
        QTimerEvent tick(MainWindowProbe::timerId(w));
        QCoreApplication::sendEvent(&w, &tick);
    }
    static void emitFrame(MainWindow &w, const QImage &img)
    {
        emit MainWindowProbe::worker(w)->sig_GetOneFrame(img);
    }
    // Runs `trigger` inside an event loop; true when the application was asked to quit.
    static bool quitsEventLoop(const std::function<void()> &trigger);

    QList<msgbox::Request> boxes;
    QString savedCwd;
};

void TestMainWindow::initTestCase()
{
    logcap::previous = qInstallMessageHandler(logcap::handler);
    // Closing a test window must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
    installSdk(fake::api());
    msgbox::setHandler([this](const msgbox::Request &r) {
        boxes << r;
        return QMessageBox::Ok;
    });
    savedCwd = QDir::currentPath();
}

void TestMainWindow::init()
{
    fake::setStatus(0);
    boxes.clear();
    fake::takeCalls();
    logcap::take();
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(savedCwd);
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow(const std::vector<fake::Camera> &cams)
{
    fake::setCameras(cams);
    auto w = std::make_unique<MainWindow>();
    return w;
}

bool TestMainWindow::quitsEventLoop(const std::function<void()> &trigger)
{
    // The application's own loop: a quit request stays pending for any nested
    // loop started later, and only the application's exec() clears it again.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    QTimer::singleShot(0, qApp, trigger);
    guard.start(5000);
    return QCoreApplication::exec() == 0;
}

// ---------------------------------------------------------------------------

void TestMainWindow::startupState()
{
    auto w = makeWindow();
    const QStringList log = logcap::take();

    QCOMPARE(w->windowTitle(), QStringLiteral("Tavix_2.0"));
    QVERIFY(log.contains("CameraApp statu is OK"));
    QVERIFY(log.contains("CameraList Init!"));
    QVERIFY(log.indexOf("CameraList Init!") < log.indexOf("CameraApp statu is OK"));
    // The firmware dialog learnt camera 0's address before the list was filled.
    const int ipLine = log.indexOf(QRegularExpression("^nIp>> .*127\\.0\\.0\\.210.*"));
    QVERIFY2(ipLine >= 0, qPrintable(log.join('|')));
    QVERIFY(ipLine < log.indexOf("CameraList Init!"));
    QCOMPARE(fake::takeCalls(), (QStringList { "Init", "Enum" }));

    const QStringList disabled = { "Saveaction", "SaveAsaction", "Verticalaction", "Renderingaction",
        "FullScreen", "actStatus", "WatermarkLog", "PictureLayout" };
    const QList<QAction *> actions = w->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly);
    int named = 0;
    for (QAction *a : actions) {
        if (a->objectName().isEmpty())
            continue; // menu actions of the menus
        ++named;
        QCOMPARE(a->isEnabled(), !disabled.contains(a->objectName()));
    }
    QCOMPARE(named, 37); // the form's 36 and the record action

    QVERIFY(find<QTabWidget>(w.get(), "tabWidget")->isHidden());
    QVERIFY(find<QTableWidget>(w.get(), "tableWidget")->verticalHeader()->isHidden());
    QCOMPARE(find<QComboBox>(w.get(), "comboBox")->currentIndex(), 0);
    QCOMPARE(MainWindowProbe::camIndex(*w), 0);
    QVERIFY(!MainWindowProbe::edited(*w));
    QVERIFY(MainWindowProbe::cameraCode(*w).Cam_ip.isEmpty());
    QVERIFY(MainWindowProbe::cameraCode(*w).Cam_mac.isEmpty());
    QVERIFY(!MainWindowProbe::worker(*w)->isRunning());

    // The real one-second timer shows zero frames at its first tick.
    auto *rate = find<QLineEdit>(w.get(), "ZLlineEdit");
    auto *total = find<QLineEdit>(w.get(), "ZZlineEdit");
    QVERIFY(rate->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(rate->text(), QStringLiteral("0"), 3000);
    QCOMPARE(total->text(), QStringLiteral("0"));
}

void TestMainWindow::formFacts()
{
    auto w = makeWindow();

    // Actions that the form places nowhere, and the camera actions that only
    // the list's context menu holds.
    for (const char *name : { "action", "action_2", "actionD", "actionA", "InitOpenAct", "actStop",
             "actStart", "actClose", "actModeauto", "actIOmode", "actModeSoft", "actSoft" })
        QVERIFY2(action(w.get(), name)->associatedWidgets().isEmpty(), name);
    QCOMPARE(action(w.get(), "action")->text(), QStringLiteral("打开"));
    QCOMPARE(action(w.get(), "action_2")->text(), QStringLiteral("打开文件"));
    QCOMPARE(action(w.get(), "actionD")->text(), QStringLiteral("30帧/秒"));
    QCOMPARE(action(w.get(), "actionA")->text(), QStringLiteral("60帧/每秒"));

    const QList<QPair<const char *, const char *>> shortcuts = {
        { "InitOpenAct", "Ctrl+Q" },
        { "actStop", "Ctrl+W" },
        { "actStart", "Ctrl+E" },
        { "actClose", "Ctrl+R" },
        { "actModeauto", "Ctrl+T" },
        { "actIOmode", "Ctrl+Y" },
        { "actModeSoft", "Ctrl+U" },
        { "actSoft", "Ctrl+I" },
        // The View menu's picture views.
        { "viewStretchAction", "Ctrl+0" },
        { "viewOneToOneAction", "Ctrl+1" },
        { "zoomInAction", "Ctrl++" },
        { "zoomOutAction", "Ctrl+-" },
    };
    for (const auto &s : shortcuts)
        QCOMPARE(action(w.get(), s.first)->shortcut(), QKeySequence(QString::fromLatin1(s.second)));
    int withShortcut = 0;
    for (QAction *a : w->findChildren<QAction *>())
        withShortcut += a->shortcut().isEmpty() ? 0 : 1;
    QCOMPARE(withShortcut, shortcuts.size());

    // Escaction sits in the file menu; its connection to close() comes first.
    QVERIFY(find<QMenu>(w.get(), "Filemenu")->actions().contains(action(w.get(), "Escaction")));

    auto *combo = find<QComboBox>(w.get(), "comboBox");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("4210slave"));
    QCOMPARE(combo->itemText(1), QStringLiteral("4210master"));
    auto *box = find<QComboBox>(w.get(), "a022SetBox");
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), QStringLiteral("false"));
    QCOMPARE(box->itemText(1), QStringLiteral("true"));

    // The property table's labels are the catalogue's, row for row.
    auto *table = find<QTableWidget>(w.get(), "tableWidget");
    QCOMPARE(table->rowCount(), 30);
    QCOMPARE(table->columnCount(), 3);
    const QStringList labels = paramcat::rowLabels();
    QCOMPARE(labels.size(), 30);
    for (int row = 0; row < 30; ++row) {
        QVERIFY(table->item(row, 0));
        QCOMPARE(table->item(row, 0)->text(), labels.at(row));
        QCOMPARE(table->verticalHeaderItem(row)->text(), QString::number(row + 1));
    }
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("属性名称"));
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("属性值"));
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("属性设置"));
    QCOMPARE(find<QTableWidget>(w.get(), "tableWidget_3")->rowCount(), 0);

    auto *tabs = find<QTabWidget>(w.get(), "tabWidget");
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->tabText(0), QStringLiteral("常用属性"));
    QCOMPARE(find<QListWidget>(w.get(), "listWidget")->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(find<QLabel>(w.get(), "label_3")->text(), QStringLiteral("相机IP  :"));
    QCOMPARE(w->size(), QSize(1226, 826));
}

void TestMainWindow::iconsAndResources()
{
    auto w = makeWindow();
    const QList<QPair<const char *, const char *>> icons = {
        { "newFileaction", ":/img/folder.ico" },
        { "Saveaction", ":/img/folder_add.ico" },
        { "SaveAsaction", ":/img/folder_go.ico" },
        { "PictureLayout", ":/img/layouts_four_grid.ico" },
        { "FullScreen", ":/img/monitor.ico" },
        { "actStatus", ":/img/status_away.ico" },
        { "WatermarkLog", ":/img/watermark.ico" },
        { "LogView", ":/img/logic_functions.ico" },
        { "saveOneImageAct", ":/img/picture_save.ico" },
    };
    for (const auto &i : icons) {
        // The picture itself must decode (the ico image plugin), not just exist.
        QImage picture(QString::fromLatin1(i.second));
        QVERIFY2(!picture.isNull(), i.second);
        QVERIFY(picture.width() >= 16);
        const QPixmap shown = action(w.get(), i.first)->icon().pixmap(24, 24);
        QVERIFY2(!shown.isNull(), i.first);
    }
    QVERIFY(QFile::exists(":/img/style.qss"));
    QVERIFY(QFile::exists(":/stylesheets/material-blue.qss"));
    QVERIFY(!QFile::exists(":/show.jpg"));
    QCOMPARE(w->styleSheet(), QStringLiteral("border-image: url(:/show.jpg);"));
}

void TestMainWindow::cameraList()
{
    auto w = makeWindow();
    auto *list = find<QListWidget>(w.get(), "listWidget");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Cam-A"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Cam-B"));
    QCOMPARE(list->item(2)->text(), QStringLiteral("Cam-C"));

    list->resize(200, list->height());
    QCOMPARE(MainWindowProbe::fillCameraList(*w), 1);
    QCOMPARE(list->count(), 3);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(list->item(row)->sizeHint(), QSize(200, 25));
    fake::takeCalls();
    logcap::take();

    list->setCurrentRow(1);
    QCOMPARE(MainWindowProbe::camIndex(*w), 1);
    QCOMPARE(fake::takeCalls(), QStringList { "Register 1" });
    QCOMPARE(find<QLineEdit>(w.get(), "NamelineEdit")->text(), QStringLiteral("Cam-B"));
    QCOMPARE(find<QLineEdit>(w.get(), "IPlineEdit")->text(), QStringLiteral("127.0.0.211"));
    QCOMPARE(find<QLineEdit>(w.get(), "MaclineEdit")->text(), QStringLiteral("0-e0-4c-68-1-2"));
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_ip, QStringLiteral("127.0.0.211"));
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_mac, QByteArray::fromHex("00e04c680102"));
    QVERIFY(logcap::take().contains("~~~~~~~~~~~~try"));

    list->setCurrentRow(2);
    QCOMPARE(MainWindowProbe::camIndex(*w), 2);
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_mac, QByteArray::fromHex("0200000000ff"));
}

void TestMainWindow::emptyNamesKeepRecordsApart()
{
    // Records 0 and 2 have no name: the rows hold records 1 and 3.
    std::vector<fake::Camera> cams = {
        { "", { 1, 1, 1, 1 }, { 1, 1, 1, 1, 1, 1 } },
        { "Second", { 10, 0, 0, 2 }, { 0, 0, 0, 0, 0, 2 } },
        { "", { 3, 3, 3, 3 }, { 3, 3, 3, 3, 3, 3 } },
        { "Fourth", { 10, 0, 0, 4 }, { 0, 0, 0, 0, 0, 4 } },
    };
    auto w = makeWindow(cams);
    auto *list = find<QListWidget>(w.get(), "listWidget");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Second"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Fourth"));
    fake::takeCalls();

    list->setCurrentRow(1);
    QCOMPARE(MainWindowProbe::camIndex(*w), 3);
    QCOMPARE(fake::takeCalls(), QStringList { "Register 3" });
    QCOMPARE(find<QLineEdit>(w.get(), "IPlineEdit")->text(), QStringLiteral("10.0.0.4"));
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_mac, QByteArray::fromHex("000000000004"));

    list->setCurrentRow(0);
    QCOMPARE(MainWindowProbe::camIndex(*w), 1);
    action(w.get(), "actSoft")->trigger();
    QCOMPARE(fake::takeCalls(), (QStringList { "Register 1", "Soft 1" }));
}

void TestMainWindow::noCurrentRowLeavesWorkerAlone()
{
    auto w = makeWindow();
    auto *list = find<QListWidget>(w.get(), "listWidget");
    list->setCurrentRow(2);
    fake::takeCalls();

    list->setCurrentRow(-1); // current item changes to none
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(MainWindowProbe::camIndex(*w), 2);
    QVERIFY(fake::takeCalls().isEmpty());
    QCOMPARE(find<QLineEdit>(w.get(), "NamelineEdit")->text(), QStringLiteral("Cam-C"));

    action(w.get(), "actModeauto")->trigger();
    QCOMPARE(fake::takeCalls(), QStringList { "Mode 2 0" });
}

void TestMainWindow::contextMenu()
{
    // Closes the menu that the list opens and remembers what it held.
    QStringList seen;
    int menus = 0;
    auto inspect = [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        ++menus;
        for (QAction *a : menu->actions())
            seen << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        menu->close();
    };

    auto empty = makeWindow({});
    auto *emptyList = find<QListWidget>(empty.get(), "listWidget");
    QCOMPARE(emptyList->count(), 0);
    QTimer::singleShot(0, inspect);
    emit emptyList->customContextMenuRequested(QPoint(5, 5));
    QCoreApplication::processEvents();
    QCOMPARE(menus, 0);

    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTimer::singleShot(0, inspect);
    emit find<QListWidget>(w.get(), "listWidget")->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(menus, 1);
    QCOMPARE(seen,
        (QStringList { "InitOpenAct", "actStop", "actStart", "actClose", "-", "actModeauto", "actIOmode",
            "actModeSoft", "actSoft", "-", "Recordaction" }));
    // The menu is gone once closed: no widget holds the camera actions any more.
    QVERIFY(action(w.get(), "actStop")->associatedWidgets().isEmpty());
}

void TestMainWindow::cameraActionsForwardTheSelectedRecord()
{
    auto w = makeWindow();
    find<QListWidget>(w.get(), "listWidget")->setCurrentRow(2);
    fake::takeCalls();

    for (const char *name : { "actModeauto", "actIOmode", "actModeSoft", "actSoft", "actClose" })
        action(w.get(), name)->trigger();
    QCOMPARE(fake::takeCalls(), (QStringList { "Mode 2 0", "Mode 2 1", "Mode 2 2", "Soft 2", "Close 2" }));

    // Start starts the camera and the loop; the loop's first pass opens the
    // registered camera. Stop stops the camera and ends the loop.
    auto *worker = MainWindowProbe::worker(*w);
    action(w.get(), "actStart")->trigger();
    QVERIFY(worker->isRunning());
    QTRY_VERIFY(fake::peekCalls().contains("Open 2"));
    action(w.get(), "actStop")->trigger();
    QVERIFY(!worker->isRunning());
    QCOMPARE(fake::takeCalls(), (QStringList { "Start 2", "Open 2", "Start 2", "Stop 2" }));
}

void TestMainWindow::openAction()
{
    auto w = makeWindow();
    auto *worker = MainWindowProbe::worker(*w);
    QSignalSpy started(worker, &QThread::started);
    logcap::take();

    action(w.get(), "InitOpenAct")->trigger();
    QVERIFY(worker->isRunning());
    QVERIFY(!find<QTabWidget>(w.get(), "tabWidget")->isHidden());
    // The loop opens record 0 when nothing has been selected.
    QTRY_VERIFY(fake::peekCalls().contains("Start 0"));

    action(w.get(), "InitOpenAct")->trigger();
    QVERIFY(worker->isRunning());
    QCOMPARE(started.count(), 1);
    // Each open builds the parameter view anew.
    QCOMPARE(logcap::take().count("CameraSetView Init!"), 2);
    const QStringList calls = fake::takeCalls();
    QCOMPARE(calls, (QStringList { "Init", "Enum", "Open 0", "Start 0" }));
}

void TestMainWindow::openWithEmptyList()
{
    auto w = makeWindow({});
    logcap::take();
    action(w.get(), "InitOpenAct")->trigger();
    QVERIFY(MainWindowProbe::worker(*w)->isRunning());
    QVERIFY(find<QTabWidget>(w.get(), "tabWidget")->isHidden());
    QVERIFY(!logcap::take().contains("CameraSetView Init!"));
    // The worker shuts down with the window (the destructor joins the loop).
}

void TestMainWindow::openCameraByRecord_data()
{
    QTest::addColumn<std::vector<fake::Camera>>("cameras");
    QTest::addColumn<int>("record");
    QTest::addColumn<int>("row"); // -1: nothing opened

    const std::vector<fake::Camera> gap = {
        { "", { 127, 0, 0, 220 }, { 0, 0, 0, 0, 0, 1 } },
        { "Only", { 127, 0, 0, 221 }, { 0, 0, 0, 0, 0, 2 } },
    };
    QTest::newRow("second camera") << fake::threeCameras << 1 << 1;
    QTest::newRow("record behind a nameless one") << gap << 1 << 0;
    QTest::newRow("nameless record") << gap << 0 << -1;
    QTest::newRow("no such record") << fake::threeCameras << 3 << -1;
}

void TestMainWindow::openCameraByRecord()
{
    QFETCH(std::vector<fake::Camera>, cameras);
    QFETCH(int, record);
    QFETCH(int, row);
    auto w = makeWindow(cameras);
    auto *list = find<QListWidget>(w.get(), "listWidget");
    fake::takeCalls();

    // The operator's way: select the row, then "初始化/打开" from the context menu.
    QCOMPARE(w->openCamera(record), row >= 0);
    QCOMPARE(list->currentRow(), row);
    QCOMPARE(MainWindowProbe::worker(*w)->isRunning(), row >= 0);
    QCOMPARE(find<QTabWidget>(w.get(), "tabWidget")->isHidden(), row < 0);
    if (row < 0) {
        QVERIFY(fake::takeCalls().isEmpty());
        return;
    }
    const QString n = QString::number(record);
    QTRY_COMPARE(fake::peekCalls(), (QStringList { "Register " + n, "Open " + n, "Start " + n }));
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_ip, QStringLiteral("127.0.0.%1").arg(cameras[record].ip[3]));
}

void TestMainWindow::valueColumnShowsWholeValues()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->size(), QSize(1226, 826));
    action(w.get(), "InitOpenAct")->trigger();
    auto *table = find<QTableWidget>(w.get(), "tableWidget");
    QTRY_VERIFY(table->isVisible());

    // An address, a 16-character name and a 10-digit exposure time where the
    // camera's answers put them; each needs its text's width and the cell's margins.
    const QList<QPair<int, QString>> values
        = { { 0, "255.255.255.255" }, { 1, "SimCam-Color-016" }, { 7, "4294967295" } };
    for (const auto &value : values) {
        table->item(value.first, 1)->setText(value.second);
        const QModelIndex cell = table->model()->index(value.first, 1);
        QVERIFY2(
            table->sizeHintForIndex(cell).width() + 1 <= table->columnWidth(1), qPrintable(value.second));
        QVERIFY(QFontMetrics(table->font()).horizontalAdvance(value.second) < table->columnWidth(1));
    }
    // Every Set button in view without scrolling sideways; a shortened name
    // shows in full as its tool tip.
    QVERIFY(table->horizontalHeader()->length() <= table->viewport()->width());
    QVERIFY(!table->horizontalScrollBar()->isVisible());
    QVERIFY(table->cellWidget(29, 2)->width() > QFontMetrics(table->font()).horizontalAdvance("Set"));
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(table->item(row, 0)->toolTip(), table->item(row, 0)->text());
}

void TestMainWindow::escActionClosesTwiceAndQuits()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    find<QListWidget>(w.get(), "listWidget")->setCurrentRow(1);
    fake::takeCalls();

    QVERIFY(quitsEventLoop([&] { action(w.get(), "Escaction")->trigger(); }));
    QVERIFY(!w->isVisible());
    QCOMPARE(fake::takeCalls(), (QStringList { "Close 1", "Close 1" }));
}

void TestMainWindow::closingWindowClosesCamera()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    action(w.get(), "InitOpenAct")->trigger();
    QTRY_VERIFY(fake::peekCalls().contains("Start 0"));
    fake::takeCalls();

    QVERIFY(quitsEventLoop([&] { w->close(); }));
    QVERIFY(!w->isVisible());
    QCOMPARE(fake::takeCalls(), QStringList { "Close 0" });
    // Destroying the window with the loop still polling must end it cleanly.
    auto *worker = MainWindowProbe::worker(*w);
    QVERIFY(worker->isRunning());
    QSignalSpy finished(worker, &QThread::finished);
    w.reset();
    QCOMPARE(finished.count(), 1);
}

void TestMainWindow::inertActions()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    fake::takeCalls();
    const Qt::WindowStates states = w->windowState();

    for (const char *name : { "actionD", "actionA", "FullScreen" }) {
        QAction *a = action(w.get(), name);
        a->setEnabled(true); // FullScreen is disabled at start-up
        a->trigger();
    }
    QCoreApplication::processEvents();
    QVERIFY(fake::takeCalls().isEmpty());
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowState(), states);
    QCOMPARE(MainWindowProbe::frameTotal(*w), 0);
    QVERIFY(boxes.isEmpty());
}

void TestMainWindow::helpAndFirmwareActions()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    QFile manual(dir.filePath("Tavix.pdf"));
    QVERIFY(manual.open(QIODevice::WriteOnly)); // the working directory's manual comes first
    manual.close();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    auto w = makeWindow();

    action(w.get(), "HelpFileaction")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first(), QUrl::fromLocalFile(QDir::currentPath() + "/Tavix.pdf"));
    QVERIFY(boxes.isEmpty());

    QDialog *firmware = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->inherits("FirmWareDialog") && !top->isVisible())
            firmware = qobject_cast<QDialog *>(top);
    QVERIFY(firmware);
    action(w.get(), "FirmwareUpdateaction")->trigger();
    QVERIFY(firmware->isVisible());
    QVERIFY(!firmware->isModal());
    w.reset();
    // The window frees its firmware dialog.
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY(!top->inherits("FirmWareDialog"));
}

void TestMainWindow::frameCounters()
{
    auto w = makeWindow();
    auto *rate = find<QLineEdit>(w.get(), "ZLlineEdit");
    auto *total = find<QLineEdit>(w.get(), "ZZlineEdit");
    QImage frame(64, 48, QImage::Format_RGB888);
    frame.fill(Qt::darkCyan);

    for (int i = 0; i < 25; ++i)
        emitFrame(*w, frame);
    sendTick(*w);
    QCOMPARE(rate->text(), QStringLiteral("25"));
    QCOMPARE(total->text(), QStringLiteral("25"));
    sendTick(*w);
    QCOMPARE(rate->text(), QStringLiteral("0"));
    QCOMPARE(total->text(), QStringLiteral("25"));

    // Stop and start do not reset the total.
    action(w.get(), "actStop")->trigger();
    for (int i = 0; i < 3; ++i)
        emitFrame(*w, frame);
    action(w.get(), "actStart")->trigger();
    for (int i = 0; i < 4; ++i)
        emitFrame(*w, frame);
    sendTick(*w);
    QCOMPARE(rate->text(), QStringLiteral("7"));
    QCOMPARE(total->text(), QStringLiteral("32"));

    // A timer of the base window is not the one-second tick.
    QTimerEvent other(MainWindowProbe::timerId(*w) + 1000);
    QCoreApplication::sendEvent(w.get(), &other);
    QCOMPARE(MainWindowProbe::frameTotal(*w), 32);
}

void TestMainWindow::pictureShowsNewestFrame()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *label = find<QLabel>(w.get(), "label");

    w->repaint();
    QVERIFY(label->pixmap(Qt::ReturnByValue).isNull()); // nothing before the first frame

    QImage red(320, 200, QImage::Format_RGB888);
    red.fill(Qt::red);
    QImage grey(300, 100, QImage::Format_Indexed8);
    grey.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        grey.setColor(i, qRgb(i, i, i));
    grey.fill(77);
    emitFrame(*w, red);
    emitFrame(*w, grey); // newer, arrives before the window paints
    w->repaint();

    QVERIFY(label->hasScaledContents());
    // What the operator sees: the grey frame over the label's whole area.
    const QImage seen = label->grab().toImage();
    QCOMPARE(seen.size(), label->size());
    for (const QPoint p : { QPoint(1, 1), QPoint(seen.width() - 2, seen.height() - 2),
             QPoint(seen.width() / 2, seen.height() / 2) })
        QCOMPARE(QColor(seen.pixel(p)), QColor(77, 77, 77));

    // Pixel for pixel what the label showed when it was handed the whole frame
    // and scaled it itself.
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.setPixel(x, y, uint((x * 7 + y * 13) % 256));
    emitFrame(*w, grey);
    w->repaint();
    const QImage itself = QPixmap::fromImage(grey).toImage().scaled(
        label->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(label->grab().toImage().convertToFormat(itself.format()), itself);

    // Resizing rescales the same frame to the new area.
    label->setMinimumSize(700, 520);
    w->resize(1400, 900);
    QTRY_COMPARE(label->grab().toImage().size(), label->size());
    QTRY_COMPARE(label->grab().toImage().convertToFormat(itself.format()),
        QPixmap::fromImage(grey).toImage().scaled(label->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void TestMainWindow::wheelZoomsAroundTheCursor()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *label = find<PictureWidget>(w.get(), "label");
    QVERIFY(!action(w.get(), "FullScreen")->isEnabled());
    // Every pixel of its own colour: red and green say where it is.
    QImage frame(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixel(x, y, qRgb(x * 4, y * 5, 200));
    emitFrame(*w, frame);
    w->repaint();
    for (const char *name : { "FullScreen", "actStatus", "WatermarkLog", "Waveaction" })
        QVERIFY2(action(w.get(), name)->isEnabled(), name);

    // The pixel under the cursor in the stretched view stays under it.
    const QPoint at(label->width() * 3 / 10, label->height() * 6 / 10);
    const QPoint pixel(at.x() * frame.width() / label->width(), at.y() * frame.height() / label->height());
    QWheelEvent wheel(QPointF(at), QPointF(label->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(label, &wheel);
    const view::View zoomed = label->currentView();
    QCOMPARE(zoomed.mode, view::Mode::Zoom);
    QVERIFY(zoomed.step >= view::SharpZoomStep);
    const int scale = 1 << zoomed.step;
    QVERIFY(scale * frame.width() > label->width()); // larger than stretched
    // What the operator sees: sharp squares of the frame's pixels, the one
    // under the cursor and its neighbour a square to the right.
    const QImage seen = label->grab().toImage();
    QCOMPARE(QColor(seen.pixel(at)), QColor(frame.pixel(pixel)));
    QCOMPARE(QColor(seen.pixel(at + QPoint(scale, 0))), QColor(frame.pixel(pixel + QPoint(1, 0))));

    // The readout: the frame's own value, not the picture's.
    QMouseEvent move(QEvent::MouseMove, QPointF(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &move);
    const QRgb value = frame.pixel(pixel);
    QCOMPARE(find<QLabel>(w.get(), "pixelReadout")->text(),
        QStringLiteral("像素 (%1, %2)  R %3  G %4  B %5")
            .arg(pixel.x())
            .arg(pixel.y())
            .arg(qRed(value))
            .arg(qGreen(value))
            .arg(qBlue(value)));

    // The statistics measure nothing while hidden; shown, the region on screen.
    auto *statistics = find<StatisticsDock>(w.get(), "statisticsDock");
    QVERIFY(statistics->measuredRegion().isEmpty());
    action(w.get(), "actStatus")->trigger();
    QVERIFY(statistics->isVisible());
    QCOMPARE(statistics->measuredRegion(), label->visibleRegion());
    QVERIFY(statistics->measuredRegion() != frame.rect());
    action(w.get(), "actStatus")->trigger();
    QVERIFY(!statistics->isVisible());

    // A double click goes back to the stretched picture, the label's own.
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &twice);
    QCOMPARE(label->currentView().mode, view::Mode::Stretch);
    QVERIFY(label->showsPixmap());
}

void TestMainWindow::idleWindowDoesNotRepaint()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    // Counts the events of one type that reach the objects it watches.
    struct EventCounter : QObject {
        explicit EventCounter(QEvent::Type type) : type(type) { }
        const QEvent::Type type;
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            count += e->type() == type ? 1 : 0;
            return false;
        }
    };
    EventCounter paints(QEvent::Paint);
    // The picture label covers what it shows; the window beneath it may not paint.
    w->installEventFilter(&paints);
    find<QLabel>(w.get(), "label")->installEventFilter(&paints);

    QImage frame(640, 480, QImage::Format_RGB888);
    frame.fill(Qt::yellow);
    emitFrame(*w, frame);
    // Showing the frame may schedule one more paint of the picture area; after
    // that the window must fall quiet.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents();
    QVERIFY(paints.count >= 1);
    paints.count = 0;
    for (int round = 0; round < 5; ++round)
        QCoreApplication::sendPostedEvents();
    QCOMPARE(paints.count, 0);
    QLabel *label = find<QLabel>(w.get(), "label");
    QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), label->size());

    // The next frame of that size is painted without laying the window out again.
    EventCounter layouts(QEvent::LayoutRequest);
    label->parentWidget()->installEventFilter(&layouts);
    frame.fill(Qt::blue);
    emitFrame(*w, frame);
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents();
    QCOMPARE(QColor(label->grab().toImage().pixel(5, 5)), QColor(Qt::blue));
    QCOMPARE(layouts.count, 0);
}

void TestMainWindow::snapshotWithoutFrame()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    auto w = makeWindow();
    logcap::take();

    action(w.get(), "saveOneImageAct")->trigger();
    const QStringList log = logcap::take();
    QVERIFY2(log.contains("dir make Success or fail > true"), qPrintable(log.join('|')));
    const QString pathLine = log.value(log.indexOf(QRegularExpression("^path->.*")));
    QVERIFY(pathLine.startsWith("path-> " + dir.path() + "/CameraImage/"));
    QVERIFY(pathLine.endsWith(".bmp"));
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().icon, QMessageBox::Warning);
    QVERIFY(!boxes.first().parent);
    QCOMPARE(boxes.first().title, QStringLiteral("warning"));
    QCOMPARE(boxes.first().text, QStringLiteral("Now , Image is NULL, Plase Init The Creame!"));
    QCOMPARE(boxes.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QDir folder(dir.path() + "/CameraImage");
    QVERIFY(folder.exists());
    QVERIFY(folder.entryList(QDir::Files).isEmpty());
}

void TestMainWindow::snapshotSavesFrame_data()
{
    QTest::addColumn<QImage>("frame");
    QImage grey(37, 23, QImage::Format_Indexed8);
    grey.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        grey.setColor(i, qRgb(i, i, i));
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.setPixel(x, y, uint((x * 7 + y * 3) & 0xFF));
    QTest::newRow("grey") << grey;
    QImage colour(41, 19, QImage::Format_RGB888);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, qRgb(x * 6, y * 13, 200));
    QTest::newRow("colour") << colour;
}

void TestMainWindow::snapshotSavesFrame()
{
    QFETCH(QImage, frame);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    auto w = makeWindow();
    emitFrame(*w, frame);

    const QDateTime before = QDateTime::currentDateTime();
    action(w.get(), "saveOneImageAct")->trigger();
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(boxes.isEmpty());

    const QStringList files = QDir(dir.path() + "/CameraImage").entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString stamp = files.first().chopped(4);
    QVERIFY(files.first().endsWith(".bmp"));
    const QDateTime taken = QDateTime::fromString(stamp, "yyyy-MM-dd_hh-mm-ss.zzz");
    QVERIFY2(taken.isValid(), qPrintable(files.first()));
    QVERIFY(taken >= before.addMSecs(-1) && taken <= after);

    QFile file(dir.path() + "/CameraImage/" + files.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("BM"));
    file.close();
    const QImage saved(file.fileName());
    QCOMPARE(saved.size(), frame.size());
    if (frame.format() == QImage::Format_Indexed8) {
        QCOMPARE(saved.format(), QImage::Format_Indexed8);
        QCOMPARE(saved.colorTable(), frame.colorTable());
    }
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), frame.convertToFormat(QImage::Format_RGB32));
}

// A frame for the snapshot tests.
static QImage colourFrame(int width, int height)
{
    QImage frame(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.setPixel(x, y, qRgb(x * 5, y * 3, 90));
    return frame;
}

// The path the window logged with "path->" last.
static QString loggedPath(const QStringList &log)
{
    const int at = log.lastIndexOf(QRegularExpression("^path-> .*"));
    return at < 0 ? QString() : log.at(at).mid(7);
}

void TestMainWindow::snapshotNotSaved_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // in the status bar's text
    QTest::newRow("CameraImage is a file") << "file"
                                           << "无法创建文件夹";
    QTest::newRow("read-only folder") << "read-only"
                                      << "Permission denied";
    QTest::newRow("disk full") << "full"
                               << "File too large";
    QTest::newRow("write fails half-way") << "half"
                                          << "无法写成 BMP 图像";
}

void TestMainWindow::snapshotNotSaved()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
#ifdef Q_OS_UNIX
    if (fault == "read-only" && geteuid() == 0)
        QSKIP("running as root: folder permissions do not stop writes");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    const QString folder = dir.path() + "/CameraImage";
    auto w = makeWindow();
    emitFrame(*w, colourFrame(200, 100)); // 60 kB of BMP
    PictureView &picture = MainWindowProbe::picture(*w);
    // The snapshot's notice takes the place of an older one, not the port warning's.
    emit MainWindowProbe::commandChannel(*w).portShared("port text");
    fake::setStatus("Close", 2);
    action(w.get(), "actClose")->trigger();
    QCOMPARE(
        MainWindowProbe::notice(*w), QStringLiteral("相机 Cam-A 关闭失败：IB_CC_CloseCamera 返回状态 2"));

    QFile plain(folder);
    if (fault == "file") {
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("not a folder");
        plain.close();
    } else if (fault == "read-only") {
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else if (fault == "half") {
        // Gives the file the first half of the image, then fails, as an encoder can.
        picture.setImageWriter([](const QImage &image, QIODevice *file) {
            QBuffer whole;
            whole.open(QIODevice::WriteOnly);
            image.save(&whole, "BMP");
            file->write(whole.data().left(whole.data().size() / 2));
            return false;
        });
    }
    logcap::take();
    {
        // A disk that fills up: writes past 4 kB fail as they do on a full disk.
        std::unique_ptr<FileSizeLimit> full;
        if (fault == "full") {
            full = std::make_unique<FileSizeLimit>(4096);
            if (!full->active())
                QSKIP("No limit on a file's size here (RLIMIT_FSIZE) to fill the disk with");
        }
        action(w.get(), "saveOneImageAct")->trigger();
    }
    const QStringList log = logcap::take();
    const QString path = loggedPath(log);
    QVERIFY2(path.startsWith(folder + "/") && path.endsWith(".bmp"), qPrintable(log.join('|')));
    QVERIFY(boxes.isEmpty());

    // Nothing under the snapshot's name, nothing half-written beside it.
    QVERIFY(!QFileInfo::exists(path));
    if (fault == "file") {
        QVERIFY(log.contains("dir make Success or fail > false"));
        QVERIFY(plain.open(QIODevice::ReadOnly));
        QCOMPARE(plain.readAll(), QByteArray("not a folder"));
        plain.close();
    } else {
        QCOMPARE(
            QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
    // The operator is told which snapshot and why.
    const QString notice = MainWindowProbe::notice(*w);
    QVERIFY2(
        notice.startsWith(QStringLiteral("图片未保存：")) && notice.contains(reason), qPrintable(notice));
    QVERIFY2(notice.contains(fault == "file" ? folder : path), qPrintable(notice));
    QVERIFY(log.contains("notice: " + notice));
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("port text"));

    // Once the fault is gone, the next snapshot is saved and the notice goes.
    if (fault == "file")
        QVERIFY(plain.remove());
    else if (fault == "read-only")
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    picture.setImageWriter(nullptr);
    action(w.get(), "saveOneImageAct")->trigger();
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    QVERIFY(MainWindowProbe::notice(*w).isEmpty());
}

void TestMainWindow::snapshotsWithinOneMillisecond()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    auto w = makeWindow();
    const QDateTime now = QDateTime::currentDateTime();
    MainWindowProbe::picture(*w).setClock([now] { return now; });
    const QString stamp = now.toString("yyyy-MM-dd_hh-mm-ss.zzz");
    // A file of that name that is no snapshot of this run stays as it is.
    QVERIFY(QDir().mkdir("CameraImage"));
    QFile other("CameraImage/" + stamp + "_1.bmp");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("keep");
    other.close();

    QStringList expected { stamp + ".bmp", stamp + "_1.bmp" };
    for (int n = 2; n <= 60; ++n)
        expected << QStringLiteral("%1_%2.bmp").arg(stamp).arg(n);
    logcap::take();
    for (int shot = 0; shot < 60; ++shot) {
        const QImage frame = colourFrame(16 + shot, 8);
        emitFrame(*w, frame);
        action(w.get(), "saveOneImageAct")->trigger();
        const QString path = loggedPath(logcap::take());
        QCOMPARE(path, dir.path() + "/CameraImage/" + expected.at(shot == 0 ? 0 : shot + 1));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB888), frame);
    }
    QStringList files = QDir("CameraImage").entryList(QDir::Files);
    std::sort(expected.begin(), expected.end());
    std::sort(files.begin(), files.end());
    QCOMPARE(files, expected);
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("keep"));
    QVERIFY(MainWindowProbe::notice(*w).isEmpty());
}

void TestMainWindow::cameraFaultsInStatusBar_data()
{
    QTest::addColumn<int>("row"); // of the camera list, selected before the open action
    QTest::addColumn<QString>("op"); // the fake SDK's operation that fails ...
    QTest::addColumn<int>("status"); // ... with this status
    QTest::addColumn<QStringList>("actions"); // triggered after the open action
    QTest::addColumn<QSize>("frame"); // frames the camera sends, when not empty ...
    QTest::addColumn<uint>("bits"); // ... with this bit count
    QTest::addColumn<QString>("notice");
    const QStringList none;
    QTest::newRow("open fails") << 0 << "Open" << 7 << none << QSize() << 0u
                                << "相机 Cam-A 打开失败：IB_CC_OpenCamera 返回状态 7";
    QTest::newRow("start fails, in the first pass and through 开始")
        << 0 << "Start" << -9 << QStringList { "actStart", "actStart" } << QSize() << 0u
        << "相机 Cam-A 启动失败：IB_CC_StartCamera 返回状态 -9";
    QTest::newRow("IO mode fails") << 1 << "Mode" << 4 << QStringList { "actIOmode", "actIOmode" } << QSize()
                                   << 0u << "相机 Cam-B 切换到IO模式失败：IB_CC_modeCamera 返回状态 4";
    QTest::newRow("soft trigger fails") << 2 << "Soft" << 1 << QStringList { "actSoft", "actSoft" } << QSize()
                                        << 0u << "相机 Cam-C 抓图失败：IB_CC_softCamera 返回状态 1";
    QTest::newRow("16-bit frames") << 0 << QString() << 0 << none << QSize(4, 4) << 16u
                                   << "相机 Cam-A 的图像无法显示：每像素 16 位，只支持 8 位和 24 位";
    QTest::newRow("32-bit frames") << 1 << QString() << 0 << none << QSize(4, 4) << 32u
                                   << "相机 Cam-B 的图像无法显示：每像素 32 位，只支持 8 位和 24 位";
    QTest::newRow("frames too narrow for their image")
        << 0 << QString() << 0 << none << QSize(2, 33554432) << 8u
        << "相机 Cam-A 的图像无法显示：2 × 33554432 像素，每像素 8 位";
    QTest::newRow("frames over 64 MiB") << 0 << QString() << 0 << none << QSize(4096, 8192) << 24u
                                        << "相机 Cam-A 的图像无法显示：4096 × 8192 像素，每像素 24 位";
}

void TestMainWindow::cameraFaultsInStatusBar()
{
    QFETCH(int, row);
    QFETCH(QString, op);
    QFETCH(int, status);
    QFETCH(QStringList, actions);
    QFETCH(QSize, frame);
    QFETCH(uint, bits);
    QFETCH(QString, notice);
    auto w = makeWindow();
    // The port warning and the notice both stay in view.
    emit MainWindowProbe::commandChannel(*w).portShared("port text");
    if (!op.isEmpty())
        fake::setStatus(op, status);
    find<QListWidget>(w.get(), "listWidget")->setCurrentRow(row);
    action(w.get(), "InitOpenAct")->trigger();
    QTRY_VERIFY(fake::peekCalls().contains(QStringLiteral("Start %1").arg(row)));
    for (const QString &name : actions)
        action(w.get(), qPrintable(name))->trigger();
    if (!frame.isEmpty()) {
        // The camera keeps sending such frames; the window says so once.
        uchar pixels[16] = {};
        FrameInfo info { uint32_t(frame.width()), uint32_t(frame.height()), bits, {} };
        const auto send = [&] { QVERIFY(fake::deliver(pixels, &info) >= 0); };
        QVERIFY(QTest::qWaitFor([&] {
            send();
            return MainWindowProbe::notice(*w) == notice;
        }));
        for (int i = 0; i < 10; ++i) {
            send();
            QTest::qWait(2);
        }
    }
    QTRY_COMPARE(MainWindowProbe::notice(*w), notice);
    QTest::qWait(20);
    QCOMPARE(logcap::take().count("notice: " + notice), 1);
    QCOMPARE(MainWindowProbe::frameTotal(*w), 0);
    QVERIFY(find<QLabel>(w.get(), "noticeLabel")->isVisibleTo(w.get()));
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("port text"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_net_mainwindow.moc"
