// The real tavixctl against simulated cameras. Each run of the tool starts the
// simulated SDK in its own process, whose cameras answer the tool's UDP and
// TCP traffic on loopback addresses: from LINKSIM_BASE_IP (127.0.0.2 when
// unset) on, at the ports core/testports.h names, as ctest sets them for this
// program alone.
#include "core/cmdframe.h"
#include "core/portclaim.h"
#include "core/testports.h"
#include "core/transfer.h"
#include "ctl/camerajob.h"
#include "tests/fifoguard.h"
#include "tests/wine.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <csignal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Ctrl+C for the tool, as the terminal would send it.
bool interrupt(const QProcess &process)
{
#ifdef Q_OS_WIN
    // The event goes to every program of a console: join the tool's, raise it
    // there (ignored by this program), and leave again.
    FreeConsole();
    if (!AttachConsole(DWORD(process.processId())))
        return false;
    SetConsoleCtrlHandler(nullptr, TRUE);
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    FreeConsole();
    return sent;
#else
    return ::kill(pid_t(process.processId()), SIGINT) == 0;
#endif
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

using Env = QMap<QString, QString>;

// Camera i of the simulated SDK sits at the base address + i.
QString cameraIp(int i)
{
    const QHostAddress base(qEnvironmentVariable("LINKSIM_BASE_IP", QStringLiteral("%CAM0%")));
    return QHostAddress(base.toIPv4Address() + quint32(i)).toString();
}

// The placeholders of the rows below: the directory, the cameras' addresses
// (%CAM0% to %CAM3%), camera 0's address with a leading zero in its last
// number (%CAM0Z%: Qt's parser reads it as octal, which still gives camera 0),
// an address without a camera (%NOCAM%), the silent camera's (%SILENT%) and the
// firmware port (%FWPORT%). In a pattern the addresses are escaped.
QString expandPlaceholders(QString text, const QString &dir, bool pattern = false)
{
    const auto address
        = [pattern](int i) { return pattern ? QRegularExpression::escape(cameraIp(i)) : cameraIp(i); };
    text.replace(QStringLiteral("%DIR%"), dir);
    QString zeroPadded = cameraIp(0);
    zeroPadded.insert(zeroPadded.lastIndexOf(QLatin1Char('.')) + 1, QLatin1Char('0'));
    text.replace(QStringLiteral("%CAM0Z%"), zeroPadded);
    for (int i = 0; i < 4; ++i)
        text.replace(QStringLiteral("%CAM%1%").arg(i), address(i));
    text.replace(QStringLiteral("%NOCAM%"), address(75));
    text.replace(QStringLiteral("%SILENT%"), address(58));
    text.replace(QStringLiteral("%FWPORT%"), QString::number(firmwarePortWithTestOverride()));
    return text;
}

} // namespace

class TestE2eCtl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void firmware_data();
    void firmware();
    void stream_data();
    void stream();
    void lostOutput_data();
    void lostOutput();
    void interruptPrintsSummary_data();
    void interruptPrintsSummary();
    void silentCamera();
    void badChecksumIsWarnedAndUsed();
    void progressOnlyCamera();
    void portHeldByAnotherProgram();

