// One simulated camera: identity (name, address, MAC), SDK state, trigger
// mode, parameters, the registered frame callback, and its transports.
//
// Locks, always taken in this order and never held while a callback runs:
//   m_control  serialises open/start/stop/close/mode (stop and close join the
//              delivery thread while holding it);
//   m_mutex    guards identity, state and callback, held briefly;
//   FrameSource's own lock.
// An operation called from inside this camera's frame callback only tries
// m_control; if another thread is changing the camera's state it returns
// LINKSIM_ERR_BUSY instead of waiting for a thread that waits for it.
#ifndef TAVIX_SIM_SIMCAMERA_H
#define TAVIX_SIM_SIMCAMERA_H

#include "core/linksdk.h"
#include "sim/paramstore.h"
#include "sim/simconfig.h"
#include "sim/simtransport.h"

#include <QByteArray>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace linksim {

class FrameSource;

enum class CameraState { Closed = 0, Opened = 1, Streaming = 2 };

class SimCamera {
public:
    explicit SimCamera(const CameraSetup &setup);
    ~SimCamera();
    SimCamera(const SimCamera &) = delete;
    SimCamera &operator=(const SimCamera &) = delete;

    // Fixed for the camera's life.
    const std::array<uchar, 6> &mac() const { return m_mac; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bytesPerPixel() const { return m_bpp; }
    int burst() const { return m_burst; }

    QByteArray name() const;
    quint32 ip() const;
    CameraRecord record() const;
    // True if `record` names this camera by its name and address (the MAC
    // is compared by the caller first).
    bool matchesNameAndIp(const CameraRecord &record) const;

    // SDK operations; status codes of linksim.h.
    int open();
    int start();
    int stop();
    int close();
    int setMode(int mode);
    int softTrigger();
    int registerCallback(FrameCallback callback, void *context);
    int setName(const QByteArray &name);
    // Moves the camera; the model has checked that the address is free.
    void setIp(quint32 ip);

    CameraState state() const;
    std::pair<FrameCallback, void *> callback() const;
    ParameterStore &parameters() { return m_parameters; }
    const ParameterStore &parameters() const { return m_parameters; }
    FrameSource &frames() { return *m_frames; }

    // Transports: attached while the model is built, started by IB_CC_Init,
    // stopped (threads joined) by shutdown() when the library unloads.
    void addTransport(std::unique_ptr<SimTransport> transport);
    void startTransports();
    void shutdown();

private:
    // Locks m_control, or only tries to when called from this camera's
    // delivery thread (see the note at the top).
    std::unique_lock<std::mutex> controlLock();

    const std::array<uchar, 6> m_mac;
    const int m_width;
    const int m_height;
    const int m_bpp;
    const int m_burst;

    std::mutex m_control;
    mutable std::mutex m_mutex;
    QByteArray m_name;
    quint32 m_ip;
    CameraState m_state = CameraState::Closed;
    FrameCallback m_callback = nullptr;
    void *m_context = nullptr;
    bool m_shutDown = false;

    ParameterStore m_parameters;
    FrameSource *m_frames = nullptr; // owned by m_transports
    std::vector<std::unique_ptr<SimTransport>> m_transports;
};

} // namespace linksim

#endif
