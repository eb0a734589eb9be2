// The main window driving the simulated camera SDK: select a camera, open it,
// watch frames arrive and be counted, stop, start again, close.
#include "camera/sdkbinding.h"
#include "camera/workthread.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include <memory>

namespace {

QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

} // namespace

class TestE2eWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void greyCameraStreamsStopsAndResumes();
    void colourCameraClosedWhileStreaming();

private:
    template <typename T> static T *find(QObject *w, const char *name)
    {
        T *child = w->findChild<T *>(QLatin1String(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    static void trigger(QObject *w, const char *name) { find<QAction>(w, name)->trigger(); }
    // Lets the one-second timer tick `ticks` times.
    static bool waitTicks(MainWindow &w, int ticks);
};

void TestE2eWindow::initTestCase()
{
    // Small frames keep the test light; the simulated cameras read this at start-up.
    qputenv("LINKSIM_WIDTH", "640");
    qputenv("LINKSIM_HEIGHT", "480");
    qputenv("LINKSIM_FPS", "30");
    const QString sdkPath = QString::fromLocal8Bit(qgetenv("TAVIX_TEST_SDK"));
    QVERIFY2(!sdkPath.isEmpty(), "TAVIX_TEST_SDK names the simulated SDK");
    QVERIFY(loadSdk(sdkPath));
    QApplication::setQuitOnLastWindowClosed(false);
    g_previousHandler = qInstallMessageHandler(keepWarnings);
}

bool TestE2eWindow::waitTicks(MainWindow &w, int ticks)
{
    // Each tick clears the rate field and writes the new rate: two changes.
    QSignalSpy changes(find<QLineEdit>(&w, "ZLlineEdit"), &QLineEdit::textChanged);
    return QTest::qWaitFor([&] { return changes.count() >= 2 * ticks; }, 1000 * ticks + 3000);
}

void TestE2eWindow::greyCameraStreamsStopsAndResumes()
{
    auto w = std::make_unique<MainWindow>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *list = find<QListWidget>(w.get(), "listWidget");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("SimCam-Mono"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("SimCam-Color"));

    list->setCurrentRow(0);
    QCOMPARE(find<QLineEdit>(w.get(), "IPlineEdit")->text(),
        qEnvironmentVariable("LINKSIM_BASE_IP", QStringLiteral("127.0.0.2")));
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_mac.size(), 6);
    trigger(w.get(), "InitOpenAct");
    // The command socket shares its port with the simulated cameras' sockets
    // in this process (on Windows too, where they are bound first).
    QVERIFY2(g_warnings.filter(QStringLiteral("cannot bind UDP port")).isEmpty(),
        qPrintable(g_warnings.join('\n')));

    QTRY_VERIFY_WITH_TIMEOUT(MainWindowProbe::frameTotal(*w) >= 10, 10000);
    const QImage frame = MainWindowProbe::frameImage(*w);
    QCOMPARE(frame.size(), QSize(640, 480));
    QCOMPARE(frame.format(), QImage::Format_Indexed8);
    // The label is handed the frame scaled to its area.
    const QLabel *label = find<QLabel>(w.get(), "label");
    QTRY_COMPARE(label->pixmap(Qt::ReturnByValue).size(), label->size());
    // The panel counts what arrived: a rate above zero and a growing total.
    QTRY_VERIFY_WITH_TIMEOUT(find<QLineEdit>(w.get(), "ZLlineEdit")->text().toInt() > 0, 3000);
    QVERIFY(find<QLineEdit>(w.get(), "ZZlineEdit")->text().toInt() > 0);

    trigger(w.get(), "actStop");
    QVERIFY(!MainWindowProbe::worker(*w)->isRunning());
    QCoreApplication::sendPostedEvents(); // frames emitted before the loop ended
    const int stoppedAt = MainWindowProbe::frameTotal(*w);
    QVERIFY(waitTicks(*w, 2));
    QCOMPARE(MainWindowProbe::frameTotal(*w), stoppedAt);
    QCOMPARE(find<QLineEdit>(w.get(), "ZLlineEdit")->text(), QStringLiteral("0"));

    trigger(w.get(), "actStart");
    QVERIFY(MainWindowProbe::worker(*w)->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(MainWindowProbe::frameTotal(*w) >= stoppedAt + 10, 10000);

    trigger(w.get(), "actClose");
}

void TestE2eWindow::colourCameraClosedWhileStreaming()
{
    auto w = std::make_unique<MainWindow>();
    auto *list = find<QListWidget>(w.get(), "listWidget");
    list->setCurrentRow(1);
    QCOMPARE(MainWindowProbe::camIndex(*w), 1);
    trigger(w.get(), "InitOpenAct");

    QTRY_VERIFY_WITH_TIMEOUT(MainWindowProbe::frameTotal(*w) >= 10, 10000);
    QTRY_COMPARE(MainWindowProbe::frameImage(*w).format(), QImage::Format_RGB888);
    QCOMPARE(MainWindowProbe::frameImage(*w).size(), QSize(640, 480));

    // Close stops the frames but leaves the loop polling.
    trigger(w.get(), "actClose");
    auto *worker = MainWindowProbe::worker(*w);
    QVERIFY(waitTicks(*w, 1)); // frames already on their way may still land
    const int closedAt = MainWindowProbe::frameTotal(*w);
    QVERIFY(waitTicks(*w, 2));
    QCOMPARE(MainWindowProbe::frameTotal(*w), closedAt);
    QVERIFY(worker->isRunning());

    // The window ends the loop on its way out.
    QSignalSpy finished(worker, &QThread::finished);
    w.reset();
    QCOMPARE(finished.count(), 1);
}

QTEST_MAIN(TestE2eWindow)
#include "tst_e2e_window.moc"