private:
    QProcessEnvironment environment(const Env &env) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("LINKSIM_FIRMWARE_DIR"), dir.filePath(QStringLiteral("received")));
        for (auto it = env.begin(); it != env.end(); ++it)
            e.insert(it.key(), it.value());
        return e;
    }

    QStringList expand(QStringList args) const
    {
        for (QString &arg : args)
            arg = expandPlaceholders(arg, dir.path());
        return args;
    }

    Run tavixctl(const QStringList &args, const Env &env = {})
    {
        QProcess process;
        process.setProcessEnvironment(environment(env));
        QElapsedTimer clock;
        clock.start();
        process.start(tool, expand(args));
        Run run;
        if (!process.waitForFinished(90000)) {
            process.kill();
            process.waitForFinished();
        }
        run.ms = clock.elapsed();
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

    QByteArray received(const QString &ip, const QString &name) const
    {
        QFile file(
            dir.filePath(QStringLiteral("received/%1/%2").arg(expandPlaceholders(ip, dir.path()), name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString tool;
    QTemporaryDir dir;
    QByteArray small; // 10,000 bytes: one piece
    QByteArray twoPieces; // 4,194,301 bytes: a full piece and one more byte
};

void TestE2eCtl::initTestCase()
{
    tool = QString::fromLocal8Bit(qgetenv("TAVIX_CTL"));
    QVERIFY2(QFileInfo(tool).isExecutable(), "TAVIX_CTL names the tavixctl program");
    QVERIFY(dir.isValid());
    for (int i = 0; i < 10000; ++i)
        small.append(char(i * 7));
    for (int i = 0; i < 4194301; ++i)
        twoPieces.append(char(i >> 5));
    writeFile(QStringLiteral("a.bin"), small);
    writeFile(QStringLiteral("b.bin"), twoPieces);
    writeFile(QStringLiteral("empty.bin"), QByteArray());
    writeFile(QStringLiteral("固件.bin"), small);
#ifdef Q_OS_UNIX
    writeFile(QStringLiteral("tab\tname.bin"), small); // Windows takes no control characters in names
#endif
#ifdef Q_OS_UNIX
    QVERIFY(makeFifo(dir.filePath(QStringLiteral("fifo.bin"))));
#endif
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.bin")));
    writeFile(QStringLiteral("line4.json"),
        "[{\"ExposureTime\": \"20000\", \"Brightness\": \"-5\", \"SoberEnable\": \"1\", \"Red-Gain\": "
        "\"\"}]");
    writeFile(QStringLiteral("broken.json"), "[{\"ExposureTime\": ");
    // Should apply wait on it after all, the run is killed after its time and the row fails.
#ifdef Q_OS_UNIX
    QVERIFY(makeFifo(dir.filePath(QStringLiteral("pipe.json"))));
#endif
    writeFile(QStringLiteral("numbers.json"), R"([{"ExposureTime": 20000, "Brightness": -5}])");
    writeFile(
        QStringLiteral("kinds.json"), R"([{"ExposureTime": 20000, "Brightness": false, "SoberMat": [3]}])");
    writeFile(QStringLiteral("refused.json"), "[{\"ExposureTime\": \"20000\", \"Brightness\": \"40000\"}]");
    // The simulated cameras' own values, written as a file may hold them.
    writeFile(QStringLiteral("recipe.json"),
        R"([{"ExposureTime": "010000", "SharpenAmount": 0, "Brightness": "-5", "Red-Gain": ""}])");
}

void TestE2eCtl::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // a line or part of one, on stdout (exit 0) or stderr

    const auto row = [](const char *name, QStringList args, int exitCode, const char *expected) {
        QTest::newRow(name) << args << exitCode << QString::fromUtf8(expected);
    };
    using L = QStringList;
    row("list as JSON", L { "list", "--json" }, 0,
        "[{\"name\":\"SimCam-Mono\",\"ip\":\"%CAM0%\",\"mac\":\"2-54-56-0-0-1\"},"
        "{\"name\":\"SimCam-Color\",\"ip\":\"%CAM1%\",\"mac\":\"2-54-56-0-0-2\"}]");
    row("list as text", L { "list" }, 0, "SimCam-Color  %CAM1%        2-54-56-0-0-2");
    row("get as JSON, by name", L { "get", "SimCam-Color", "--json" }, 0,
        "{\"camera\":\"%CAM1%\",\"name\":\"SimCam-Color\",\"parameters\":{\"FrameRate\":30,"
        "\"ExposureTime\":10000,"
        "\"SharpeningThreshold\":0,\"SharpenAmount\":0},\"other\":{\"model\":\"linksim\"}}");
    row("get as text", L { "get", "%CAM0%" }, 0, "ExposureTime         10000");
    row("set exposure", L { "set", "SimCam-Mono", "ExposureTime", "20000" }, 0,
        "ExposureTime = 20000: set success");
    row("set a switch (control command, no MAC)", L { "set", "%CAM1%", "SensorSwitch", "1" }, 0,
        "SensorSwitch = 1: set success");
    row("set the name through the SDK", L { "set", "%CAM0%", "CameraName", "Line-4" }, 0,
        "CameraName = Line-4: set success");
    row("value refused like the table", L { "set", "%CAM0%", "StreamVdma", "2" }, 3,
        "The Value only is 0/1!");
    row("empty value refused", L { "set", "%CAM0%", "Brightness", "" }, 3, "The Value is NULL!");
    row("not a number refused", L { "set", "%CAM0%", "ExposureTime", "abc" }, 3,
        "ExposureTime = abc: The Value only is a decimal number from 0 to 4294967295!");
    row("name outside Latin-1 refused", L { "set", "%CAM0%", "CameraName", "相机一号" }, 1,
        "The Name cannot hold \"相\" (U+76F8)");
    row("address with leading zeros refused", L { "set", "%CAM0%", "CameraIp", "127.0.0.010" }, 1,
        "The IP has a number with a leading zero (010)");
    row("camera refuses", L { "set", "%CAM0%", "FrameRate", "0" }, 3, "refused by the camera (id 0xA001)");
    row("SDK refuses an address in use", L { "set", "%CAM0%", "CameraIp", "%CAM1%" }, 3,
        "the camera SDK refused it");
    row("wrong MAC: the camera stays silent",
        L { "set", "%CAM0%", "ExposureTime", "1", "--mac", "2-54-56-0-0-9", "--timeout", "300" }, 3,
        "no acknowledgement from %CAM0% within 300 ms");
    row("unlisted address needs a MAC", L { "set", "%NOCAM%", "ExposureTime", "1" }, 1, "give --mac");
    row("unknown camera", L { "set", "SimCam-Nope", "ExposureTime", "1" }, 1,
        "unknown camera \"SimCam-Nope\": not an IPv4 address nor a listed name (cameras: SimCam-Mono "
        "%CAM0%");
    row("get: no camera at the address", L { "get", "%NOCAM%", "--timeout", "300" }, 2,
        "no parameter report from %NOCAM% within 300 ms");
    row("restart: no camera at the address", L { "restart", "%NOCAM%", "--timeout", "300" }, 3,
        "cannot connect to %NOCAM%:%FWPORT%");
    row("firmware: no camera at the address",
        L { "firmware", "--camera", "%NOCAM%", "--timeout", "300", "%DIR%/a.bin" }, 3,
        "not sent: cannot connect to %NOCAM%:%FWPORT%");
    row("firmware: unreadable file", L { "firmware", "--camera", "%CAM0%", "%DIR%/nothing.bin" }, 1,
        "cannot read %DIR%/nothing.bin: no such file");
    row("firmware: empty file skipped", L { "firmware", "--camera", "%CAM0%", "%DIR%/empty.bin" }, 3,
        "skipped: boot buffer error! empty file skipped");
    // Refused before any camera is touched (a.bin goes first and stays unsent).
    row("firmware: a FIFO", L { "firmware", "--camera", "%CAM0%", "%DIR%/a.bin", "%DIR%/fifo.bin" }, 1,
        "cannot read %DIR%/fifo.bin: a FIFO (named pipe), not a regular file");
    row("firmware: a folder", L { "firmware", "--camera", "%CAM0%", "%DIR%/a.bin", "%DIR%/folder.bin" }, 1,
        "cannot read %DIR%/folder.bin: a directory, not a regular file");
    row("firmware: a device", L { "firmware", "--camera", "%CAM0%", "/dev/null" }, 1,
        "cannot read /dev/null: a device, not a regular file");
    row("firmware: a name outside Latin-1",
        L { "firmware", "--camera", "%CAM0%", "%DIR%/a.bin", "%DIR%/固件.bin" }, 1,
        "cannot send %DIR%/固件.bin: its name holds U+56FA 固, a character outside Latin-1");
    row("firmware: a control character in the name",
        L { "firmware", "--camera", "%CAM0%", "%DIR%/a.bin", "%DIR%/tab\tname.bin" }, 1,
        "cannot send %DIR%/tab?name.bin: its name holds U+0009, a control character");
    row("apply a file", L { "apply", "SimCam-Mono", "%DIR%/line4.json" }, 0, "Brightness = -5: set success");
    row("apply skips empty values", L { "apply", "SimCam-Mono", "%DIR%/line4.json" }, 0,
        "Red-Gain = : skipped (empty)");
    row("apply a missing file", L { "apply", "SimCam-Mono", "%DIR%/nothing.json" }, 1, "Open file error!");
    row("apply a FIFO", L { "apply", "SimCam-Mono", "%DIR%/pipe.json" }, 1,
        "pipe.json: Open file error! This is a FIFO (named pipe), not a regular file.");
    row("apply a broken file", L { "apply", "SimCam-Mono", "%DIR%/broken.json" }, 1, "Json is error!");
    row("apply numbers as their texts", L { "apply", "SimCam-Mono", "%DIR%/numbers.json" }, 0,
        "ExposureTime = 20000: set success");
    row("apply a file with other kinds of values", L { "apply", "SimCam-Mono", "%DIR%/kinds.json" }, 1,
        "kinds.json: Json is error! These members hold neither a text nor a number: Brightness, SoberMat");
    row("apply a file with a refused value", L { "apply", "SimCam-Mono", "%DIR%/refused.json" }, 3,
        "refused.json: Brightness = 40000: The Value only is a decimal number from -32768 to 32767!\n"
        "tavixctl: %DIR%/refused.json: nothing written to SimCam-Mono");
    row("diff: equal, and a member the report lacks",
        L { "diff", "SimCam-Mono", "%DIR%/recipe.json", "--json" }, 0,
        R"("parameters":[{"name":"SharpenAmount","file":"0","camera":0,"equal":true},)"
        R"({"name":"ExposureTime","file":"010000","camera":10000,"equal":true}],"not_checked":["Brightness"],)"
        R"("equal":true})");
    row("diff: differs", L { "diff", "%CAM1%", "%DIR%/line4.json" }, 3,
        "1 compared: 0 equal, 1 different; 2 not checked");
    row("diff: no report", L { "diff", "%NOCAM%", "%DIR%/recipe.json", "--timeout", "300" }, 2,
        "no parameter report from %NOCAM% within 300 ms");
    row("diff: a file with other kinds of values", L { "diff", "%CAM0%", "%DIR%/kinds.json" }, 1,
        "kinds.json: Json is error! These members hold neither a text nor a number: Brightness, SoberMat");
    row("diff: a FIFO", L { "diff", "%CAM0%", "%DIR%/pipe.json" }, 1,
        "pipe.json: Open file error! This is a FIFO (named pipe), not a regular file.");
    row("stream: the SDK does not list the address", L { "stream", "%NOCAM%" }, 1,
        "the camera SDK does not list %NOCAM%");
    row("restart and wait", L { "restart", "SimCam-Color", "--wait" }, 0,
        "SimCam-Color (%CAM1%): back after");
    row("get: leading zero refused", L { "get", "%CAM0Z%" }, 1,
        "address \"%CAM0Z%\" refused: leading zeros are not allowed");
    row("set: leading zero refused", L { "set", "%CAM0Z%", "ExposureTime", "1" }, 1, "leading zeros");
    row("restart: leading zero refused", L { "restart", "%CAM0Z%" }, 1, "leading zeros");
    row("set: the broadcast address as a new address", L { "set", "%CAM0%", "CameraIp", "255.255.255.255" },
        1, "The IP 255.255.255.255 is the broadcast address: it cannot be a camera's address!");
    row("firmware: leading zero refused",
        L { "firmware", "--camera", "%CAM1%", "--camera", "%CAM0Z%", "%DIR%/a.bin" }, 1,
        "write %CAM0% if that is the address meant");
}

void TestE2eCtl::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    const QByteArray tag = QTest::currentDataTag();
#ifdef Q_OS_WIN
    if (tag.contains("FIFO"))
        QSKIP("Windows has no FIFOs in its file system");
    if (tag.contains("control character"))
        QSKIP("Windows takes no control characters in file names");
    if (tag.contains("a device"))
        QSKIP("Windows has no devices in its file system");
#endif
    if (tag == "restart and wait")
        TAVIX_SKIP_UNDER_WINE(TAVIX_WINE_REFUSED);
    if (tag.startsWith("get as") || tag.startsWith("set exposure") || tag.startsWith("set a switch")
        || tag == "camera refuses" || tag.startsWith("apply a file") || tag.startsWith("apply skips")
        || tag.startsWith("apply numbers") || tag.startsWith("diff: equal") || tag.startsWith("diff: differs"))
        TAVIX_SKIP_UNDER_WINE(TAVIX_WINE_UDP);

    QDir(dir.filePath(QStringLiteral("received"))).removeRecursively();
    const QString fifo = dir.filePath(QStringLiteral("fifo.bin"));
    FifoGuard guard(args.contains(QStringLiteral("%DIR%/fifo.bin")) ? QStringList { fifo } : QStringList());
    const Run run = tavixctl(args, { { QStringLiteral("LINKSIM_RESTART_MS"), QStringLiteral("300") } });
    QVERIFY2(!guard.done(), "the tool opened the FIFO and waited for a writer");
    QCOMPARE(run.exitCode, exitCode);
    if (args.first() == QLatin1String("firmware") && exitCode == 1)
        QVERIFY2(
            received(QStringLiteral("%CAM0%"), QStringLiteral("a.bin")).isEmpty(), "a camera was touched");
    expected = expandPlaceholders(expected, dir.path());
    // Results (the firmware summary and a diff that differs too) on stdout,
    // refusals and errors on stderr.
    const bool summary = (args.first() == QLatin1String("firmware") || args.first() == QLatin1String("diff"))
        && exitCode == 3;
    const QString &text = exitCode == 0 || summary ? run.out : run.err;
    QVERIFY2(text.contains(expected), qPrintable(run.out + run.err));
    // A refused write or parameter file writes nothing, so no "set success" either.
    const bool write = args.first() == QLatin1String("set") || args.first() == QLatin1String("apply");
    if (write && exitCode != 0)
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    // Nothing waits longer than asked: a second covers start-up and the SDK.
    QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));
}

