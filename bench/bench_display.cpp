// Processor time of the GUI thread for showing live frames from the simulated
// camera, and for an idle window that has a frame on screen.
//
//   bench_display                 runs every case below, one process each, and prints a table
//   bench_display --case W H FMT  one case: W x H pixels, FMT mono or color, 30 frames/s
//   bench_display --screenshot FILE --camera I [--seconds S]
//                                 streams camera I for S seconds (default 3) and saves a
//                                 screenshot of the whole screen (run it under Xvfb)
//   bench_display --menu-screenshot FILE
//                                 selects camera 0, opens the camera list's context menu on
//                                 it with "初始化/打开" highlighted and saves a screenshot of
//                                 the window (run it under Xvfb)
//   bench_display --process-cpu S [--wait-for-frames]
//                                 whole-process processor time, as /proc/self/stat counts it,
//                                 over S seconds with camera 0 open and streaming, then over S
//                                 seconds after its "关闭" action closed it
//
// The simulated SDK is taken from --sdk PATH, else $TAVIX_TEST_SDK, else liblink.so
// in the build folder. Measures with the platform Qt picks (offscreen unless
// QT_QPA_PLATFORM says otherwise).
#include "camera/framememory.h"
#include "camera/sdkbinding.h"
#include "camera/workthread.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>

#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

double threadCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Counts the frames that actually reach the screen: paints of the picture label
// that show a pixmap it did not show before.
class ShownFrames : public QObject {
public:
    explicit ShownFrames(QLabel *label)
        : label(label)
    {
        label->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const qint64 key = label->pixmap(Qt::ReturnByValue).cacheKey();
            if (key != lastKey && !label->pixmap(Qt::ReturnByValue).isNull()) {
                lastKey = key;
                ++count;
            }
        }
        return false;
    }

private:
    QLabel *label;
    qint64 lastKey = 0;
};

QString sdkPath(const QStringList &args)
{
    const int at = args.indexOf("--sdk");
    if (at >= 0 && at + 1 < args.size())
        return args.at(at + 1);
    const QByteArray env = qgetenv("TAVIX_TEST_SDK");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : { here.filePath("liblink.so"), here.filePath("../liblink.so") })
        if (QFileInfo::exists(candidate))
            return candidate;
    return QString();
}

std::unique_ptr<MainWindow> openCamera(int row)
{
    auto w = std::make_unique<MainWindow>();
    w->show();
    runEventLoop(300);
    auto *list = w->findChild<QListWidget *>("listWidget");
    if (!list || row >= list->count()) {
        qCritical("no camera in row %d", row);
        return nullptr;
    }
    list->setCurrentRow(row);
    w->findChild<QAction *>("InitOpenAct")->trigger();
    return w;
}

int runCase(const QStringList &args, int at)
{
    const int width = args.value(at + 1).toInt();
    const int height = args.value(at + 2).toInt();
    const QString format = args.value(at + 3);
    qputenv("LINKSIM_COUNT", "1");
    qputenv("LINKSIM_WIDTH", QByteArray::number(width));
    qputenv("LINKSIM_HEIGHT", QByteArray::number(height));
    qputenv("LINKSIM_FORMAT", format.toLatin1());
    qputenv("LINKSIM_FPS", "30");
    if (!loadSdk(sdkPath(args)))
        return 2;

    auto w = openCamera(0);
    if (!w)
        return 2;
    ShownFrames shown(w->findChild<QLabel *>("label"));
    runEventLoop(2000); // warm up: camera open, first frames, caches

    const int seconds = 6;
    const double cpu0 = threadCpuSeconds();
    const int received0 = MainWindowProbe::frameTotal(*w);
    const int shown0 = shown.count;
    QElapsedTimer wall;
    wall.start();
    runEventLoop(seconds * 1000);
    const double elapsed = wall.elapsed() / 1000.0;
    const double cpu = threadCpuSeconds() - cpu0;
    const int received = MainWindowProbe::frameTotal(*w) - received0;
    const int displayed = shown.count - shown0;

    // Idle: the camera stopped, its last frame stays on screen.
    w->findChild<QAction *>("actStop")->trigger();
    runEventLoop(1000);
    const double idleCpu0 = threadCpuSeconds();
    QElapsedTimer idleWall;
    idleWall.start();
    runEventLoop(seconds * 1000);
    const double idleElapsed = idleWall.elapsed() / 1000.0;
    const double idleCpu = threadCpuSeconds() - idleCpu0;

    QTextStream out(stdout);
    out << QString("%1x%2 %3").arg(width).arg(height).arg(format, -5) << "  received "
        << QString::number(received / elapsed, 'f', 1) << " fps, shown "
        << QString::number(displayed / elapsed, 'f', 1) << " fps, GUI thread "
        << QString::number(displayed ? 1000.0 * cpu / displayed : 0.0, 'f', 2)
        << " ms per shown frame = " << QString::number(100.0 * cpu / elapsed, 'f', 1) << " % of a core; idle "
        << QString::number(100.0 * idleCpu / idleElapsed, 'f', 2) << " % of a core\n";
    return 0;
}

