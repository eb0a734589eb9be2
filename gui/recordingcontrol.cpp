#include "gui/recordingcontrol.h"

#include "core/regularfile.h"
#include "gui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// How often the status bar's count is brought up to date while recording, and
// the time limit looked at when no frame comes.
constexpr int TickMs = 200;
// Folders of one start second beyond this many are refused rather than looked for.
constexpr int MaxFoldersPerStamp = 1000;

} // namespace

RecordingControl::RecordingControl(QWidget *window, QAction *record, QStatusBar *bar, QObject *parent)
    : QObject(parent)
    , window(window)
    , action(record)
    , label(new QLabel(bar))
    , timer(new QTimer(this))
{
    label->setObjectName(QStringLiteral("recordingLabel"));
    bar->addPermanentWidget(label);
    label->hide();
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this] {
        if (isRecording())
            stop();
        else
            start();
        showAction();
    });
    timer->setInterval(TickMs);
    connect(timer, &QTimer::timeout, this, &RecordingControl::tick);
    setClock(nullptr);
    showAction();
}

RecordingControl::~RecordingControl()
{
    // Each recorder writes what it holds before it goes.
    if (recorder)
        recorder->disconnect(this);
    for (const auto &old : draining)
        old->disconnect(this);
}

void RecordingControl::setSettings(const recording::Settings &settings)
{
    chosen = recording::clamped(settings);
}

void RecordingControl::setClock(Clock newClock)
{
    clock = newClock ? std::move(newClock) : Clock(&QDateTime::currentDateTime);
}

void RecordingControl::setImageWriter(FrameRecorder::ImageWriter newWriter)
{
    writer = std::move(newWriter);
}

void RecordingControl::setQueueBytes(qint64 bytes)
{
    queueBytes = bytes;
}

bool RecordingControl::start()
{
    if (isRecording())
        return true;
    const QString base = QDir::currentPath() + QStringLiteral("/CameraImage");
    const QDateTime now = clock();
    const QString folder = regularfile::firstUnusedPath(
        [&](int attempt) { return base + QLatin1Char('/') + recording::folderName(now, attempt); },
        MaxFoldersPerStamp);
    // mkdir, not mkpath: the folder is new, never one that came meanwhile.
    const bool made = !folder.isEmpty() && QDir().mkpath(base) && QDir().mkdir(folder);
    qDebug().noquote() << "recording folder" << folder << (made ? "made" : "not made");
    if (!made) {
        msgbox::warning(window, tr("录像"),
            tr("录像没有开始: 无法在 %1 中创建文件夹。").arg(QDir::toNativeSeparators(base)));
        return false;
    }
    if (recorder && !recorderDone)
        draining.push_back(std::move(recorder)); // still writing the last recording's queue
    recorderDone = false;
    recorder = std::make_unique<FrameRecorder>(folder, chosen.format, queueBytes, writer);
    FrameRecorder *fresh = recorder.get();
    connect(fresh, &FrameRecorder::writeFailed, this, &RecordingControl::writeFailed, Qt::QueuedConnection);
    connect(
        fresh, &FrameRecorder::finished, this, [this, fresh] { recorderFinished(fresh); },
        Qt::QueuedConnection);
    plan = std::make_unique<recording::Plan>(chosen);
    lastFolder = folder;
    takenFrames = 0;
    failed = false;
    clockSinceStart.start();
    timer->start();
    showStatus();
    showAction();
    emit recordingChanged(true);
    return true;
}

void RecordingControl::stop()
{
    if (!isRecording())
        return;
    plan.reset();
    timer->stop();
    recorder->finish(); // it writes its queue, then says so
    qDebug().noquote() << "recording stopped:" << lastFolder << takenFrames << "frames taken";
    showStatus();
    showAction();
    emit recordingChanged(false);
}

void RecordingControl::frame(const QImage &image)
{
    if (!isRecording())
        return;
    const recording::Plan::Decision decision = plan->offer(clockSinceStart.elapsed());
    switch (decision.kind) {
    case recording::Plan::Decision::Skip:
        return;
    case recording::Plan::Decision::Over:
        stop();
        return;
    case recording::Plan::Decision::Take:
        break;
    }
    ++takenFrames;
    recorder->offer(image, decision.number); // a full queue counts the frame as lost
    if (plan->over())
        stop();
}

void RecordingControl::tick()
{
    if (plan && plan->over(clockSinceStart.elapsed())) {
        stop();
        return;
    }
    showStatus();
}

int RecordingControl::written() const
{
    return recorder ? recorder->written() : 0;
}

int RecordingControl::lost() const
{
    return recorder ? recorder->lost() : 0;
}

QString RecordingControl::statusText() const
{
    if (!recorder)
        return QString();
    const QString folder = QDir::toNativeSeparators(lastFolder);
    if (isRecording())
        return tr("录像中 %1: 已写入 %2 帧, 丢失 %3 帧").arg(folder).arg(written()).arg(lost());
    return tr("录像结束 %1: 已写入 %2 帧, 丢失 %3 帧").arg(folder).arg(written()).arg(lost());
}

void RecordingControl::showStatus()
{
    const QString text = statusText();
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

void RecordingControl::showAction()
{
    const bool on = isRecording();
    action->setChecked(on);
    action->setText(on ? tr("停止录像") : tr("录像"));
    action->setToolTip(on ? tr("停止录像") : tr("开始录像 (设置 → 录像/抓图)"));
    action->setIcon(QApplication::style()->standardIcon(on ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void RecordingControl::retranslate()
{
    showAction();
    showStatus();
}

void RecordingControl::writeFailed(const QString &path, const QString &reason)
{
    if (failed)
        return;
    failed = true;
    // The recorder takes no more frames: the recording is over.
    if (isRecording() && sender() == recorder.get())
        stop();
    const QString why = reason.isEmpty()
        ? tr("无法写成 %1 图像").arg(QLatin1String(recording::formatName(chosen.format)))
        : reason;
    qWarning().noquote() << "recording stopped: frame" << path << "not written:" << why;
    msgbox::warning(window, tr("录像"),
        tr("录像已停止: 无法写入 %1 (%2)。已写入的帧都完整地保存在文件夹中。")
            .arg(QDir::toNativeSeparators(path), why));
}

void RecordingControl::recorderFinished(FrameRecorder *finished)
{
    if (finished == recorder.get()) {
        recorderDone = true;
        if (isRecording()) // it gave up after a failed write
            stop();
        showStatus();
        emit recordingFinished();
        return;
    }
    const auto old = std::find_if(draining.begin(), draining.end(),
        [finished](const std::unique_ptr<FrameRecorder> &r) { return r.get() == finished; });
    if (old != draining.end())
        draining.erase(old);
}