void TestE2eCtl::firmware_data()
{
    QTest::addColumn<Env>("env");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("summary"); // patterns of summary lines, in order
    QTest::addColumn<QStringList>("kept"); // files each camera must hold afterwards: "ip/name"

    using L = QStringList;
    QTest::newRow("four cameras, two files")
        << Env { { "LINKSIM_COUNT", "4" } }
        << L { "firmware", "--camera", "SimCam-Mono", "--camera", "%CAM1%", "--camera", "%CAM2%", "--camera",
               "SimCam-Color-2", "--type", "library", "%DIR%/a.bin", "%DIR%/b.bin" }
        << 0
        << L { "^CAMERA +FILE +OUTCOME +RE-SENDS +TIME$",
               "^SimCam-Mono \\(%CAM0%\\) +a.bin +sent +0 +[0-9.]+ s$",
               "^SimCam-Mono \\(%CAM0%\\) +b.bin +sent +0 ", "^SimCam-Color \\(%CAM1%\\) +a.bin +sent +0 ",
               "^SimCam-Color \\(%CAM1%\\) +b.bin +sent +0 ", "^SimCam-Mono-2 \\(%CAM2%\\) +a.bin +sent +0 ",
               "^SimCam-Mono-2 \\(%CAM2%\\) +b.bin +sent +0 ",
               "^SimCam-Color-2 \\(%CAM3%\\) +a.bin +sent +0 ",
               "^SimCam-Color-2 \\(%CAM3%\\) +b.bin +sent +0 " }
        << L { "%CAM0%/a.bin", "%CAM0%/b.bin", "%CAM1%/b.bin", "%CAM2%/a.bin", "%CAM3%/b.bin" };
    QTest::newRow("rejected twice, sent, restarted")
        << Env { { "LINKSIM_REJECT_FILES", "2" }, { "LINKSIM_RESTART_MS", "300" } }
        << L { "firmware", "--camera", "%CAM0%", "--camera", "%CAM1%", "--restart", "%DIR%/a.bin" } << 0
        << L { "^CAMERA ", "^SimCam-Mono \\(%CAM0%\\) +a.bin +sent +2 ",
               "^SimCam-Color \\(%CAM1%\\) +a.bin +sent +2 ",
               "^SimCam-Mono \\(%CAM0%\\) +\\(restart\\) +restarted +- +[0-9.]+ s$",
               "^SimCam-Color \\(%CAM1%\\) +\\(restart\\) +restarted " }
        << L { "%CAM0%/a.bin", "%CAM1%/a.bin" };
    QTest::newRow("rejected for good: no restart")
        << Env { { "LINKSIM_REJECT_FILES", "7" } }
        << L { "firmware", "--camera", "%CAM0%", "--restart", "%DIR%/a.bin", "%DIR%/b.bin" } << 3
        << L { "^CAMERA ", "^SimCam-Mono \\(%CAM0%\\) +a.bin +not sent: rejected again after 6 re-sends +6 ",
               "^SimCam-Mono \\(%CAM0%\\) +b.bin +not sent +0 +- *$",
               "^SimCam-Mono \\(%CAM0%\\) +\\(restart\\) +not restarted: not every file was sent " }
        << L {};
}

