// Test access to the main window's private state, through the panels that hold it.
#ifndef TAVIX_MAINWINDOWPROBE_H
#define TAVIX_MAINWINDOWPROBE_H

#include "gui/cameralistpanel.h"
#include "gui/commandchannel.h"
#include "gui/mainwindow.h"
#include "gui/parameterpanel.h"
#include "gui/pictureview.h"
#include "gui/recordingcontrol.h"
#include "gui/statusnotes.h"

struct MainWindowProbe {
    static int camIndex(const MainWindow &w) { return w.cameraList->camIndex(); }
    static int frameTotal(const MainWindow &w) { return w.picture->frameTotal(); }
    static int timerId(const MainWindow &w) { return w.timerId; }
    static const QImage &frameImage(const MainWindow &w) { return w.picture->newestFrame(); }
    static const CameraCodeRecord &cameraCode(const MainWindow &w) { return w.cameraList->cameraCode(); }
    static WorkThread *worker(const MainWindow &w) { return w.worker; }
    static bool edited(const MainWindow &w) { return w.parameters->edited(); }
    static int fillCameraList(MainWindow &w) { return w.cameraList->fillCameraList(); }
    static CommandChannel &commandChannel(MainWindow &w) { return w.parameters->commandChannel(); }
    static PictureView &picture(MainWindow &w) { return *w.picture; }
    static QString notice(const MainWindow &w) { return w.notes->text(); }
    static RecordingControl &recording(MainWindow &w) { return *w.recording; }
};

#endif
