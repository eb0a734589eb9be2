// Soak run: the real window, offscreen, against both simulated cameras for a
// given number of minutes, doing what an operator does all day:
//  - streams from one camera, then the other, switching every 20 to 60 s
//    (select, the open action, then stop and close);
//  - writes the exposure time once a second and counts the cameras'
//    acknowledgements ("set success:>40962" from the command channel);
//  - takes a snapshot every 30 s (the files go to a temporary working folder
//    and are removed at once);
//  - downloads a 20 MB firmware file through the firmware dialog after the
//    first minute and every 5 minutes after that, and checks what the camera kept.
// Once a minute it prints resident memory, open descriptors, threads and the
// frame rate, and it fails (exit 1, with the reason) when memory grows by more
// than 1 MB after the warm-up, descriptors or threads grow after it, the frame
// rate falls below 90 % of the camera's, a write goes unacknowledged for 5 s,
// a snapshot writes nothing, a download fails or a message box appears.
//
//   soak_driver [--minutes N] [--warmup M] [--fps F] [--sdk PATH]
//
// N defaults to 30, M (the warm-up, in minutes) to 5, F (the cameras' frame
// rate) to 30. The simulated SDK is taken from --sdk, else $TAVIX_TEST_SDK,
// else liblink.so beside the program or in the folder above. The cameras bind
// the command and firmware ports on their addresses: scripts/soak.sh gives the
// run addresses and ports of its own (LINKSIM_BASE_IP and the port settings).
#include "camera/framememory.h"
#include "camera/sdkbinding.h"
#include "core/cmdframe.h"
#include "core/paramcatalogue.h"
#include "core/testports.h"
#include "core/transfer.h"
#include "gui/firmwaredialog.h"
#include "gui/messagebox.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QStyleFactory>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <iterator>
#include <memory>

namespace {

constexpr qint64 FirmwareBytes = 20 * 1000 * 1000;
constexpr int WriteAckTimeoutMs = 5000;
constexpr int FirstFrameTimeoutMs = 10000;
constexpr int DownloadTimeoutMs = 120000;
constexpr qint64 MemoryGrowthKb = 1024;
// Seconds each camera streams before the switch, in turn.
constexpr int SwitchAfterSeconds[] = { 20, 45, 30, 60, 25, 40 };

int ackedWrites = 0;

void handleMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    static const QString ack = QStringLiteral("set success:>") + QString::number(paramcat::kIdExposureTime);
    if (text == ack)
        ++ackedWrites;
    // The program's own debug lines (several per frame) would drown the report.
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

QString option(const QStringList &args, const QString &name, const QString &fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

QString sdkPath(const QStringList &args)
{
    QString path = option(args, QStringLiteral("--sdk"), qEnvironmentVariable("TAVIX_TEST_SDK"));
    if (!path.isEmpty())
        return path;
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : { here.filePath("liblink.so"), here.filePath("../liblink.so") })
        if (QFileInfo::exists(candidate))
            return candidate;
    return QString();
}

struct Sample {
    qint64 rssKb = 0;
    int fds = 0;
    int threads = 0;
};

// Under AddressSanitizer resident memory holds its quarantine of freed blocks
// and its shadow, so growth there says nothing about leaks: its own leak check
// at exit does that job.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryJudged = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool MemoryJudged = false;
#else
constexpr bool MemoryJudged = true;
#endif
#else
constexpr bool MemoryJudged = true;
#endif

Sample sampleProcess()
{
    // Free heap pages go back first, so the figure counts memory in use rather
    // than what the allocator keeps for reuse (the simulated cameras share the
    // process and free their receive buffers on their own threads).
    releaseUnusedMemory();
    Sample s;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                s.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    s.fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    s.threads = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    return s;
}

// CRC-32 and size of a file, read in parts.
std::optional<std::pair<quint32, qint64>> fileCrc(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    firmware::RunningCrc crc;
    qint64 total = 0;
    QByteArray part(1 << 20, Qt::Uninitialized);
    for (qint64 n; (n = file.read(part.data(), part.size())) > 0; total += n)
        crc.update(part.constData(), n);
    return std::make_pair(crc.value(), total);
}

// Whether a socket of another process is bound to the command port: the
// replies to this one may then be delivered there instead.
bool commandPortShared()
{
    QSet<QByteArray> own;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        if (target.contains(QLatin1String("socket:[")))
            own.insert(target.section(QLatin1Char('['), 1).section(QLatin1Char(']'), 0, 0).toLatin1());
    }
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray port = QByteArray::number(commandPortWithTestOverride(), 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
        if (fields.size() > 9 && fields[1].endsWith(':' + port) && !own.contains(fields[9]))
            return true;
    }
    return false;
}