void TestE2eCtl::firmware()
{
    QFETCH(Env, env);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, summary);
    QFETCH(QStringList, kept);
    if (QByteArray(QTest::currentDataTag()) == "rejected twice, sent, restarted")
        TAVIX_SKIP_UNDER_WINE(TAVIX_WINE_REFUSED);

    for (QString &pattern : summary)
        pattern = expandPlaceholders(pattern, dir.path(), true);
    QDir(dir.filePath(QStringLiteral("received"))).removeRecursively();
    const Run run = tavixctl(args, env);
    QCOMPARE(run.exitCode, exitCode);
    const QStringList lines = run.out.split(QLatin1Char('\n'));
    int first = 0;
    while (first < lines.size() && !QRegularExpression(summary.first()).match(lines.at(first)).hasMatch())
        ++first;
    QVERIFY2(first < lines.size(), qPrintable(run.out + run.err));
    for (int i = 0; i < summary.size(); ++i)
        QVERIFY2(QRegularExpression(summary.at(i)).match(lines.value(first + i)).hasMatch(),
            qPrintable(QStringLiteral("%1\n--- in ---\n%2").arg(summary.at(i), run.out)));
    for (const QString &file : kept) {
        const QString ip = file.section(QLatin1Char('/'), 0, 0);
        const QString name = file.section(QLatin1Char('/'), 1);
        QCOMPARE(received(ip, name), name == QLatin1String("a.bin") ? small : twoPieces);
    }
}

