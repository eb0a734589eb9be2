#include "ctl/firmwarecmd.h"

#include "core/regularfile.h"
#include "core/transfer.h"
#include "ctl/camerajob.h"
#include "ctl/interrupt.h"
#include "ctl/restart.h"
#include "ctl/sharedimages.h"
#include "ctl/stdstreams.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include <memory>
#include <vector>

namespace ctl {

namespace {

    constexpr int kBarWidth = 24;
    constexpr int kRedrawMs = 100;

    QString seconds(qint64 ms)
    {
        return ms < 0 ? QStringLiteral("-") : QStringLiteral("%1 s").arg(double(ms) / 1000.0, 0, 'f', 2);
    }

    // One line per camera, redrawn in place on a terminal; plain lines at
    // every tenth of a file and at each file's end otherwise.
    class ProgressView {
    public:
        ProgressView(const std::vector<std::unique_ptr<CameraJob>> &jobs, QTextStream &out, bool terminal)
            : jobs(jobs)
            , out(out)
            , terminal(terminal)
        {
            redraw.setSingleShot(true);
            QObject::connect(&redraw, &QTimer::timeout, [this] { draw(); });
            for (const auto &job : jobs) {
                CameraJob *j = job.get();
                QObject::connect(j, &CameraJob::changed, &redraw, [this, j] { changed(j); });
                QObject::connect(j, &CameraJob::fileDone, &redraw, [this](const QString &line) {
                    if (!this->terminal) {
                        this->out << line << '\n';
                        this->out.flush();
                    }
                });
            }
        }

        void draw()
        {
            if (!terminal)
                return;
            if (drawn)
                out << QStringLiteral("\x1b[%1A").arg(jobs.size());
            for (const auto &job : jobs) {
                const int filled = job->progress() * kBarWidth / 100;
                out << "\r\x1b[2K" << job->target().label() << "  " << job->currentFile() << ' '
                    << job->fileNumber() << '/' << job->fileCount() << "  ["
                    << QString(filled, QLatin1Char('#')) << QString(kBarWidth - filled, QLatin1Char(' '))
                    << "] " << QString::number(job->progress()).rightJustified(3) << "%  " << job->state();
                if (job->resends() > 0)
                    out << "  re-sends " << job->resends();
                out << '\n';
            }
            out.flush();
            drawn = true;
        }

    private:
        void changed(CameraJob *job)
        {
            if (terminal) {
                if (!redraw.isActive())
                    redraw.start(kRedrawMs);
                return;
            }
            // Plain lines: one at each tenth of the current file.
            const QString key = job->target().ip + QLatin1Char('/') + QString::number(job->fileNumber());
            const int tenth = job->progress() / 10;
            if (job->progress() > 0 && tenth > lastTenth.value(key, 0)) {
                lastTenth.insert(key, tenth);
                out << job->target().ip << ' ' << job->currentFile() << ' ' << job->fileNumber() << '/'
                    << job->fileCount() << ": " << job->progress() << "%\n";
                out.flush();
            }
        }

        const std::vector<std::unique_ptr<CameraJob>> &jobs;
        QTextStream &out;
        bool terminal;
        bool drawn = false;
        QTimer redraw;
        QHash<QString, int> lastTenth;
    };

    // A path as the messages show it: control characters (which could steer
    // a terminal) as '?'; the refusal names the character itself.
    QString shownPath(QString path)
    {
        for (QChar &c : path) {
            const ushort u = c.unicode();
            if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
                c = QLatin1Char('?');
        }
        return path;
    }

    struct SummaryRow {
        QString camera;
        QString file;
        QString outcome;
        QString resends;
        QString time;
    };

