// All simulated cameras of the process. One static instance owns them: it is
// built by IB_CC_Init and torn down (every thread joined, every transport
// stopped) when the library is unloaded or the process exits. On Windows it
// is never torn down, and the library stays loaded once IB_CC_Init has run.
#ifndef TAVIX_SIM_SIMMODEL_H
#define TAVIX_SIM_SIMMODEL_H

#include "core/linksdk.h"
#include "sim/simcamera.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace linksim {

class SimModel {
public:
    static SimModel &instance();
    ~SimModel();

    // Builds the cameras from the environment and starts their transports;
    // later calls do nothing.
    void init();
    bool initialised() const { return m_built.load(std::memory_order_acquire); }

    // Valid once initialised; the cameras live as long as the model.
    int count() const;
    SimCamera *camera(int index) const;

    // The camera a caller's record names: by MAC, else by name and address.
    // Null for a null record, an unknown one, or before init.
    SimCamera *find(const CameraRecord *record) const;

    // Parses `text` (at most 64 bytes, NUL-terminated or not) and moves the
    // camera there; the address must be a camera address no other camera has.
    int setAddress(SimCamera &camera, const char *text);

private:
    SimModel() = default;
    static void attachTransports(SimCamera &camera, const SimConfig &config);

    std::mutex m_buildMutex;
    std::atomic<bool> m_built { false };
    std::mutex m_addressMutex; // one address change at a time, so two cameras never get one address
    std::vector<std::unique_ptr<SimCamera>> m_cameras;
};

// On Windows, keeps this library loaded until the process ends (see
// SimModel::instance); elsewhere nothing. Called before the first thread starts.
void keepLibraryWhileThreadsRun();

} // namespace linksim

#endif