void TestE2eCtl::stream_data()
{
    QTest::addColumn<Env>("env");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("json"); // pattern of the one line on stdout
    QTest::addColumn<QString>("fault"); // on stderr

    // Small frames: the runs measure the hand-off, not the picture.
    const Env small { { "LINKSIM_WIDTH", "64" }, { "LINKSIM_HEIGHT", "64" } };
    using L = QStringList;
    // At 10 frames/s the tool's consumer may be held up for 200 ms on a busy
    // machine before a frame is dropped.
    Env slow = small;
    slow.insert(QStringLiteral("LINKSIM_FPS"), QStringLiteral("10"));
    QTest::newRow("pass, with the seconds in a CSV file")
        << slow << L { "stream", "SimCam-Mono", "--seconds", "2", "--json", "--csv", "%DIR%/stream.csv" }
        << 0
        << R"(^\{"camera":"%CAM0%","name":"SimCam-Mono","seconds":2,"delivered":[0-9]+,"dropped":0,)"
           R"("fps":\{"min":[0-9]+,"mean":[0-9.]+,"max":[0-9]+\},"longest_gap_ms":[0-9.]+,"pass":true\}$)"
        << QString();
    QTest::newRow("fail: a camera at 30 frames/s is not at 60")
        << small << L { "stream", "%CAM1%", "--seconds", "2", "--json", "--expect-fps", "60" } << 3
        << R"(^\{"camera":"%CAM1%","name":"SimCam-Color","seconds":2,.*"pass":false\}$)"
        << "frames/s is not within 5 % of 60";
    // A camera that hands over 8 frames at once is faster than the tool's
    // consumer can empty two buffers: frames are dropped.
    QTest::newRow("fail: frames dropped")
        << Env { { "LINKSIM_WIDTH", "16" }, { "LINKSIM_HEIGHT", "16" }, { "LINKSIM_FPS", "240" },
               { "LINKSIM_BURST", "8" } }
        << L { "stream", "SimCam-Mono", "--seconds", "2", "--json" } << 3
        << R"(^\{"camera":"%CAM0%",.*"dropped":[1-9][0-9]*,.*"pass":false\}$)"
        << "frames dropped";
}