    void printSummary(const QVector<SummaryRow> &rows, QTextStream &out)
    {
        SummaryRow header { QStringLiteral("CAMERA"), QStringLiteral("FILE"), QStringLiteral("OUTCOME"),
            QStringLiteral("RE-SENDS"), QStringLiteral("TIME") };
        int widths[4] = { 0, 0, 0, 0 };
        for (const SummaryRow &row : QVector<SummaryRow> { header } + rows) {
            widths[0] = qMax(widths[0], row.camera.size());
            widths[1] = qMax(widths[1], row.file.size());
            widths[2] = qMax(widths[2], row.outcome.size());
            widths[3] = qMax(widths[3], row.resends.size());
        }
        for (const SummaryRow &row : QVector<SummaryRow> { header } + rows) {
            out << row.camera.leftJustified(widths[0]) << "  " << row.file.leftJustified(widths[1]) << "  "
                << row.outcome.leftJustified(widths[2]) << "  " << row.resends.leftJustified(widths[3])
                << "  " << row.time << '\n';
        }
        out.flush();
    }

    // Everything that can be checked is checked before any camera is touched:
    // the cameras, and the files, which are looked at, never opened here (a
    // FIFO would block the open), and whose names must reach the camera as
    // they are. The cameras to serve, each once, or nothing after a line on `err`.
    std::optional<QVector<Target>> validate(
        const Invocation &inv, const QVector<CameraEntry> &cameras, QTextStream &err)
    {
        QVector<Target> targets;
        for (const QString &text : inv.cameras) {
            const Resolution resolution = resolveCamera(cameras, text);
            if (!resolution.target) {
                err << "tavixctl: " << resolution.error << '\n';
                return std::nullopt;
            }
            bool twice = false;
            for (const Target &t : targets)
                twice = twice || t.ip == resolution.target->ip;
            if (!twice)
                targets.append(*resolution.target);
        }
        for (const QString &file : inv.files) {
            const regularfile::Kind kind = regularfile::kindOf(file);
            const QString shown = shownPath(file);
            QString problem;
            if (kind == regularfile::Kind::Missing)
                problem = QStringLiteral("cannot read ") + shown + QStringLiteral(": no such file");
            else if (kind != regularfile::Kind::Regular)
                problem = QStringLiteral("cannot read ") + shown + QStringLiteral(": ")
                    + regularfile::kindText(kind)
                    + (kind == regularfile::Kind::Other ? "" : ", not a regular file");
            else if (!QFileInfo(file).isReadable())
                problem = QStringLiteral("cannot read ") + shown;
            else if (const auto refusal
                = firmware::headerNameRefusal(file.mid(file.lastIndexOf(QLatin1Char('/')) + 1)))
                problem = QStringLiteral("cannot send ") + shown + QStringLiteral(": ")
                    + firmware::nameRefusalText(*refusal);
            if (!problem.isEmpty()) {
                err << "tavixctl: " << problem << '\n';
                return std::nullopt;
            }
        }
        return targets;
    }

    // The downloads, all cameras at once, until each is done or Ctrl+C. True
    // when interrupted.
    bool download(const std::vector<std::unique_ptr<CameraJob>> &jobs, const QStringList &files,
        SharedImages &images, QTextStream &out, QTextStream &err)
    {
        // A file every camera is done with leaves memory.
        const auto releaseFinishedFiles = [&] {
            for (const QString &file : files) {
                bool needed = false;
                for (const auto &job : jobs) {
                    bool past = job->isDone();
                    for (const CameraJob::Row &row : job->rows())
                        past = past || row.file == file;
                    needed = needed || !past;
                }
                if (!needed)
                    images.release(file);
            }
        };
        for (const auto &job : jobs) {
            QObject::connect(job.get(), &CameraJob::fileDone, job.get(), releaseFinishedFiles);
            QObject::connect(job.get(), &CameraJob::finished, job.get(), releaseFinishedFiles);
        }

        ProgressView view(jobs, out, stdoutIsTerminal());
        QEventLoop loop;
        bool interrupted = Interrupt::instance().raised();
        const auto allDone = [&jobs] {
            for (const auto &job : jobs) {
                if (!job->isDone())
                    return false;
            }
            return true;
        };
        for (const auto &job : jobs)
            QObject::connect(job.get(), &CameraJob::finished, &loop, [&] {
                if (allDone())
                    loop.quit();
            });
        QObject::connect(&Interrupt::instance(), &Interrupt::interrupted, &loop, [&] {
            interrupted = true;
            for (const auto &job : jobs)
                job->interrupt();
            loop.quit();
        });
        if (!interrupted) {
            for (const auto &job : jobs)
                job->start();
            view.draw();
            if (!allDone())
                loop.exec();
        } else {
            for (const auto &job : jobs)
                job->interrupt();
        }
        view.draw();
        if (interrupted) {
            // Let the connections close cleanly before the summary.
            QEventLoop closing;
            QTimer::singleShot(1100, &closing, &QEventLoop::quit);
            closing.exec();
            err << "tavixctl: interrupted; the summary so far:\n";
            err.flush();
        }
        return interrupted;
    }

