// Firmware download speed: the file CRC-32 and the making of transfer images,
// and a whole 100 MiB download from the dialog to the simulated camera's
// receiver on loopback (its pacing: 100 ms after each 4 MiB piece, 1 s before
// the end frame).
//
// The download needs the simulated SDK library: TAVIX_TEST_SDK, or liblink.so
// in the build folder above this program.
#include "gui/messagebox.h"
#include "gui/firmwaredialog.h"
#include "core/transfer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <benchmark/benchmark.h>

using namespace firmware;

namespace {

const char *const CameraIp = "127.0.0.43";

QByteArray patternBytes(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    quint32 x = 0x12345678;
    for (char &c : bytes) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return bytes;
}

void BM_FileCrc32(benchmark::State &state)
{
    const QByteArray data = patternBytes(64 * 1024 * 1024);
    for (auto _ : state) {
        RunningCrc crc;
        for (qint64 at = 0; at < data.size(); at += PieceSize)
            crc.update(data.constData() + at, std::min<qint64>(PieceSize, data.size() - at));
        benchmark::DoNotOptimize(crc.value());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * data.size());
}
BENCHMARK(BM_FileCrc32)->Unit(benchmark::kMillisecond);

void BM_BuildTransferImage(benchmark::State &state)
{
    const QByteArray data = patternBytes(64 * 1024 * 1024);
    for (auto _ : state) {
        auto image = buildTransferImage(data);
        benchmark::DoNotOptimize(image->crc);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * data.size());
}
BENCHMARK(BM_BuildTransferImage)->Unit(benchmark::kMillisecond);

using StartFn = int (*)(const char *, const char *);
using StopFn = int (*)(const char *);

// Downloads one file of state.range(0) bytes per iteration, timed from the
// load button to the camera's acceptance. The floor is the pacing alone.
void BM_Download(benchmark::State &state)
{
    QString sdkPath = qEnvironmentVariable("TAVIX_TEST_SDK");
    if (sdkPath.isEmpty())
        sdkPath = QCoreApplication::applicationDirPath() + QStringLiteral("/../liblink.so");
    QLibrary sdk(sdkPath);
    auto start = reinterpret_cast<StartFn>(sdk.resolve("linksim_firmware_receiver_start"));
    auto stop = reinterpret_cast<StopFn>(sdk.resolve("linksim_firmware_receiver_stop"));
    QTemporaryDir source, camera;
    if (!start || !stop || !source.isValid() || !camera.isValid()) {
        state.SkipWithError("simulated SDK library or temporary folders not available");
        return;
    }
    if (start(CameraIp, QFile::encodeName(camera.path()).constData()) != 0) {
        state.SkipWithError("the firmware receiver did not start");
        return;
    }

    const qint64 fileSize = state.range(0);
    const QString path = source.filePath(QStringLiteral("firmware.bin"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(patternBytes(fileSize));
    }

    FirmWareDialog dialog;
    msgbox::setHandler([](const msgbox::Request &) { return QMessageBox::Ok; });
    dialog.setFileDialogHook(
        [&](QWidget *, const QString &, const QString &, const QString &) { return QStringList { path }; });
    dialog.read_ip(QLatin1String(CameraIp));
    auto *log = dialog.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
    dialog.findChild<QPushButton *>(QStringLiteral("NetWorkPushButton"))->click();
    if (!log->toPlainText().contains(QLatin1String("NOW is network success!"))) {
        stop(CameraIp);
        state.SkipWithError("no connection to the firmware receiver");
        return;
    }
    dialog.findChild<QPushButton *>(QStringLiteral("OpenfileButton"))->click();

    const QString done = QString::fromUtf8("所有文件传输完成!!!");
    for (auto _ : state) {
        log->clear();
        QElapsedTimer clock;
        clock.start();
        dialog.findChild<QPushButton *>(QStringLiteral("LoadPushButton"))->click();
        while (!log->toPlainText().contains(done) && clock.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!log->toPlainText().contains(done)) {
            state.SkipWithError("the download did not finish");
            break;
        }
    }
    const int pieces = pieceCountFor(imageSizeFor(fileSize));
    const double floorSeconds = 0.002 + pieces * 0.1 + 1.0;
    state.counters["pieces"] = pieces;
    state.counters["floor_s"] = floorSeconds;
    state.SetBytesProcessed(qint64(state.iterations()) * fileSize);
    stop(CameraIp);
}
// 100 MiB transfer image (25 pieces) and a 100 MiB file (26 pieces: the CRC
// runs over into a piece of its own).
BENCHMARK(BM_Download)
    ->Arg(100 * 1024 * 1024 - 4)
    ->Arg(100 * 1024 * 1024)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
