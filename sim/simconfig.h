// Configuration of the simulated cameras: defaults, LINKSIM_* environment
// variables, and the address rules shared by start-up and IB_CC_setCameraip (dotted
// addresses are read by core's parseDottedIpv4).
#ifndef TAVIX_SIM_SIMCONFIG_H
#define TAVIX_SIM_SIMCONFIG_H

#include "core/cameracode.h"
#include "core/cmdframe.h"
#include "core/transfer.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace linksim {

// Everything that is fixed about one simulated camera when the SDK starts.
struct CameraSetup {
    QByteArray name; // at most 63 bytes
    quint32 ip = 0; // host order: 127.0.0.2 is 0x7F000002
    std::array<uchar, 6> mac {}; // first byte first
    int width = 0; // pixels
    int height = 0; // rows
    int bytesPerPixel = 1; // 1 = grey, 3 = blue, green, red
    int fps = 30; // free-run frame rate at start
    int burst = 1; // frames handed over back to back at each delivery (LINKSIM_BURST)
};

enum class PixelFormat { Mono, Color, Alternate };

struct SimConfig {
    static constexpr int kMaxCameras = 32;
    static constexpr int kMinSize = 16;
    static constexpr int kMaxSize = 8192;
    static constexpr int kMaxFps = 240;
    static constexpr int kMaxBurst = 16;

    int count = 2;
    int width = 1280;
    int height = 1024;
    PixelFormat format = PixelFormat::Alternate;
    int fps = 30;
    // Frames handed over back to back, as a link that holds frames back and
    // then delivers them together: the rate stays, the frames come in groups.
    int burst = 1;
    quint32 baseIp = 0x7F000002; // 127.0.0.2
    bool network = true; // attach the network transports (LINKSIM_NETWORK=0: frames only)
    // The ports the cameras serve: fixed in Tavix, movable here so that a test
    // program's cameras stay apart from those of an open Tavix (it moves Tavix's
    // side with TAVIX_COMMAND_PORT / TAVIX_FIRMWARE_PORT to match).
    quint16 commandPort = cmdproto::kPort; // LINKSIM_COMMAND_PORT, UDP
    quint16 firmwarePort = firmware::CameraPort; // LINKSIM_FIRMWARE_PORT, TCP

    // Reads LINKSIM_COUNT, LINKSIM_WIDTH, LINKSIM_HEIGHT, LINKSIM_FORMAT,
    // LINKSIM_FPS, LINKSIM_BURST, LINKSIM_BASE_IP, LINKSIM_NETWORK, LINKSIM_COMMAND_PORT and
    // LINKSIM_FIRMWARE_PORT through `lookup` (null when unset).
    // A value that does not parse or is out of range gets one line on
    // stderr and the default.
    using Lookup = std::function<std::optional<QByteArray>(const char *name)>;
    static SimConfig fromLookup(const Lookup &lookup);
    static SimConfig fromEnvironment();

    // Camera i: name "SimCam-Mono"/"SimCam-Color" (then "-2", "-3", ... for
    // further cameras of the same kind), address baseIp + i, MAC
    // 02:54:56:00:00:(i + 1).
    std::vector<CameraSetup> cameras() const;
};

// True for an address a simulated camera may have: inside 127.0.0.0/8 but
// not 127.0.0.0 (the network), 127.255.255.255 (broadcast) or 127.0.0.1
// (the host itself, where the tool binds its own UDP port).
bool isCameraAddress(quint32 ip);

} // namespace linksim

#endif
