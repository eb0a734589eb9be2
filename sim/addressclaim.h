// The network side of one simulated camera, served by one process per address.
//
// Several processes may load the simulated SDK with the same cameras (the
// tests while Tavix is open, two Tavix windows). Their sockets bind with address
// reuse, so each would get some of the requests at random. The first process
// claims the camera's address (a PortClaim, "tavix-camera-127.0.0.2.lock" in the
// temp folder) and serves it; a later one writes one line on stderr naming the
// address and the holder, and its camera delivers frames without answering
// commands or firmware downloads. The claim moves with the camera's address and
// is released at stop(), or by the end of the process.
#ifndef TAVIX_SIM_ADDRESSCLAIM_H
#define TAVIX_SIM_ADDRESSCLAIM_H

#include "sim/simtransport.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class PortClaim;

namespace linksim {

class AddressClaim final : public SimTransport {
public:
    // The camera's current IPv4 address in host order.
    using AddressSource = std::function<quint32()>;

    // `served` start and stop with the claim; `folder` holds the claim files
    // (empty: PortClaim's machine-wide folder).
    AddressClaim(AddressSource address, std::vector<std::unique_ptr<SimTransport>> served,
        const QString &folder = QString());
    ~AddressClaim() override;
    AddressClaim(const AddressClaim &) = delete;
    AddressClaim &operator=(const AddressClaim &) = delete;

    const char *name() const override { return "network"; }
    // Claims the address and starts the served transports; a claim held by
    // another process leaves them stopped (one line on stderr) and is no failure.
    bool start() override;
    void stop() override;
    // Releases the old address and claims the new one.
    void addressChanged() override;

    // The name of the claim on a camera address, e.g. "camera-127.0.0.2".
    static QString claimName(quint32 ip);

private:
    bool claimAndStart();
    void stopServed();

    AddressSource m_address;
    std::vector<std::unique_ptr<SimTransport>> m_served;
    const QString m_folder;
    std::mutex m_mutex; // start, stop and address changes, one at a time
    std::unique_ptr<PortClaim> m_claim;
    bool m_started = false;
};

} // namespace linksim

#endif
