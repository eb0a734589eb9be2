#include "sim/simcamera.h"

#include "sim/framesource.h"
#include "sim/linksim.h"

#include <cstdio>
#include <cstring>

namespace linksim {

SimCamera::SimCamera(const CameraSetup &setup)
    : m_mac(setup.mac)
    , m_width(setup.width)
    , m_height(setup.height)
    , m_bpp(setup.bytesPerPixel)
    , m_burst(setup.burst)
    , m_name(setup.name.left(63))
    , m_ip(setup.ip)
{
    // Neutral picture parameters, so that a parameter report has values to show.
    m_parameters.setValue(param::frameRate, setup.fps);
    m_parameters.setValue(param::exposureTime, param::kNeutralExposure);
    m_parameters.setValue(param::brightness, 0);
    for (const char *gain :
        { param::gainGlobal, param::gainRed, param::gainBlue, param::gainGreenRed, param::gainGreenBlue })
        m_parameters.setValue(gain, param::kNeutralGain);
    m_parameters.setValue(param::flipVertical, 0);
    m_parameters.setValue(param::flipHorizontal, 0);

    auto frames = std::make_unique<FrameSource>(*this);
    m_frames = frames.get();
    m_transports.push_back(std::move(frames));
}

SimCamera::~SimCamera()
{
    shutdown();
}

QByteArray SimCamera::name() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_name;
}

quint32 SimCamera::ip() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ip;
}

CameraRecord SimCamera::record() const
{
    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(record.name, m_name.constData(), std::size_t(std::min(m_name.size(), 63)));
    for (int i = 0; i < 4; ++i)
        record.ip[i] = uchar(m_ip >> (24 - 8 * i));
    std::memcpy(record.mac, m_mac.data(), 6);
    return record;
}

bool SimCamera::matchesNameAndIp(const CameraRecord &record) const
{
    const QByteArray name(record.name, int(strnlen(record.name, sizeof record.name)));
    const quint32 ip = quint32(record.ip[0]) << 24 | quint32(record.ip[1]) << 16 | quint32(record.ip[2]) << 8
        | record.ip[3];
    std::lock_guard<std::mutex> lock(m_mutex);
    return name == m_name && ip == m_ip;
}

std::unique_lock<std::mutex> SimCamera::controlLock()
{
    if (m_frames->isDeliveryThread())
        return std::unique_lock<std::mutex>(m_control, std::try_to_lock);
    return std::unique_lock<std::mutex>(m_control);
}

int SimCamera::open()
{
    std::unique_lock<std::mutex> control = controlLock();
    if (!control.owns_lock())
        return LINKSIM_ERR_BUSY;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_shutDown || m_state != CameraState::Closed)
        return LINKSIM_ERR_WRONG_STATE;
    m_state = CameraState::Opened;
    return LINKSIM_OK;
}

int SimCamera::start()
{
    std::unique_lock<std::mutex> control = controlLock();
    if (!control.owns_lock())
        return LINKSIM_ERR_BUSY;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_shutDown || m_state == CameraState::Closed)
            return LINKSIM_ERR_WRONG_STATE;
        if (m_state == CameraState::Streaming)
            return LINKSIM_OK; // already delivering: starting again changes nothing
    }
    const int status = m_frames->startStreaming();
    if (status != LINKSIM_OK)
        return status;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = CameraState::Streaming;
    return LINKSIM_OK;
}

int SimCamera::stop()
{
    std::unique_lock<std::mutex> control = controlLock();
    if (!control.owns_lock())
        return LINKSIM_ERR_BUSY;
    bool wasClosed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasClosed = m_state == CameraState::Closed;
        // Stopping an opened camera that is not streaming is accepted: it is stopped.
        if (!wasClosed)
            m_state = CameraState::Opened;
    }
    // Even when refusing, wait for a delivery thread that a callback stopped
    // from inside, so that no callback runs once this returns.
    m_frames->stopStreaming();
    return wasClosed ? LINKSIM_ERR_WRONG_STATE : LINKSIM_OK;
}

int SimCamera::close()
{
    std::unique_lock<std::mutex> control = controlLock();
    if (!control.owns_lock())
        return LINKSIM_ERR_BUSY;
    bool wasClosed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wasClosed = m_state == CameraState::Closed;
        m_state = CameraState::Closed;
    }
    m_frames->stopStreaming(); // as in stop(), also when refusing
    return wasClosed ? LINKSIM_ERR_WRONG_STATE : LINKSIM_OK;
}

int SimCamera::setMode(int mode)
{
    std::unique_lock<std::mutex> control = controlLock();
    if (!control.owns_lock())
        return LINKSIM_ERR_BUSY;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state == CameraState::Closed)
            return LINKSIM_ERR_WRONG_STATE;
    }
    return m_frames->setMode(mode);
}

int SimCamera::softTrigger()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state != CameraState::Streaming)
            return LINKSIM_ERR_WRONG_STATE;
    }
    return m_frames->softTrigger();
}

int SimCamera::registerCallback(FrameCallback callback, void *context)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callback = callback;
    m_context = context;
    return LINKSIM_OK;
}

int SimCamera::setName(const QByteArray &name)
{
    if (name.isEmpty())
        return LINKSIM_ERR_BAD_NAME;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_name = name.left(63);
    return LINKSIM_OK;
}

void SimCamera::setIp(quint32 ip)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (ip == m_ip)
            return;
        m_ip = ip;
    }
    for (const auto &transport : m_transports)
        transport->addressChanged();
}

CameraState SimCamera::state() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

std::pair<FrameCallback, void *> SimCamera::callback() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return { m_callback, m_context };
}

void SimCamera::addTransport(std::unique_ptr<SimTransport> transport)
{
    m_transports.push_back(std::move(transport));
}

void SimCamera::startTransports()
{
    for (const auto &transport : m_transports)
        if (!transport->start())
            std::fprintf(stderr, "linksim: camera %s: the %s transport did not start\n", name().constData(),
                transport->name());
}

void SimCamera::shutdown()
{
    std::lock_guard<std::mutex> control(m_control);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_shutDown)
            return;
        m_shutDown = true;
        if (m_state == CameraState::Streaming)
            m_state = CameraState::Opened;
    }
    // Later transports may rely on earlier ones; stop in reverse order.
    for (auto it = m_transports.rbegin(); it != m_transports.rend(); ++it)
        (*it)->stop();
}

} // namespace linksim