    // The restarts come after every download, so no camera goes down while
    // another still receives; all restart first, then each is waited for.
    // One summary row per camera; true when every camera came back.
    bool restartCameras(
        const Invocation &inv, const std::vector<std::unique_ptr<CameraJob>> &jobs, QVector<SummaryRow> &rows)
    {
        bool allBack = true;
        QHash<QString, QString> failure;
        QElapsedTimer clock;
        clock.start();
        for (const auto &job : jobs) {
            QString error;
            if (!job->succeeded())
                failure.insert(job->target().ip, QStringLiteral("not restarted: not every file was sent"));
            else if (!sendRestart(job->target().ip, inv.firmwarePort, inv.timeoutMs, &error))
                failure.insert(job->target().ip, QStringLiteral("not restarted: ") + error);
        }
        for (const auto &job : jobs) {
            const QString ip = job->target().ip;
            QString outcome = failure.value(ip);
            qint64 elapsed = -1;
            if (outcome.isEmpty()) {
                QString error;
                qint64 waited = 0;
                if (waitUntilBack(ip, inv.firmwarePort, inv.timeoutMs, &waited, &error)) {
                    elapsed = clock.elapsed();
                    outcome = QStringLiteral("restarted");
                } else {
                    outcome = QStringLiteral("restart sent, not back within %1 ms: %2")
                                  .arg(inv.timeoutMs)
                                  .arg(error);
                }
            }
            allBack = allBack && elapsed >= 0;
            rows.append({ job->target().label(), QStringLiteral("(restart)"), outcome, QStringLiteral("-"),
                seconds(elapsed) });
        }
        return allBack;
    }

} // namespace

int runFirmware(
    const Invocation &inv, const QVector<CameraEntry> &cameras, QTextStream &out, QTextStream &err)
{
    const std::optional<QVector<Target>> targets = validate(inv, cameras, err);
    if (!targets)
        return ExitBadInput;

    CameraJob::Options options;
    options.files = inv.files;
    options.typeCode = inv.typeCode;
    options.timeoutMs = inv.timeoutMs;
    options.port = inv.firmwarePort;
    // Each file is read and checksummed once, not once per camera: the cameras'
    // pacing timers would otherwise wait behind every other camera's read.
    SharedImages images;
    options.imageSource
        = [&images](const QString &path, firmware::ImageError *error) { return images.image(path, error); };
    std::vector<std::unique_ptr<CameraJob>> jobs;
    for (const Target &target : *targets)
        jobs.push_back(std::make_unique<CameraJob>(target, options));

    QElapsedTimer total;
    total.start();
    const bool interrupted = download(jobs, inv.files, images, out, err);

    QVector<SummaryRow> rows;
    bool allSent = true;
    for (const auto &job : jobs) {
        for (const CameraJob::Row &row : job->rows()) {
            rows.append({ job->target().label(), QFileInfo(row.file).fileName(), row.outcome,
                QString::number(row.resends), seconds(row.ms) });
            allSent = allSent && row.ok;
        }
    }
    const bool restartsOk = !inv.restart || interrupted || restartCameras(inv, jobs, rows);

    printSummary(rows, out);
    out << "total " << seconds(total.elapsed()) << '\n';
    out.flush();
    if (interrupted)
        return ExitInterrupted;
    return allSent && restartsOk ? ExitOk : ExitFailed;
}

} // namespace ctl
