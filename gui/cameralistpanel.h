// The camera list panel: the list of enumerated cameras, its context menu, the
// information fields, the selected camera's index and its command target record.
#ifndef TAVIX_CAMERALISTPANEL_H
#define TAVIX_CAMERALISTPANEL_H

#include "core/cameracode.h"

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QWidget;
class WorkThread;

// Selecting a row registers the frame callback of its camera with the worker and
// makes it the target of the UDP commands.
class CameraListPanel : public QObject {
    Q_OBJECT

public:
    // The form's widgets this panel runs; the window keeps owning them.
    struct Widgets {
        QWidget *window = nullptr; // parent of the context menu
        QListWidget *list = nullptr;
        QLineEdit *name = nullptr;
        QLineEdit *ip = nullptr;
        QLineEdit *mac = nullptr;
        QLineEdit *rate = nullptr;
        QLineEdit *total = nullptr;
        // The context menu: the camera actions, a separator, the trigger modes.
        QList<QAction *> cameraActions;
        QList<QAction *> modeActions;
        QAction *record = nullptr; // after the others, on its own; none when null
    };

    CameraListPanel(const Widgets &widgets, WorkThread &worker, QObject *parent = nullptr);

    // Lists the cameras the worker enumerated; returns 1 when done.
    int fillCameraList();
    bool hasNoCameras() const;
    // The camera record of the selected row; 0 until a row is selected.
    int camIndex() const { return selected; }
    // Where the UDP commands go: the selected camera's IP text and MAC bytes.
    const CameraCodeRecord &cameraCode() const { return CameraCode; }

    // Makes the row of camera record `record` the list's current row, which
    // selects that camera; false when no listed camera has that record.
    bool selectRecord(int record);
    // Makes the list's current row the selected camera (nothing without one).
    void selectCurrent(QListWidgetItem *current);
    // Opens the context menu at the mouse cursor, unless the list is empty.
    void showContextMenu();
    // A new address or name handed to the camera; the list and the target keep the old ones.
    void showCameraIp(const QString &text);
    void showCameraName(const QString &text);
    // The once-per-second refresh: frames of the last second and the running total.
    void showFrameCounts(int lastSecond, int total);

private:
    // Camera record behind a row of the list, -1 for no row.
    int recordOfRow(int row) const;

    Widgets form;
    WorkThread &worker;
    int selected = 0;
    CameraCodeRecord CameraCode;
    QString rateText;
    QString totalText;
};

#endif
