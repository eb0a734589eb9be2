#include "core/portclaim.h"

#include <QDir>
#include <QLockFile>

PortClaim::PortClaim(const QString &name, const QString &folder)
    : m_path(
        QDir(folder.isEmpty() ? defaultFolder() : folder).filePath(QStringLiteral("tavix-%1.lock").arg(name)))
    , m_lock(std::make_unique<QLockFile>(m_path))
{
    // A claim lasts as long as its process: never stale by age, only when the
    // process that wrote it is gone.
    m_lock->setStaleLockTime(0);
}

PortClaim::~PortClaim()
{
    release();
}

PortClaim::Outcome PortClaim::claim()
{
    m_holderPid = 0;
    m_holderApp.clear();
    m_error.clear();
    if (m_lock->isLocked() || m_lock->tryLock(0))
        return Outcome::Claimed;
    switch (m_lock->error()) {
    case QLockFile::LockFailedError: {
        QString host;
        if (!m_lock->getLockInfo(&m_holderPid, &host, &m_holderApp))
            m_holderPid = 0;
        return Outcome::HeldElsewhere;
    }
    case QLockFile::PermissionError:
        m_error = QStringLiteral("no permission to create %1").arg(m_path);
        break;
    default:
        m_error = QStringLiteral("cannot create %1").arg(m_path);
        break;
    }
    return Outcome::Failed;
}

void PortClaim::release()
{
    if (m_lock->isLocked())
        m_lock->unlock();
}

bool PortClaim::isClaimed() const
{
    return m_lock->isLocked();
}

QString PortClaim::defaultFolder()
{
    return QDir::tempPath();
}

QString PortClaim::udpName(quint16 port)
{
    return QStringLiteral("udp-%1").arg(port);
}
