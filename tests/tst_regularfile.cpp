// Opening the files the operator names: only regular files are read, and
// nothing that is not one can make the open wait.
#include "core/regularfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using regularfile::Kind;

class TestRegularFile : public QObject {
    Q_OBJECT
private slots:
    void open_data();
    void open();
};

void TestRegularFile::open_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("opens");
    QTest::newRow("regular file") << "file" << int(Kind::Regular) << true;
    QTest::newRow("empty regular file") << "empty" << int(Kind::Regular) << true;
    QTest::newRow("missing") << "missing" << int(Kind::Missing) << false;
    QTest::newRow("directory") << "dir" << int(Kind::Directory) << false;
#ifdef Q_OS_UNIX
    // QFile::link makes a shortcut file on Windows, not a symbolic link.
    QTest::newRow("symbolic link to a regular file") << "link" << int(Kind::Regular) << true;
    QTest::newRow("FIFO") << "fifo" << int(Kind::Fifo) << false;
    QTest::newRow("symbolic link to a FIFO") << "fifolink" << int(Kind::Fifo) << false;
    QTest::newRow("character device") << "/dev/null" << int(Kind::Device) << false;
#endif
}

void TestRegularFile::open()
{
    QFETCH(QString, what);
    QFETCH(int, kind);
    QFETCH(bool, opens);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile made(dir.filePath(QStringLiteral("file")));
    QVERIFY(made.open(QIODevice::WriteOnly));
    made.write("bytes");
    made.close();
    QFile(dir.filePath(QStringLiteral("empty"))).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir")));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("file")), dir.filePath(QStringLiteral("link"))));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(QFile::link(fifo, dir.filePath(QStringLiteral("fifolink"))));
#endif
    const QString path = what.startsWith(QLatin1Char('/')) ? what : dir.filePath(what);

    QCOMPARE(int(regularfile::kindOf(path)), kind);

    // Should the open block on the FIFO after all, a writer opened after a
    // few seconds lets it return, and the test fails instead of hanging.
    std::atomic<bool> opened { false };
    std::atomic<bool> unblocked { false };
    std::thread guard([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!opened && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
#ifdef Q_OS_UNIX
        if (!opened) {
            unblocked = true;
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                while (!opened)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ::close(fd);
            }
        }
#endif
    });
    QFile file;
    Kind found = Kind::Other;
    const bool result = regularfile::openForReading(file, path, QIODevice::ReadOnly, &found);
    opened = true;
    guard.join();
    QVERIFY2(!unblocked, "the open waited for a writer");
    QCOMPARE(result, opens);
    QCOMPARE(int(found), kind);
    QCOMPARE(file.isOpen(), opens);
    if (opens) {
        const QByteArray expected = what == QLatin1String("empty") ? QByteArray() : QByteArray("bytes");
        QCOMPARE(file.size(), qint64(expected.size()));
        QCOMPARE(file.readAll(), expected);
    } else {
        QVERIFY(!regularfile::kindText(found).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