void TestE2eCtl::stream()
{
    QFETCH(Env, env);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, json);
    QFETCH(QString, fault);

    const Run run = tavixctl(args, env);
    QCOMPARE(run.exitCode, exitCode);
    const QRegularExpression pattern(expandPlaceholders(json, dir.path(), true));
    QVERIFY2(pattern.match(run.out.trimmed()).hasMatch(), qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains(fault), qPrintable(run.err));
    if (fault.isEmpty())
        QCOMPARE(run.err, QString());
    if (args.contains(QStringLiteral("--csv"))) {
        QFile csv(dir.filePath(QStringLiteral("stream.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // the header, two seconds, the final line feed
        QCOMPARE(lines.at(0), QByteArray("second,delivered,dropped,longest_gap_ms"));
        QVERIFY2(QRegularExpression(QStringLiteral("^2,[0-9]+,0,[0-9]+\\.[0-9]$"))
                     .match(QString::fromLatin1(lines.at(2)))
                     .hasMatch(),
            lines.at(2).constData());
    }
}

void TestE2eCtl::lostOutput_data()
{
    QTest::addColumn<QString>("redirect"); // for the shell that starts the tool
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // on stderr; for a closed stderr: nothing to read

    const QString full = QStringLiteral("tavixctl: output lost: cannot write to standard output (No space "
                                        "left on device)\n");
    const QString closed = QStringLiteral("tavixctl: output lost: standard output is closed\n");
    using L = QStringList;
    QTest::newRow("list, full disk") << ">/dev/full" << L { "list" } << 1 << full;
    QTest::newRow("list as JSON, stdout closed") << ">&-" << L { "list", "--json" } << 1 << closed;
    QTest::newRow("help, full disk") << ">/dev/full" << L { "--help" } << 1 << full;
    QTest::newRow("get, full disk") << ">/dev/full" << L { "get", "%CAM0%", "--json" } << 1 << full;
    QTest::newRow("get, stdout and stderr closed") << ">&- 2>&-" << L { "get", "%CAM0%" } << 1 << QString();
    QTest::newRow("set, stdout closed") << ">&-" << L { "set", "%CAM0%", "FrameRate", "25" } << 1 << closed;
    QTest::newRow("apply, full disk, writes unanswered")
        << ">/dev/full"
        << L { "apply", "SimCam-Mono", "%DIR%/line4.json", "--mac", "2-54-56-0-0-9", "--timeout", "200" } << 1
        << "; the command itself ended with exit code 3\n";
    QTest::newRow("firmware summary, full disk")
        << ">/dev/full" << L { "firmware", "--camera", "%CAM0%", "%DIR%/a.bin" } << 1 << full;
    // A pipe whose reader is gone (| head -1) fails the write instead of ending the tool.
    QTest::newRow("get, reader gone")
        << ">&%PIPE%" << L { "get", "%CAM0%" } << 1
        << "tavixctl: output lost: cannot write to standard output (Broken pipe)\n";
    // Nothing written to stdout is nothing lost: the command's own code stays.
    QTest::newRow("get without reply, stdout closed")
        << ">&-" << L { "get", "%NOCAM%", "--timeout", "300" } << 2 << "no parameter report from";
    QTest::newRow("refused value, full disk")
        << ">/dev/full" << L { "set", "%CAM0%", "StreamVdma", "2" } << 3 << "The Value only is 0/1!";
}

void TestE2eCtl::lostOutput()
{
#ifdef Q_OS_WIN
    QSKIP("Closed and broken standard streams are a POSIX shell's redirections");
#else
    QFETCH(QString, redirect);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);

    // A pipe without a reader, whose writing end the tool inherits. The tool
    // starts with SIGPIPE as a shell leaves it (this test program ignores it).
    int pipe[2] = { -1, -1 };
    if (redirect.contains(QLatin1String("%PIPE%"))) {
        QCOMPARE(::pipe(pipe), 0);
        ::close(pipe[0]);
        redirect.replace(QStringLiteral("%PIPE%"), QString::number(pipe[1]));
    }
    const auto closePipe = qScopeGuard([&pipe] {
        if (pipe[1] >= 0)
            ::close(pipe[1]);
    });
    QProcess process;
    process.setProcessEnvironment(environment({}));
    process.start(QStringLiteral("/bin/sh"),
        QStringList { QStringLiteral("-c"),
            QStringLiteral("exec env --default-signal=PIPE \"$0\" \"$@\" ") + redirect, tool }
            + expand(args));
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(err.contains(expected), qPrintable(err));
    if (expected.isEmpty())
        QCOMPARE(err, QString());
    // Nothing the tool opened took a closed stream's place: no output reached the pipe.
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
#endif
}

void TestE2eCtl::interruptPrintsSummary_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("summary on stdout") << false;
    QTest::newRow("summary to a full disk") << true;
}