class Soak : public QObject {
public:
    Soak(int minutes, int warmup, int fps, const QString &workDir)
        : minutes(minutes)
        , warmup(warmup)
        , fps(fps)
        , work(workDir)
    {
    }

    // False when the window or its controls are not as expected.
    bool start();
    int exitCode() const { return failure.isEmpty() ? 0 : 1; }

private:
    template <typename T> T *find(QObject *in, const char *name)
    {
        T *found = in->findChild<T *>(QLatin1String(name));
        if (!found)
            fail(QStringLiteral("no %1 in the window").arg(QLatin1String(name)));
        return found;
    }
    void trigger(const char *action)
    {
        if (QAction *found = window ? find<QAction>(window.get(), action) : nullptr)
            found->trigger();
    }
    bool makeWindow();
    QStringList firmwareLog() const;
    void writeParameterAcks();

    void openCamera(int row);
    void closeCamera();
    void closeSegment();
    void switchCamera();
    void watchFrames();
    void writeParameter();
    void snapshot();
    void startDownload();
    void watchDownload();
    void sampleMinute();
    void finish();
    void fail(const QString &why);

    const int minutes;
    const int warmup;
    const int fps;
    const QDir work;

    std::unique_ptr<MainWindow> window;
    QListWidget *list = nullptr;
    QTableWidget *table = nullptr;
    FirmWareDialog *firmwareDialog = nullptr;
    QString firmwarePath;
    quint32 firmwareCrc = 0;
    QElapsedTimer clock;
    QTimer frameWatch, writes, snapshots, downloads, downloadWatch, minutesTimer, switches;

    int row = 0;
    int switchCount = 0;
    bool awaitingFirstFrame = false;
    qint64 openedAt = 0;
    int framesAtOpen = 0;
    bool segmentOpen = false;
    qint64 segmentStart = 0;
    int segmentFrames = 0;
    qint64 minuteFrames = 0;
    qint64 minuteStreamMs = 0;

    int writesSent = 0;
    std::deque<qint64> pendingWrites; // when each unacknowledged write went out
    int ackedSeen = 0;
    int exposure = 10000;
    int snapshotsTaken = 0;
    int downloadsStarted = 0;
    int downloadsDone = 0;
    int downloadLogStart = 0;
    qint64 downloadStartedAt = 0;

    int minute = 0;
    Sample baseline[2]; // per camera row
    bool baselineTaken[2] = { false, false };
    QString failure;
    bool started = false;
    bool finished = false;
};

bool Soak::start()
{
    // The firmware file: 20 MB of pseudo-random bytes, made once.
    firmwarePath = work.filePath(QStringLiteral("soak-firmware.bin"));
    {
        QFile out(firmwarePath);
        if (!out.open(QIODevice::WriteOnly)) {
            fail(QStringLiteral("cannot write %1").arg(firmwarePath));
            return false;
        }
        QRandomGenerator random(7);
        QByteArray part(1 << 20, Qt::Uninitialized);
        for (qint64 left = FirmwareBytes; left > 0; left -= part.size()) {
            if (left < part.size())
                part.resize(int(left));
            random.fillRange(reinterpret_cast<quint32 *>(part.data()), part.size() / 4);
            out.write(part);
        }
    }
    firmwareCrc = fileCrc(firmwarePath)->first;

    msgbox::setHandler([this](const msgbox::Request &box) {
        fail(QStringLiteral("a message box appeared: %1 %2").arg(box.title, box.text));
        return QMessageBox::Ok;
    });

    if (!makeWindow())
        return false;

    clock.start();
    connect(&frameWatch, &QTimer::timeout, this, &Soak::watchFrames);
    frameWatch.start(50);
    connect(&writes, &QTimer::timeout, this, &Soak::writeParameter);
    writes.start(1000);
    connect(&snapshots, &QTimer::timeout, this, &Soak::snapshot);
    snapshots.start(30000);
    connect(&downloads, &QTimer::timeout, this, &Soak::startDownload);
    // The first after a minute, then every 5 minutes; 10 s off the minute's
    // samples, so that none counts the download's connection and file.
    downloads.start(70000);
    connect(&downloadWatch, &QTimer::timeout, this, &Soak::watchDownload);
    connect(&minutesTimer, &QTimer::timeout, this, &Soak::sampleMinute);
    minutesTimer.start(60000);
    switches.setSingleShot(true);
    connect(&switches, &QTimer::timeout, this, &Soak::switchCamera);

    std::printf("soak: %d minute(s), warm-up %d, cameras at %d frames/s, working folder %s\n", minutes,
        warmup, fps, qPrintable(work.path()));
    if (minutes <= warmup)
        std::printf("soak: the run is not longer than the warm-up: memory, descriptor and thread growth "
                    "are not judged\n");
    if (commandPortShared())
        std::printf("soak: another program has UDP port %u open: camera replies may go there\n",
            unsigned(commandPortWithTestOverride()));
    std::fflush(stdout);
    openCamera(0);
    started = true;
    return true;
}

