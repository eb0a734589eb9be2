// Recording an image sequence as the window does: every frame is a deep copy
// of a 1280 x 1024 grey frame (as the acquisition thread hands over), offered
// on the event loop's thread at a steady rate to a recording plan and the
// frame recorder, which writes each one on its own thread.
//
//   bench_recording [--seconds S] [--fps F] [--format bmp|png|tif] [--dir FOLDER]
//
// Defaults: 60 s at 30 frames/s as BMP, into a new folder under the working
// directory (removed afterwards). Prints the frames offered, written and lost,
// the bytes written, and how long the hand-overs took on the event loop's
// thread (median, 99th percentile, longest). Exit code 1 when a frame was lost or a write failed.
#include "camera/framerecorder.h"
#include "core/recordingplan.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int seconds = 60;
    int fps = 30;
    recording::ImageFormat format = recording::ImageFormat::Bmp;
    QString base = QDir::currentPath();
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args[i];
        const QString &value = args[i + 1];
        if (name == QLatin1String("--seconds"))
            seconds = value.toInt();
        else if (name == QLatin1String("--fps"))
            fps = value.toInt();
        else if (name == QLatin1String("--dir"))
            base = value;
        else if (name == QLatin1String("--format"))
            format = value == QLatin1String("png") ? recording::ImageFormat::Png
                : value == QLatin1String("tif")    ? recording::ImageFormat::Tiff
                                                   : recording::ImageFormat::Bmp;
    }
    if (seconds < 1 || fps < 1) {
        std::fprintf(stderr, "bench_recording: --seconds and --fps take a positive number\n");
        return 2;
    }

    QTemporaryDir folder(base + QStringLiteral("/bench_recording-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "bench_recording: cannot make a folder in %s\n", qPrintable(base));
        return 2;
    }
    // A frame with some texture, so that no format gets it for free.
    QImage source(1280, 1024, QImage::Format_Indexed8);
    QVector<QRgb> grey(256);
    for (int i = 0; i < 256; ++i)
        grey[i] = qRgb(i, i, i);
    source.setColorTable(grey);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.scanLine(y)[x] = uchar((x * 3 + y * 5 + (x * y >> 7)) & 0xff);

    recording::Settings settings;
    settings.format = format;
    settings.stop = recording::StopRule::Seconds;
    settings.seconds = seconds;
    recording::Plan plan(settings);
    FrameRecorder recorder(folder.path(), format);
    bool failed = false;
    QObject::connect(
        &recorder, &FrameRecorder::writeFailed, &app, [&failed](const QString &path, const QString &reason) {
            failed = true;
            std::fprintf(
                stderr, "bench_recording: %s not written: %s\n", qPrintable(path), qPrintable(reason));
        });

    QElapsedTimer sinceStart;
    std::vector<qint64> offerNs; // each hand-over's time on the offering thread
    offerNs.reserve(size_t(seconds) * size_t(fps) + 16);
    int offered = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1000 / fps);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        QImage copy = source.copy(); // the worker's deep copy of each frame
        const recording::Plan::Decision d = plan.offer(sinceStart.elapsed());
        if (d.kind == recording::Plan::Decision::Over) {
            ticker.stop();
            recorder.finish();
            return;
        }
        if (d.kind != recording::Plan::Decision::Take)
            return;
        ++offered;
        QElapsedTimer handOver;
        handOver.start();
        recorder.offer(copy, d.number);
        offerNs.push_back(handOver.nsecsElapsed());
    });
    QObject::connect(
        &recorder, &FrameRecorder::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    sinceStart.start();
    ticker.start();
    app.exec();
    const double elapsed = sinceStart.elapsed() / 1000.0;

    qint64 bytes = 0;
    for (const QFileInfo &file : QDir(folder.path()).entryInfoList(QDir::Files))
        bytes += file.size();
    std::printf("%s, 1280 x 1024 grey, %d frames/s for %d s (%.1f s until all written) into %s\n",
        recording::formatName(format), fps, seconds, elapsed, qPrintable(QDir::toNativeSeparators(base)));
    std::sort(offerNs.begin(), offerNs.end());
    const auto at = [&offerNs](double share) {
        return offerNs.empty() ? 0.0 : offerNs[size_t(share * double(offerNs.size() - 1))] / 1e6;
    };
    std::printf("frames offered %d, written %d, lost %d; %.1f MiB written (%.1f MiB/s); "
                "hand-over median %.3f ms, p99 %.3f ms, longest %.3f ms\n",
        offered, recorder.written(), recorder.lost(), bytes / 1048576.0, bytes / 1048576.0 / elapsed,
        at(0.5), at(0.99), at(1.0));
    return failed || recorder.lost() > 0 || recorder.written() != offered ? 1 : 0;
}