void TestE2eCtl::interruptPrintsSummary()
{
    QFETCH(bool, fullDisk);
#ifdef Q_OS_WIN
    if (fullDisk)
        QSKIP("Windows has no /dev/full");
#endif
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("big.bin"))))
        writeFile(QStringLiteral("big.bin"), QByteArray(40 * 1024 * 1024, '\x5A'));
    QProcess process;
    process.setProcessEnvironment(environment({}));
    if (fullDisk) {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.setReadChannel(QProcess::StandardError);
    }
    // With stdout on /dev/full, the debug log on stderr tells when the pieces go.
    QStringList args { "firmware", "--camera", "%CAM0%", "--camera", "%CAM1%", "%DIR%/big.bin",
        "%DIR%/a.bin" };
    if (fullDisk)
        args << QStringLiteral("-v");
    process.start(tool, expand(args));
    const char *started = fullDisk ? "WORK BEGIN" : "%";
    QByteArray out;
    QByteArray err;
    while (!(fullDisk ? err : out).contains(started) && process.waitForReadyRead(10000)) {
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
    }
    QVERIFY2((fullDisk ? err : out).contains(started), (out + err).constData());
    QVERIFY(interrupt(process));
    QVERIFY(process.waitForFinished(10000));
    out += process.readAllStandardOutput();
    err += process.readAllStandardError();
    QVERIFY(err.contains("interrupted; the summary so far"));
    if (fullDisk) {
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(err.endsWith("tavixctl: output lost: cannot write to standard output (No space left on "
                              "device); the command itself ended with exit code 130\n"),
            err.right(300).constData());
        return;
    }
    QCOMPARE(process.exitCode(), 130);
    QVERIFY2(
        QRegularExpression(
            expandPlaceholders(QStringLiteral("SimCam-Color \\(%CAM1%\\) +big.bin +interrupted "), {}, true))
            .match(QString::fromUtf8(out))
            .hasMatch(),
        out.constData());
    QVERIFY(out.contains("a.bin"));
}

