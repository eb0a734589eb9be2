#include "sim/addressclaim.h"

#include "core/cameracode.h"
#include "core/portclaim.h"

#include <cstdio>

namespace linksim {

AddressClaim::AddressClaim(
    AddressSource address, std::vector<std::unique_ptr<SimTransport>> served, const QString &folder)
    : m_address(std::move(address))
    , m_served(std::move(served))
    , m_folder(folder)
{
}

AddressClaim::~AddressClaim()
{
    stop();
}

QString AddressClaim::claimName(quint32 ip)
{
    return QStringLiteral("camera-") + ipv4Text(ip);
}

bool AddressClaim::start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started)
        return true;
    m_started = true;
    return claimAndStart();
}

void AddressClaim::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    stopServed();
    m_started = false;
}

void AddressClaim::addressChanged()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_started)
        return;
    stopServed();
    claimAndStart();
}

bool AddressClaim::claimAndStart()
{
    const quint32 ip = m_address();
    const QByteArray ipText = ipv4Text(ip).toLatin1();
    m_claim = std::make_unique<PortClaim>(claimName(ip), m_folder);
    switch (m_claim->claim()) {
    case PortClaim::Outcome::Claimed:
        break;
    case PortClaim::Outcome::HeldElsewhere: {
        const QByteArray holder = m_claim->holderPid() > 0
            ? "process " + QByteArray::number(m_claim->holderPid())
            : QByteArray("another process");
        const QByteArray app
            = m_claim->holderApp().isEmpty() ? QByteArray() : " (" + m_claim->holderApp().toLocal8Bit() + ')';
        std::fprintf(stderr,
            "linksim: %s is already served by %s%s; the camera at that address delivers frames here but "
            "does not answer commands or firmware downloads\n",
            ipText.constData(), holder.constData(), app.constData());
        m_claim.reset();
        return true;
    }
    case PortClaim::Outcome::Failed:
        // Serving without a claim is what the cameras did before claims existed.
        std::fprintf(stderr, "linksim: %s cannot be claimed for this process (%s); serving it anyway\n",
            ipText.constData(), m_claim->errorText().toLocal8Bit().constData());
        break;
    }
    bool ok = true;
    for (const auto &transport : m_served)
        ok = transport->start() && ok;
    return ok;
}

void AddressClaim::stopServed()
{
    for (auto it = m_served.rbegin(); it != m_served.rend(); ++it)
        (*it)->stop();
    m_claim.reset(); // releases the address
}

} // namespace linksim