// The window, its controls and its firmware dialog. A window opens one
// camera in its life (the acquisition loop opens the selected camera on its
// first pass, and nothing opens another later): each switch gets a fresh one.
bool Soak::makeWindow()
{
    list = nullptr;
    table = nullptr;
    firmwareDialog = nullptr;
    window = std::make_unique<MainWindow>();
    window->show();
    list = find<QListWidget>(window.get(), "listWidget");
    table = find<QTableWidget>(window.get(), "tableWidget");
    if (!list || !table)
        return false;
    if (list->count() < 2) {
        fail(QStringLiteral("%1 camera(s) listed, 2 expected").arg(list->count()));
        return false;
    }
    trigger("FirmwareUpdateaction");
    for (QWidget *top : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<FirmWareDialog *>(top);
        if (dialog && dialog->isVisible())
            firmwareDialog = dialog;
    }
    if (!firmwareDialog) {
        fail(QStringLiteral("the firmware action opened no firmware dialog"));
        return false;
    }
    firmwareDialog->setFileDialogHook([this](QWidget *, const QString &, const QString &, const QString &) {
        return QStringList { firmwarePath };
    });
    return true;
}

QStringList Soak::firmwareLog() const
{
    return firmwareDialog->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))
        ->toPlainText()
        .split(QLatin1Char('\n'));
}

void Soak::openCamera(int newRow)
{
    row = newRow;
    list->setCurrentRow(row);
    trigger("InitOpenAct");
    awaitingFirstFrame = true;
    openedAt = clock.elapsed();
    framesAtOpen = MainWindowProbe::frameTotal(*window);
    const int seconds = SwitchAfterSeconds[switchCount++ % std::size(SwitchAfterSeconds)];
    switches.start(seconds * 1000);
}

// Adds the frames of the streaming time so far to the minute's count.
void Soak::closeSegment()
{
    if (!segmentOpen)
        return;
    const qint64 now = clock.elapsed();
    const int total = MainWindowProbe::frameTotal(*window);
    minuteFrames += total - segmentFrames;
    minuteStreamMs += now - segmentStart;
    segmentStart = now;
    segmentFrames = total;
}

void Soak::closeCamera()
{
    trigger("actStop");
    QCoreApplication::sendPostedEvents(); // frames emitted before the loop ended
    closeSegment();
    segmentOpen = false;
    awaitingFirstFrame = false;
    trigger("actClose");
}

void Soak::switchCamera()
{
    // Not in the middle of a download, nor with a write on its way: the old
    // window's sockets go with it.
    if (downloadWatch.isActive() || !pendingWrites.empty() || ackedSeen < ackedWrites) {
        writeParameterAcks();
        switches.start(200);
        return;
    }
    closeCamera();
    if (!makeWindow())
        return;
    openCamera(1 - row);
}

void Soak::watchFrames()
{
    if (!awaitingFirstFrame)
        return;
    const int total = MainWindowProbe::frameTotal(*window);
    if (total > framesAtOpen) {
        // The rate counts from the first frame on: opening is not streaming.
        awaitingFirstFrame = false;
        segmentOpen = true;
        segmentStart = clock.elapsed();
        segmentFrames = total;
    } else if (clock.elapsed() - openedAt > FirstFrameTimeoutMs) {
        fail(QStringLiteral("camera %1 (%2) gave no frame within %3 s of opening")
                 .arg(row)
                 .arg(list->item(row)->text())
                 .arg(FirstFrameTimeoutMs / 1000));
    }
}

void Soak::writeParameterAcks()
{
    for (; ackedSeen < ackedWrites; ++ackedSeen) {
        if (!pendingWrites.empty())
            pendingWrites.pop_front();
    }
}

