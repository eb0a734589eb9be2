// The window's notices: what went wrong with a camera or with a snapshot.
#ifndef TAVIX_STATUSNOTES_H
#define TAVIX_STATUSNOTES_H

#include "camera/workthread.h"

#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

class QLabel;
class QStatusBar;

// A label kept in the status bar ("noticeLabel") shows the newest notice until
// the next one. The status bar's own message, the command port warning, stays
// beside it, so neither hides the other.
class StatusNotes : public QObject {
    Q_OBJECT

public:
    // `worker` names the cameras.
    StatusNotes(QStatusBar *bar, WorkThread &worker, QObject *parent = nullptr);

    // The notice shown, empty for none.
    QString text() const;

public slots:
    // Tells of `fault` once for each camera and kind of fault.
    void cameraFault(const CameraFault &fault);
    // A snapshot not saved: `text` says which and why.
    void snapshotFailed(const QString &text);
    // A snapshot saved: the notice of one that was not goes away.
    void snapshotSaved();

private:
    void show(const QString &text);

    QLabel *label;
    WorkThread &worker;
    QSet<QPair<int, int>> faultsShown; // camera, kind
    bool showsSnapshotFailure = false;
};

#endif
