// Recording image sequences from the window: the record/stop action, the
// recording's folder, which frames it keeps (recording::Plan), the writer
// (FrameRecorder) and what the status bar says about it.
#ifndef TAVIX_RECORDINGCONTROL_H
#define TAVIX_RECORDINGCONTROL_H

#include "camera/framerecorder.h"
#include "core/recordingplan.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QImage;
class QLabel;
class QStatusBar;
class QTimer;
class QWidget;

class RecordingControl : public QObject {
    Q_OBJECT

public:
    // `record` is the record/stop action; the status bar gets a label
    // ("recordingLabel") that shows the frames written and lost.
    RecordingControl(QWidget *window, QAction *record, QStatusBar *bar, QObject *parent = nullptr);
    ~RecordingControl() override;

    const recording::Settings &settings() const { return chosen; }
    // For the next recording (one under way keeps its own).
    void setSettings(const recording::Settings &settings);

    bool isRecording() const { return plan != nullptr; }
    // Starts a recording into a new folder under CameraImage in the working
    // directory, named by the start time. False, with a message box, when that
    // folder cannot be made.
    bool start();
    // Ends the recording under way; the frames already queued are still written.
    void stop();
    // Every frame the window receives.
    void frame(const QImage &image);

    // The folder of the recording under way or the last one; empty before any.
    QString folder() const { return lastFolder; }
    int written() const;
    int lost() const;
    // Frames that were to be kept since the start.
    int taken() const { return takenFrames; }
    QString statusText() const;
    // The texts again, in the language now applied.
    void retranslate();

    // Seams for the tests: the clock that names the folders, what writes a
    // frame into its file, the queue's size in bytes.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock);
    void setImageWriter(FrameRecorder::ImageWriter writer);
    void setQueueBytes(qint64 bytes);

signals:
    void recordingChanged(bool recording);
    // Every frame handed over has been written or given up.
    void recordingFinished();

private:
    void tick();
    void showStatus();
    void writeFailed(const QString &path, const QString &reason);
    void recorderFinished(FrameRecorder *recorder);
    void showAction();

    QWidget *window;
    QAction *action;
    QLabel *label;
    QTimer *timer;
    recording::Settings chosen;
    std::unique_ptr<recording::Plan> plan; // while recording
    std::unique_ptr<FrameRecorder> recorder; // the one of the last recording
    bool recorderDone = false; // it has written or given up every frame
    // Earlier recorders still writing their queues when a new recording started.
    std::vector<std::unique_ptr<FrameRecorder>> draining;
    QElapsedTimer clockSinceStart;
    QString lastFolder;
    int takenFrames = 0;
    bool failed = false;
    Clock clock;
    FrameRecorder::ImageWriter writer;
    qint64 queueBytes = FrameRecorder::DefaultQueueBytes;
};

#endif