void Soak::writeParameter()
{
    const qint64 now = clock.elapsed();
    writeParameterAcks();
    if (!pendingWrites.empty() && now - pendingWrites.front() > WriteAckTimeoutMs) {
        fail(QStringLiteral("a parameter write went unacknowledged for %1 s (%2 sent, %3 acknowledged)%4")
                 .arg(WriteAckTimeoutMs / 1000)
                 .arg(writesSent)
                 .arg(ackedWrites)
                 .arg(commandPortShared() ? QStringLiteral("; another program also has UDP port %1 open and "
                                                           "may have taken the replies")
                                                .arg(commandPortWithTestOverride())
                                          : QString()));
        return;
    }
    const int exposureRow = paramcat::parameterById(paramcat::kIdExposureTime)->row;
    QTableWidgetItem *value = table->item(exposureRow, 1);
    auto *set = qobject_cast<QPushButton *>(table->cellWidget(exposureRow, 2));
    if (!value || !set)
        return; // the table is filled at the first open
    exposure = exposure == 20000 ? 10000 : 20000;
    value->setText(QString::number(exposure));
    set->click();
    ++writesSent;
    pendingWrites.push_back(now);
}

void Soak::snapshot()
{
    QDir images(work.filePath(QStringLiteral("CameraImage")));
    const int before = images.exists() ? images.entryList(QDir::Files).size() : 0;
    trigger("saveOneImageAct");
    const QStringList written = images.entryList(QDir::Files);
    if (written.size() <= before) {
        fail(QStringLiteral("the snapshot action wrote no file into %1").arg(images.path()));
        return;
    }
    ++snapshotsTaken;
    for (const QString &name : written)
        images.remove(name);
}

void Soak::startDownload()
{
    downloads.setInterval(5 * 60000);
    if (downloadWatch.isActive())
        return; // the last one is still running; the watch fails it in time
    downloadLogStart = firmwareLog().size();
    downloadStartedAt = clock.elapsed();
    ++downloadsStarted;
    find<QPushButton>(firmwareDialog, "NetWorkPushButton")->click();
    find<QPushButton>(firmwareDialog, "OpenfileButton")->click();
    find<QPushButton>(firmwareDialog, "LoadPushButton")->click();
    downloadWatch.start(200);
}

void Soak::watchDownload()
{
    const QStringList lines = firmwareLog().mid(downloadLogStart);
    static const QStringList failures { QStringLiteral("Network fail!!!"),
        QStringLiteral("defeated once again!!!"),
        QStringLiteral("Network write failed, the transfer is stopped!!!"),
        QStringLiteral("Network connection closed, the transfer is stopped!!!"),
        QStringLiteral("No file was sent: every queued file was skipped!!!") };
    for (const QString &line : lines) {
        if (failures.contains(line)) {
            downloadWatch.stop();
            fail(QStringLiteral("firmware download %1 failed: %2")
                     .arg(downloadsStarted)
                     .arg(lines.join(QLatin1String(" | "))));
            return;
        }
    }
    if (!lines.contains(QString::fromUtf8("所有文件传输完成!!!"))) {
        if (clock.elapsed() - downloadStartedAt > DownloadTimeoutMs) {
            downloadWatch.stop();
            fail(QStringLiteral("firmware download %1 gave no verdict within %2 s: %3")
                     .arg(downloadsStarted)
                     .arg(DownloadTimeoutMs / 1000)
                     .arg(lines.join(QLatin1String(" | "))));
        }
        return;
    }
    downloadWatch.stop();
    // The dialog keeps the address it was given at start-up (camera 0's),
    // whichever camera is selected: look in every camera's folder.
    const QDir received(qEnvironmentVariable("LINKSIM_FIRMWARE_DIR"));
    QString kept;
    for (const QString &camera : received.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo::exists(received.filePath(camera + QStringLiteral("/soak-firmware.bin"))))
            kept = received.filePath(camera + QStringLiteral("/soak-firmware.bin"));
    }
    const auto crc = fileCrc(kept);
    if (!crc || crc->first != firmwareCrc || crc->second != FirmwareBytes) {
        fail(QStringLiteral("firmware download %1: the camera kept %2, not the file sent")
                 .arg(downloadsStarted)
                 .arg(crc ? QStringLiteral("%1 bytes in %2").arg(crc->second).arg(kept)
                          : QStringLiteral("nothing")));
        return;
    }
    QFile::remove(kept);
    ++downloadsDone;
}