void TestE2eCtl::silentCamera()
{
    // A camera that takes the connection but never answers the header frame.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress(cameraIp(58)), firmwarePortWithTestOverride()));
    const Run run = tavixctl({ "firmware", "--camera", "%SILENT%", "--timeout", "500", "%DIR%/a.bin" });
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.out.contains(QStringLiteral("a.bin  not sent: no reply from the camera within 500 ms")),
        qPrintable(run.out));
    QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));
}

void TestE2eCtl::badChecksumIsWarnedAndUsed()
{
    TAVIX_SKIP_UNDER_WINE(TAVIX_WINE_UDP);
    // A camera whose parameter report carries a wrong checksum.
    QUdpSocket camera;
    const QHostAddress address(cameraIp(60));
    QVERIFY(camera.bind(address, commandPortWithTestOverride(), QUdpSocket::ShareAddress));
    QProcess process;
    process.setProcessEnvironment(environment({}));
    process.start(tool, { "get", address.toString(), "--json" });
    QSignalSpy query(&camera, &QUdpSocket::readyRead);
    QVERIFY(camera.hasPendingDatagrams() || query.wait(10000));
    const QNetworkDatagram request = camera.receiveDatagram();
    QByteArray report = cmdproto::buildFrame(
        cmdproto::kDirReply, cmdproto::kCmdControl, cmdproto::kIdQuery, {}, R"({"A001_rate":42})");
    report[report.size() - 2] = char(report.at(report.size() - 2) ^ 0x55);
    camera.writeDatagram(report, request.senderAddress(), quint16(request.senderPort()));
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().contains("\"FrameRate\":42"));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("tavixctl: warning: %1: command reply C3 B101: checksum 0x")
                              .arg(address.toString())),
        qPrintable(err));
}

// A camera that asks for the data and then only reports progress, never a
// verdict: progress keeps it from counting as silent, but the phase ends at
// its limit (shortened here; the tool's is 300 s).
void TestE2eCtl::progressOnlyCamera()
{
    QTcpServer camera;
    QVERIFY(camera.listen(QHostAddress(cameraIp(58)), firmwarePortWithTestOverride()));
    QTimer progress;
    QTcpSocket *peer = nullptr;
    firmware::FrameStream frames;
    connect(&camera, &QTcpServer::newConnection, this, [&] {
        peer = camera.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&] {
            frames.append(peer->readAll());
            while (const auto bytes = frames.takeFrame()) {
                const auto frame = firmware::parseFrame(*bytes);
                if (frame && frame->command == firmware::CmdHeader)
                    peer->write(firmware::buildReplyFrame(firmware::StatusSendStart));
                else if (*bytes == firmware::buildStartFrame(0))
                    peer->write(firmware::buildReplyFrame(firmware::StatusSendData));
                else if (*bytes == firmware::buildEndFrame())
                    progress.start(50);
            }
            frames.takeRaw(frames.buffered()); // the pieces
        });
    });
    connect(&progress, &QTimer::timeout, this,
        [&] { peer->write(firmware::buildReplyFrame(firmware::StatusProgress, 99)); });

    ctl::CameraJob::Options options;
    options.files = QStringList { dir.filePath(QStringLiteral("a.bin")) };
    options.timeoutMs = 300;
    options.phaseLimitMs = 1000;
    options.port = firmwarePortWithTestOverride();
    ctl::Target target;
    target.ip = cameraIp(58);
    ctl::CameraJob job(target, options);
    QSignalSpy finished(&job, &ctl::CameraJob::finished);
    job.start();
    QVERIFY(QTest::qWaitFor([&] { return progress.isActive(); }, 5000));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(finished.wait(5000));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(job.rows().size(), 1);
    QCOMPARE(job.rows().first().outcome,
        QStringLiteral("not sent: no verdict from the camera within 1 s, only progress"));
    QVERIFY(!job.succeeded());
}

void TestE2eCtl::portHeldByAnotherProgram()
{
    // This test program stands for a Tavix window that holds the command port.
    TAVIX_SKIP_UNDER_WINE(TAVIX_WINE_UDP);
    const quint16 port = commandPortWithTestOverride();
    PortClaim claim(PortClaim::udpName(port));
    QCOMPARE(claim.claim(), PortClaim::Outcome::Claimed);
    const Run run = tavixctl({ "get", "%CAM0%" });
    QCOMPARE(run.exitCode, 0);
    // In the words of the window's status bar.
    QVERIFY2(run.err.contains(QStringLiteral("tavixctl: warning: Another program, tst_e2e_ctl (process %1), "
                                             "already uses the command port %2: camera replies may go to it.")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(port)),
        qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestE2eCtl)
#include "tst_e2e_ctl.moc"
