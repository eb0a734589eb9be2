// The port claim between processes: a live holder is named by its process id,
// a holder that died leaves a claim the next process takes over.
#include "core/portclaim.h"

#include <QtTest>

#include <cstdio>

class TestPortClaim : public QObject {
    Q_OBJECT
private slots:
    void heldByAnotherProcess();
    void folderMissing();

private:
    // This test program, run again as a process that holds the claim until
    // its input closes.
    bool startHolder(QProcess &holder)
    {
        holder.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--hold"), folder.path(), QStringLiteral("udp-3956") });
        return holder.waitForStarted() && holder.waitForReadyRead(5000)
            && holder.readAll().startsWith("held");
    }

    QTemporaryDir folder;
};

void TestPortClaim::heldByAnotherProcess()
{
    QVERIFY(folder.isValid());
    PortClaim claim(PortClaim::udpName(3956), folder.path());
    QCOMPARE(claim.filePath(), folder.filePath(QStringLiteral("tavix-udp-3956.lock")));

    QProcess holder;
    QVERIFY(startHolder(holder));
    QCOMPARE(claim.claim(), PortClaim::Outcome::HeldElsewhere);
    QCOMPARE(claim.holderPid(), holder.processId());
    QVERIFY(!claim.isClaimed());

    // The holder ends normally: the claim is free.
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));
    QCOMPARE(claim.claim(), PortClaim::Outcome::Claimed);
    QCOMPARE(claim.claim(), PortClaim::Outcome::Claimed); // claiming again keeps it
    claim.release();
    QVERIFY(!claim.isClaimed());

    // A holder killed on the spot leaves its lock file behind; the claim is
    // taken over because its process is gone.
    QProcess killed;
    QVERIFY(startHolder(killed));
    QCOMPARE(claim.claim(), PortClaim::Outcome::HeldElsewhere);
    killed.kill();
    QVERIFY(killed.waitForFinished(5000));
    QVERIFY(QFile::exists(claim.filePath()));
    QCOMPARE(claim.claim(), PortClaim::Outcome::Claimed);
    QCOMPARE(PortClaim(PortClaim::udpName(3956), folder.path()).claim(), PortClaim::Outcome::HeldElsewhere);
}

void TestPortClaim::folderMissing()
{
    PortClaim claim(PortClaim::udpName(3956), folder.filePath(QStringLiteral("no/such/folder")));
    QCOMPARE(claim.claim(), PortClaim::Outcome::Failed);
    QVERIFY(claim.errorText().contains(QStringLiteral("tavix-udp-3956.lock")));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--hold") == 0) {
        PortClaim claim(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
        if (claim.claim() != PortClaim::Outcome::Claimed)
            return 1;
        std::printf("held\n");
        std::fflush(stdout);
        while (std::getchar() != EOF) { }
        return 0;
    }
    TestPortClaim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_portclaim.moc"