void Soak::sampleMinute()
{
    ++minute;
    closeSegment();
    const Sample now = sampleProcess();
    const double rate = minuteStreamMs > 5000 ? 1000.0 * double(minuteFrames) / double(minuteStreamMs) : -1;
    std::printf("minute %3d: rss %8.1f MB, fds %3d, threads %3d, %s fps (camera %d), writes %d/%d "
                "acknowledged, snapshots %d, downloads %d/%d, switches %d\n",
        minute, double(now.rssKb) / 1024.0, now.fds, now.threads,
        rate < 0 ? "   -" : qPrintable(QString::number(rate, 'f', 1)), fps, ackedWrites, writesSent,
        snapshotsTaken, downloadsDone, downloadsStarted, switchCount - 1);
    std::fflush(stdout);
    minuteFrames = 0;
    minuteStreamMs = 0;

    if (rate >= 0 && rate < 0.9 * fps)
        fail(QStringLiteral("frame rate %1 fps in minute %2, below 90 % of the camera's %3")
                 .arg(rate, 0, 'f', 1)
                 .arg(minute)
                 .arg(fps));
    if (downloadWatch.isActive()) {
        std::printf("soak: a download is running: this sample is not compared\n");
    } else if (minute >= warmup && !baselineTaken[row]) {
        // The grey and the colour camera keep frames of different sizes in
        // flight: each camera's samples are compared with its own first one
        // after the warm-up.
        baseline[row] = now;
        baselineTaken[row] = true;
        std::printf("soak: warm-up over for camera %d; its later samples are compared with this one%s\n", row,
            MemoryJudged ? "" : " (memory is shown, not judged, under AddressSanitizer)");
    } else if (baselineTaken[row]) {
        const Sample &base = baseline[row];
        if (MemoryJudged && now.rssKb > base.rssKb + MemoryGrowthKb)
            fail(QStringLiteral("resident memory grew by %1 kB since the warm-up (limit %2 kB)")
                     .arg(now.rssKb - base.rssKb)
                     .arg(MemoryGrowthKb));
        if (now.fds > base.fds)
            fail(QStringLiteral("open descriptors grew from %1 to %2 since the warm-up").arg(base.fds).arg(now.fds));
        if (now.threads > base.threads)
            fail(QStringLiteral("threads grew from %1 to %2 since the warm-up")
                     .arg(base.threads)
                     .arg(now.threads));
    }
    if (minute >= minutes)
        finish();
}

void Soak::finish()
{
    if (finished)
        return;
    finished = true;
    if (downloadWatch.isActive())
        fail(QStringLiteral("firmware download %1 still running at the end").arg(downloadsStarted));
    for (QTimer *timer :
        { &frameWatch, &writes, &snapshots, &downloads, &downloadWatch, &minutesTimer, &switches })
        timer->stop();
    closeCamera();
    std::printf("soak: %s after %d minute(s): %d/%d writes acknowledged, %d snapshots, %d/%d downloads\n",
        failure.isEmpty() ? "PASSED" : "FAILED", minute, ackedWrites, writesSent, snapshotsTaken,
        downloadsDone, downloadsStarted);
    std::fflush(stdout);
    QCoreApplication::exit(exitCode());
}

void Soak::fail(const QString &why)
{
    std::printf("FAIL: %s\n", qPrintable(why));
    std::fflush(stdout);
    const bool first = failure.isEmpty();
    failure = why;
    if (first && started)
        QTimer::singleShot(0, this, &Soak::finish);
}

} // namespace

int main(int argc, char *argv[])
{
    keepFrameMemoryInProcess();
    QApplication app(argc, argv);
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setQuitOnLastWindowClosed(false);
    qInstallMessageHandler(handleMessage);
    const QStringList args = app.arguments();
    const int minutes = option(args, QStringLiteral("--minutes"), QStringLiteral("30")).toInt();
    const int warmup = option(args, QStringLiteral("--warmup"), QStringLiteral("5")).toInt();
    const int fps = option(args, QStringLiteral("--fps"), QStringLiteral("30")).toInt();
    if (minutes < 1 || warmup < 0 || fps < 1 || fps > 240) {
        std::fprintf(
            stderr, "usage: soak_driver [--minutes N>=1] [--warmup M>=0] [--fps 1..240] [--sdk PATH]\n");
        return 2;
    }

    // Snapshots and received firmware go to a folder of their own, removed at the end.
    QTemporaryDir work(QDir::temp().filePath(QStringLiteral("tavix-soak-XXXXXX")));
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "soak: cannot make a working folder\n");
        return 2;
    }
    qputenv("LINKSIM_COUNT", "2");
    qputenv("LINKSIM_FPS", QByteArray::number(fps));
    qputenv("LINKSIM_FIRMWARE_DIR", QFile::encodeName(work.filePath(QStringLiteral("camera-firmware"))));
    if (!loadSdk(sdkPath(args))) {
        std::fprintf(stderr, "soak: cannot load the simulated SDK (--sdk PATH)\n");
        return 2;
    }
    Soak soak(minutes, warmup, fps, work.path());
    if (!soak.start())
        return 2;
    const int code = app.exec();
    return code;
}
