// The simulated camera's firmware receiver: a TCP server at the camera's
// address, port 7766, speaking the camera's side of the firmware download.
//
//  header frame (0x8F)        -> status 2, or status 3 for a size or name it cannot take
//  start frame (0x88 04 00)   -> status 4, then the raw transfer image is received,
//                                with status 5 progress at every tenth of it
//  end frame (0x88 03)        -> status 1 when the image's CRC-32 matches its file
//                                bytes (the file is written atomically into the
//                                folder under its announced name), else status 3
//  restart frame (0x90)       -> the connection is closed and connections are
//                                refused for a while, like a rebooting camera
//
// One client at a time: a new connection replaces the old one. The server runs
// on its own thread with plain sockets (sim/simsocket.h, no Qt event loop);
// stop() wakes it and joins it.
//
// Settings (environment, read by start() through FirmwareSettings::fromEnvironment;
// the port is LINKSIM_FIRMWARE_PORT of the simulated SDK's settings):
//   LINKSIM_FIRMWARE_DIR   folder for received files; each camera keeps its files
//                          in a subfolder named by its address (default: the temp
//                          folder's linksim-firmware)
//   LINKSIM_REJECT_FILES   reject (status 3) the next N complete files (default 0)
//   LINKSIM_RESTART_MS     how long a restart refuses connections (default 2000)
#ifndef TAVIX_SIM_FIRMWARERECEIVER_H
#define TAVIX_SIM_FIRMWARERECEIVER_H

#include "sim/simsocket.h"
#include "sim/simtransport.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <thread>

namespace linksim {

class SimCamera;

struct FirmwareSettings {
    QString baseFolder; // per-camera subfolders are made under it
    int rejectFiles = 0;
    int restartMs = 2000;

    static FirmwareSettings fromEnvironment();
    // The folder of the camera at ip (host order): baseFolder/127.x.y.z.
    QString folderFor(quint32 ip) const;
};

class FirmwareReceiver {
public:
    FirmwareReceiver() = default;
    ~FirmwareReceiver();
    FirmwareReceiver(const FirmwareReceiver &) = delete;
    FirmwareReceiver &operator=(const FirmwareReceiver &) = delete;

    // Binds ip (host order):port, creates folder and starts the thread.
    // False (with a line on stderr) when the folder cannot be made, the
    // address cannot be bound, or the receiver runs already.
    bool start(
        quint32 ip, const QString &folder, int rejectFiles = 0, int restartMs = 2000, quint16 port = 7766);
    // Stops the thread and closes every socket; a file being received is dropped.
    void stop();
    bool running() const { return thread.joinable(); }

    // Files kept and files rejected since start().
    int filesKept() const { return kept.load(); }
    int filesRejected() const { return rejected.load(); }
    // Restart frames acted on since start().
    int restartCount() const { return restarts.load(); }

private:
    class Session;
    void run(SocketHandle listener);

    std::thread thread;
    Waker wake;
    std::atomic<bool> stopping { false };
    std::atomic<int> kept { 0 };
    std::atomic<int> rejected { 0 };
    std::atomic<int> restarts { 0 };
    quint32 ip = 0;
    quint16 port = 7766;
    QString folder;
    int rejectLeft = 0;
    int restartMs = 2000;
};

// The receiver as a transport of a simulated camera: served at the camera's
// address from IB_CC_Init on, moved along when the address changes.
// Served at TCP `port` (7766 unless a test moves it).
std::unique_ptr<SimTransport> makeFirmwareTransport(SimCamera &camera, quint16 port);

} // namespace linksim

extern "C" {
// Starts a receiver at ip (dotted, in 127.0.0.0/8), port 7766 (or
// LINKSIM_FIRMWARE_PORT), keeping files
// in folder (null or empty: the LINKSIM_FIRMWARE_DIR rule). Other settings
// come from the environment. 0 on success, 8 for a bad address, 9 when the
// address cannot be bound, the folder cannot be made or a receiver runs there.
int linksim_firmware_receiver_start(const char *ip, const char *folder);
// Stops the receiver started at ip; 0, or 8 when none runs there.
int linksim_firmware_receiver_stop(const char *ip);
// Files kept by the receiver at ip since its start, or -1 when none runs there.
int linksim_firmware_files_kept(const char *ip);
// Restart frames the receiver at ip acted on since its start, or -1 when none runs there.
int linksim_firmware_restarts(const char *ip);
}

#endif
