// One way in which a simulated camera talks to the world: the frame delivery
// through the SDK callback, the UDP command responder (port 3956 at the
// camera's address), the TCP firmware receiver (port 7766 at the camera's
// address).
//
// A camera owns its transports. Their lifecycle hooks:
//  - start(): the SDK was initialised (IB_CC_Init); begin serving, e.g. bind
//    sockets at camera.ip() and start a thread. A transport that cannot start
//    writes one line to stderr and returns false; the camera works on without it.
//  - stop(): the library is being unloaded (or the process ends); stop every
//    thread and close every socket before returning. Called once, after
//    start() or without it; must not call back into the SDK operations.
//  - addressChanged(): IB_CC_setCameraip moved the camera; rebind to the new
//    address. Called on the thread of the SDK caller, never concurrently with
//    itself for the same camera.
// Transports read and write the camera's parameters through
// SimCamera::parameters(), which any thread may use.
#ifndef TAVIX_SIM_SIMTRANSPORT_H
#define TAVIX_SIM_SIMTRANSPORT_H

namespace linksim {

class SimTransport {
public:
    virtual ~SimTransport() = default;
    virtual const char *name() const = 0;
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual void addressChanged() { }
};

} // namespace linksim

#endif
