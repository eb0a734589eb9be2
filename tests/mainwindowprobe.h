// Test access to the main window's private state.
#ifndef TAVIX_MAINWINDOWPROBE_H
#define TAVIX_MAINWINDOWPROBE_H

#include "gui/mainwindow.h"

struct MainWindowProbe {
    static int camIndex(const MainWindow &w) { return w.camIndex; }
    static int frameCount(const MainWindow &w) { return w.frameCount; }
    static int frameTotal(const MainWindow &w) { return w.frameTotal; }
    static int timerId(const MainWindow &w) { return w.timerId; }
    static const QImage &frameImage(const MainWindow &w) { return w.frameImage; }
    static const CameraCodeRecord &cameraCode(const MainWindow &w) { return w.CameraCode; }
    static WorkThread *worker(const MainWindow &w) { return w.worker; }
    static bool edited(const MainWindow &w) { return w.edited; }
    static int fillCameraList(MainWindow &w) { return w.fillCameraList(); }
};

#endif
