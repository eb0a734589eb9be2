// The download of a file queue to one camera: its own connection to port 7766
// and its own firmware::DownloadSession, driven from the event loop, so that
// any number of cameras are served side by side on one thread.
#ifndef TAVIX_CTL_CAMERAJOB_H
#define TAVIX_CTL_CAMERAJOB_H

#include "core/downloadsession.h"
#include "ctl/cameras.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>

class QTcpSocket;

namespace ctl {

class CameraJob : public QObject {
    Q_OBJECT
public:
    struct Options {
        QStringList files;
        quint8 typeCode = 0;
        int timeoutMs = 10000; // connecting, and the longest silence of the camera
        // The longest a phase may wait for the camera, however much progress
        // it reports (at least timeoutMs); tests shorten it.
        int phaseLimitMs = firmware::DownloadSession::PhaseLimitMs;
        quint16 port = firmware::CameraPort; // 7766, or the tests' port
        firmware::ImageSource imageSource; // empty: each file read when it is due
    };

    // One line of the summary: a file and what became of it.
    struct Row {
        QString file; // the path as given
        QString outcome; // "sent", or why not
        int resends = 0;
        qint64 ms = -1; // -1: never started
        bool ok = false;
    };

    CameraJob(const Target &target, const Options &options);
    ~CameraJob() override;

    void start();
    // Ctrl+C: the connection is closed (what is queued for it is dropped
    // after a short grace), files without an outcome are marked interrupted.
    void interrupt();

    bool isDone() const { return done; }
    bool succeeded() const;
    const Target &target() const { return camera; }
    QVector<Row> rows() const;

    // For the progress display.
    int progress() const { return percent; } // of the current file
    int fileNumber() const; // 1-based number of the current file
    int fileCount() const { return options.files.size(); }
    QString currentFile() const;
    QString state() const { return stateText; }
    int resends() const { return session.retryCount(); }

signals:
    void changed(); // progress or state
    void fileDone(const QString &line); // a file's outcome, as a plain line
    void finished();

private:
    void connected();
    void socketError();
    void readReplies();
    void pump();
    void connectTimedOut();
    void finish(const QString &whyOthers);
    void setState(const QString &text);

    Target camera;
    Options options;
    firmware::DownloadSession session;
    std::unique_ptr<QTcpSocket> socket;
    QTimer waitTimer; // the session's pacing waits
    QTimer watchdog; // connecting
    QTimer silenceTimer; // the session's deadlines for the camera's answer
    QTimer phaseTimer;
    bool pumping = false;
    QTimer graceTimer; // closing after an interrupt
    QElapsedTimer fileClock;
    QVector<Row> finishedRows;
    int percent = 0;
    bool done = false;
    bool interrupted = false;
    bool connectedOnce = false;
    bool afterVerdict = false;
    QString stateText;
};

} // namespace ctl

#endif
