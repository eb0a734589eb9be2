#include "sim/simmodel.h"

#include "sim/addressclaim.h"
#include "sim/cmdresponder.h"
#include "sim/firmwarereceiver.h"
#include "sim/linksim.h"

#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace linksim {

SimModel &SimModel::instance()
{
#ifdef Q_OS_WIN
    // Never destroyed: a DLL's static objects are destroyed under the loader
    // lock, where joining a thread waits for ever (the thread's exit needs that
    // lock). At process exit Windows has ended every thread already.
    static SimModel *const model = new SimModel;
    return *model;
#else
    // Destroyed when the library is unloaded or at process exit; its
    // destructor joins every delivery thread.
    static SimModel model;
    return model;
#endif
}

void keepLibraryWhileThreadsRun()
{
#ifdef Q_OS_WIN
    // The cameras' threads run this library's code and are never joined on
    // Windows (see SimModel::instance): once they exist, FreeLibrary must not
    // unmap it. Pinned, it stays until the process ends.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
        reinterpret_cast<LPCWSTR>(&keepLibraryWhileThreadsRun), &self);
#endif
}

SimModel::~SimModel()
{
    for (const auto &camera : m_cameras)
        camera->shutdown();
}

void SimModel::attachTransports(SimCamera &camera, const SimConfig &config)
{
    // The frame source is attached by the camera itself; the network sides
    // serve at camera.ip(), commands on UDP 3956 and firmware on TCP 7766, in
    // the one process that holds the claim on that address.
    std::vector<std::unique_ptr<SimTransport>> served;
    served.push_back(CmdResponder::forCamera(camera, config.commandPort));
    served.push_back(makeFirmwareTransport(camera, config.firmwarePort));
    camera.addTransport(std::make_unique<AddressClaim>([&camera] { return camera.ip(); }, std::move(served)));
}

void SimModel::init()
{
    std::lock_guard<std::mutex> lock(m_buildMutex);
    if (m_built.load(std::memory_order_relaxed))
        return;
    keepLibraryWhileThreadsRun();
    const SimConfig config = SimConfig::fromEnvironment();
    for (const CameraSetup &setup : config.cameras()) {
        auto camera = std::make_unique<SimCamera>(setup);
        if (config.network)
            attachTransports(*camera, config);
        m_cameras.push_back(std::move(camera));
    }
    for (const auto &camera : m_cameras)
        camera->startTransports();
    m_built.store(true, std::memory_order_release);
}

int SimModel::count() const
{
    return initialised() ? int(m_cameras.size()) : 0;
}

SimCamera *SimModel::camera(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_cameras[std::size_t(index)].get();
}

SimCamera *SimModel::find(const CameraRecord *record) const
{
    if (!record || !initialised())
        return nullptr;
    CameraRecord copy;
    std::memcpy(&copy, record, sizeof copy);
    for (const auto &camera : m_cameras)
        if (std::memcmp(camera->mac().data(), copy.mac, 6) == 0)
            return camera.get();
    for (const auto &camera : m_cameras)
        if (camera->matchesNameAndIp(copy))
            return camera.get();
    return nullptr;
}

int SimModel::setAddress(SimCamera &camera, const char *text)
{
    const std::optional<quint32> ip = parseDottedIpv4(text, 64);
    if (!ip || !isCameraAddress(*ip))
        return LINKSIM_ERR_BAD_ADDRESS;
    std::lock_guard<std::mutex> lock(m_addressMutex);
    for (const auto &other : m_cameras)
        if (other.get() != &camera && other->ip() == *ip)
            return LINKSIM_ERR_ADDRESS_IN_USE;
    camera.setIp(*ip);
    return LINKSIM_OK;
}

} // namespace linksim
