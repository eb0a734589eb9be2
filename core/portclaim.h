// A claim on a network port among the programs of this machine.
//
// The command port (UDP 3956) is bound with address sharing, so that the
// simulated cameras and several programs can bind it at once; the kernel then
// hands each reply to one of the sockets only. A program that uses the port
// claims it with a lock file in the temp folder ("tavix-udp-3956.lock"): the
// first live claimant holds it, a later one learns the holder's process id and
// can warn that replies may go there. A claim left behind by a process that
// died is taken over.
#ifndef TAVIX_PORTCLAIM_H
#define TAVIX_PORTCLAIM_H

#include <QString>
#include <QtGlobal>

#include <memory>

class QLockFile;

class PortClaim {
public:
    enum class Outcome {
        Claimed, // this process holds the claim (also when it held it already)
        HeldElsewhere, // another live process holds it: see holderPid()
        Failed, // the lock file cannot be made: see errorText()
    };

    // `name` identifies the port, e.g. udpName(3956); `folder` defaults to
    // defaultFolder() (tests pass their own).
    explicit PortClaim(const QString &name, const QString &folder = QString());
    ~PortClaim(); // releases a held claim
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    // Tries once, without waiting.
    Outcome claim();
    void release();
    bool isClaimed() const;

    // After HeldElsewhere: the holder's process id (0 when its lock file is
    // unreadable) and its application name as it wrote it.
    qint64 holderPid() const { return m_holderPid; }
    QString holderApp() const { return m_holderApp; }
    QString errorText() const { return m_error; }
    QString filePath() const { return m_path; }

    // The machine-wide folder of the claims: the temp folder, shared by users.
    static QString defaultFolder();
    // "udp-3956"
    static QString udpName(quint16 port);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    qint64 m_holderPid = 0;
    QString m_holderApp;
    QString m_error;
};

#endif