int screenshot(const QStringList &args)
{
    const QString file = args.value(args.indexOf("--screenshot") + 1);
    const int camera = args.indexOf("--camera") >= 0 ? args.value(args.indexOf("--camera") + 1).toInt() : 0;
    const int seconds
        = args.indexOf("--seconds") >= 0 ? args.value(args.indexOf("--seconds") + 1).toInt() : 3;
    if (!loadSdk(sdkPath(args)))
        return 2;
    auto w = openCamera(camera);
    if (!w)
        return 2;
    w->move(0, 0);
    runEventLoop(seconds * 1000);
    const QRect area = w->frameGeometry();
    const QPixmap shot
        = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(file)) {
        qCritical("cannot write %s", qPrintable(file));
        return 2;
    }
    return 0;
}

int menuScreenshot(const QStringList &args)
{
    const QString file = args.value(args.indexOf("--menu-screenshot") + 1);
    if (!loadSdk(sdkPath(args)))
        return 2;
    auto w = std::make_unique<MainWindow>();
    w->show();
    w->move(0, 0);
    runEventLoop(300);
    auto *list = w->findChild<QListWidget *>("listWidget");
    if (!list || list->count() == 0) {
        qCritical("no camera listed");
        return 2;
    }
    // Select the first camera, then right-click on it: the menu opens at the cursor.
    list->setCurrentRow(0);
    const QRect row = list->visualItemRect(list->item(0));
    QCursor::setPos(list->viewport()->mapToGlobal(row.center() - QPoint(row.width() / 4, 0)));
    bool saved = false;
    QTimer::singleShot(300, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu)
            menu->setActiveAction(w->findChild<QAction *>("InitOpenAct"));
        QTimer::singleShot(300, [&, menu] {
            const QRect area = w->frameGeometry();
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
                0, area.x(), area.y(), area.width(), area.height());
            saved = menu && shot.save(file);
            if (menu)
                menu->close();
        });
    });
    emit list->customContextMenuRequested(row.center());
    if (!saved) {
        qCritical("no context menu, or cannot write %s", qPrintable(file));
        return 2;
    }
    return 0;
}

// User and system time of this whole process, in seconds.
double processCpuSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The command name (field 2) may hold blanks: count fields after its ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble(); // utime, stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

double processCpuPercent(int seconds)
{
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runEventLoop(seconds * 1000);
    return 100.0 * (processCpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);
}

int processCpu(const QStringList &args)
{
    const int seconds = args.value(args.indexOf("--process-cpu") + 1).toInt();
    if (seconds <= 0 || !loadSdk(sdkPath(args)))
        return 2;
    auto w = std::make_unique<MainWindow>();
    w->setWaitForFrames(args.contains("--wait-for-frames"));
    w->show();
    runEventLoop(300);
    if (!w->openCamera(0)) {
        qCritical("no camera 0");
        return 2;
    }
    runEventLoop(3000); // warm up: camera open, first frames, caches
    const int frames0 = MainWindowProbe::frameTotal(*w);
    const double streaming = processCpuPercent(seconds);
    const double fps = double(MainWindowProbe::frameTotal(*w) - frames0) / seconds;
    w->findChild<QAction *>("actClose")->trigger();
    runEventLoop(2000);
    const double closed = processCpuPercent(seconds);
    QTextStream(stdout) << "streaming " << QString::number(streaming, 'f', 2) << " % of a core ("
                        << QString::number(fps, 'f', 1) << " frames/s received), closed "
                        << QString::number(closed, 'f', 2) << " % of a core\n";
    return 0;
}

int runAll(const QStringList &args)
{
    struct Case {
        int width, height;
        const char *format;
    };
    const Case cases[] = {
        { 1280, 1024, "mono" },
        { 1280, 1024, "color" },
        { 2448, 2048, "mono" },
        { 2448, 2048, "color" },
    };
    int failures = 0;
    for (const Case &c : cases) {
        QStringList caseArgs { "--case", QString::number(c.width), QString::number(c.height), c.format };
        const int sdkAt = args.indexOf("--sdk");
        if (sdkAt >= 0)
            caseArgs << "--sdk" << args.value(sdkAt + 1);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), caseArgs);
        if (!child.waitForFinished(120000) || child.exitCode() != 0)
            ++failures;
    }
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The program's own heap tuning, so that the frame images cost what they cost there.
    keepFrameMemoryInProcess();
    QApplication app(argc, argv);
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setQuitOnLastWindowClosed(false);
    // The program's own debug lines (one per frame) would drown the results.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    const QStringList args = app.arguments();
    const int caseAt = args.indexOf("--case");
    if (caseAt >= 0)
        return runCase(args, caseAt);
    if (args.contains("--screenshot"))
        return screenshot(args);
    if (args.contains("--menu-screenshot"))
        return menuScreenshot(args);
    if (args.contains("--process-cpu"))
        return processCpu(args);
    return runAll(args);
}
