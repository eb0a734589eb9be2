#include "ctl/firmwarecmd.h"

#include "core/regularfile.h"
#include "core/transfer.h"
#include "ctl/camerajob.h"
#include "ctl/interrupt.h"
#include "ctl/restart.h"
#include "ctl/sharedimages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace ctl {

namespace {

    constexpr int kBarWidth = 24;
    constexpr int kRedrawMs = 100;

    bool stdoutIsTerminal()
    {
#ifdef Q_OS_UNIX
        return ::isatty(STDOUT_FILENO) == 1;
#elif defined(Q_OS_WIN)
        // A console that takes the bars' escape sequences (Windows 10 on); a
        // redirected output or an older console gets the plain lines.
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode))
            return false;
        constexpr DWORD kVirtualTerminal = 0x0004; // ENABLE_VIRTUAL_TERMINAL_PROCESSING
        return (mode & kVirtualTerminal) || SetConsoleMode(out, mode | kVirtualTerminal);
#else
        return false;
#endif
    }

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

} // namespace

int runFirmware(
    const Invocation &inv, const QVector<CameraEntry> &cameras, QTextStream &out, QTextStream &err)
{
    // Everything that can be checked is checked before any camera is touched.
    QVector<Target> targets;
    for (const QString &text : inv.cameras) {
        const Resolution resolution = resolveCamera(cameras, text);
        if (!resolution.target) {
            err << "tavixctl: " << resolution.error << '\n';
            return ExitBadInput;
        }
        bool twice = false;
        for (const Target &t : targets)
            twice = twice || t.ip == resolution.target->ip;
        if (!twice)
            targets.append(*resolution.target);
    }
    // A file is looked at, never opened, here: a FIFO would block the open.
    // Its name must reach the camera as it is.
    for (const QString &file : inv.files) {
        const regularfile::Kind kind = regularfile::kindOf(file);
        if (kind == regularfile::Kind::Missing) {
            err << "tavixctl: cannot read " << shownPath(file) << ": no such file\n";
            return ExitBadInput;
        }
        if (kind != regularfile::Kind::Regular) {
            err << "tavixctl: cannot read " << shownPath(file) << ": " << regularfile::kindText(kind)
                << (kind == regularfile::Kind::Other ? "" : ", not a regular file") << '\n';
            return ExitBadInput;
        }
        if (!QFileInfo(file).isReadable()) {
            err << "tavixctl: cannot read " << shownPath(file) << '\n';
            return ExitBadInput;
        }
        const QString name = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
        if (const std::optional<firmware::NameRefusal> refusal = firmware::headerNameRefusal(name)) {
            err << "tavixctl: cannot send " << shownPath(file) << ": " << firmware::nameRefusalText(*refusal)
                << '\n';
            return ExitBadInput;
        }
    }

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
    for (const Target &target : targets)
        jobs.push_back(std::make_unique<CameraJob>(target, options));
    // A file every camera is done with leaves memory.
    const auto releaseFinishedFiles = [&] {
        for (const QString &file : inv.files) {
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

    const bool terminal = stdoutIsTerminal();
    ProgressView view(jobs, out, terminal);
    QElapsedTimer total;
    total.start();

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

    QVector<SummaryRow> rows;
    bool allSent = true;
    for (const auto &job : jobs) {
        for (const CameraJob::Row &row : job->rows()) {
            rows.append({ job->target().label(), QFileInfo(row.file).fileName(), row.outcome,
                QString::number(row.resends), seconds(row.ms) });
            allSent = allSent && row.ok;
        }
    }

    // The restarts come after every download, so no camera goes down while
    // another still receives; all restart first, then each is waited for.
    bool restartsOk = true;
    if (inv.restart && !interrupted) {
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
            restartsOk = restartsOk && elapsed >= 0;
            rows.append({ job->target().label(), QStringLiteral("(restart)"), outcome, QStringLiteral("-"),
                seconds(elapsed) });
        }
    }

    printSummary(rows, out);
    out << "total " << seconds(total.elapsed()) << '\n';
    out.flush();
    if (interrupted)
        return ExitInterrupted;
    return allSent && restartsOk ? ExitOk : ExitFailed;
}

} // namespace ctl
