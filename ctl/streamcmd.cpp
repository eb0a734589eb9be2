#include "ctl/streamcmd.h"

#include "camera/camerasdk.h"
#include "core/regularfile.h"
#include "core/streamstats.h"
#include "ctl/framehandoff.h"
#include "ctl/interrupt.h"
#include "ctl/output.h"
#include "ctl/stdstreams.h"

#include <QDebug>
#include <QEventLoop>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

#include <mutex>

namespace ctl {

namespace {

    // The CSV file is made up front, so that a run is not spent for a file that
    // cannot be written; it replaces an earlier one only when it is whole.
    bool openCsv(const QString &path, QSaveFile &file, QTextStream &err)
    {
        const regularfile::Kind kind = regularfile::kindOf(path);
        if (kind != regularfile::Kind::Missing && kind != regularfile::Kind::Regular) {
            err << "tavixctl: stream: --csv " << path << ": " << regularfile::kindText(kind)
                << ", not a regular file\n";
            return false;
        }
        file.setFileName(path);
        if (!file.open(QIODevice::WriteOnly)) {
            err << "tavixctl: stream: --csv " << path << ": " << file.errorString() << '\n';
            return false;
        }
        return true;
    }

    // One SDK call of the opening, logged as the window logs it; false after a
    // line on `err` when the SDK refuses it.
    bool sdkCall(const char *call, int status, const Target &camera, QTextStream &err)
    {
        qDebug() << call << "is:" << status;
        if (status == 0)
            return true;
        err << "tavixctl: cannot open " << camera.label() << ": " << call << " returned " << status << '\n';
        return false;
    }

} // namespace

int runStream(const Invocation &inv, const QVector<CameraEntry> &cameras, QTextStream &out, QTextStream &err)
{
    const Resolution resolution = resolveCamera(cameras, inv.camera);
    if (!resolution.target) {
        err << "tavixctl: " << resolution.error << '\n';
        return ExitBadInput;
    }
    const Target camera = *resolution.target;
    if (camera.index < 0) {
        err << "tavixctl: the camera SDK does not list " << camera.ip
            << ": stream opens a camera through it\n";
        return ExitBadInput;
    }
    QSaveFile csv;
    if (!inv.csv.isEmpty() && !openCsv(inv.csv, csv, err))
        return ExitBadInput;

    std::mutex meterMutex;
    streamstats::Meter meter(inv.seconds);
    // The SDK may still call the callback after the camera was stopped: the
    // hand-off outlives this run, closed, so such a call finds it there.
    static FrameHandoff handoff;
    handoff.open([&meter, &meterMutex](qint64 ns, bool dropped) {
        std::lock_guard<std::mutex> lock(meterMutex);
        meter.frame(ns, dropped);
    });
    handoff.startConsumer();
    const bool opened
        = sdkCall("IB_CC_RegisterImage",
              camerasdk::registerImage(camera.index, FrameHandoff::frameCallback, &handoff), camera, err)
        && sdkCall("IB_CC_OpenCamera", camerasdk::openCamera(camera.index), camera, err);
    const bool started
        = opened && sdkCall("IB_CC_StartCamera", camerasdk::startCamera(camera.index), camera, err);
    const qint64 startNs = steadyNowNs();

    bool interrupted = Interrupt::instance().raised();
    const bool terminal = stdoutIsTerminal() && !inv.json;
    if (started && !interrupted) {
        QEventLoop loop;
        QTimer tick;
        int shown = -1;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const qint64 now = steadyNowNs();
            int done = 0;
            streamstats::Second last;
            {
                // Briefly: the frame callback waits for this lock.
                std::lock_guard<std::mutex> lock(meterMutex);
                if (meter.done(now) || (!meter.started() && now - startNs >= kFirstFrameWaitMs * 1000000LL)) {
                    loop.quit();
                    return;
                }
                done = meter.secondsDone(now);
                last = meter.at(done - 1);
            }
            if (terminal && done != shown) {
                shown = done;
                out << "\r\x1b[2K" << camera.label() << ": second " << done << " of " << inv.seconds;
                if (done > 0)
                    out << ": " << last.delivered << " frames, " << last.dropped << " dropped";
                out.flush();
            }
        });
        QObject::connect(&Interrupt::instance(), &Interrupt::interrupted, &loop, [&] {
            interrupted = true;
            loop.quit();
        });
        tick.start(50);
        loop.exec();
        if (terminal) {
            out << "\r\x1b[2K";
            out.flush();
        }
    }
    const qint64 endNs = steadyNowNs();
    // No frame is counted after the run, whatever the SDK still delivers.
    handoff.close();
    handoff.stopConsumer();
    if (started)
        qDebug() << "IB_CC_StopCamera is:" << camerasdk::stopCamera(camera.index);
    if (opened)
        qDebug() << "IB_CC_CloseCamera is:" << camerasdk::closeCamera(camera.index);
    if (!started)
        return ExitBadInput;

    const QVector<streamstats::Second> seconds = meter.seconds(endNs);
    const qint64 openGap = meter.started() ? meter.openGapNs(endNs) : endNs - startNs;
    streamstats::Summary summary = summarize(seconds, openGap, inv.expectFps);
    if (!meter.started()) // the only fault: nothing was measured
        summary.faults = QStringList { QStringLiteral("no frame within %1 s of starting the camera")
                                           .arg(double(endNs - startNs) / 1e9, 0, 'f', 1) };
    if (interrupted) {
        err << "tavixctl: interrupted; the summary so far:\n";
        err.flush();
    }
    if (inv.json) {
        out << streamJson(camera, summary);
        for (const QString &fault : summary.faults)
            err << "tavixctl: " << camera.label() << ": " << fault << '\n';
    } else {
        out << streamText(camera, summary);
    }
    out.flush();

    if (!inv.csv.isEmpty()) {
        const QByteArray rows = streamstats::csvText(seconds);
        if (csv.write(rows) != rows.size() || !csv.commit()) {
            err << "tavixctl: stream: --csv " << inv.csv << " not written: " << csv.errorString() << '\n';
            return ExitBadInput;
        }
    }
    if (interrupted)
        return ExitInterrupted;
    return summary.pass ? ExitOk : ExitFailed;
}

} // namespace ctl
