// tavixctl's command line: arguments in, the command to run or an error with
// its exit code out; and which camera a CAMERA argument names.
#include "ctl/cameras.h"
#include "ctl/ctlargs.h"

#include <QtTest>

using namespace ctl;

namespace {

// One line naming every field the command uses, so a row states all of them.
QString describe(const Invocation &inv)
{
    const QString mac = QString::fromLatin1(inv.mac.toHex());
    switch (inv.command) {
    case Command::List:
        return QStringLiteral("list json=%1 verbose=%2").arg(inv.json).arg(inv.verbose);
    case Command::Get:
        return QStringLiteral("get cam=%1 json=%2 timeout=%3")
            .arg(inv.camera)
            .arg(inv.json)
            .arg(inv.timeoutMs);
    case Command::Set:
        return QStringLiteral("set cam=%1 row=%2 value=%3 mac=%4 timeout=%5")
            .arg(inv.camera)
            .arg(inv.row)
            .arg(inv.value, mac)
            .arg(inv.timeoutMs);
    case Command::Apply:
        return QStringLiteral("apply cam=%1 file=%2 mac=%3 timeout=%4")
            .arg(inv.camera, inv.files.join(QLatin1Char(',')), mac)
            .arg(inv.timeoutMs);
    case Command::Firmware:
        return QStringLiteral("firmware cameras=%1 files=%2 type=%3 restart=%4 timeout=%5")
            .arg(inv.cameras.join(QLatin1Char(',')), inv.files.join(QLatin1Char(',')))
            .arg(inv.typeCode, 2, 16, QLatin1Char('0'))
            .arg(inv.restart)
            .arg(inv.timeoutMs);
    case Command::Restart:
        return QStringLiteral("restart cam=%1 wait=%2 timeout=%3")
            .arg(inv.camera)
            .arg(inv.wait)
            .arg(inv.timeoutMs);
    case Command::Stream:
        return QStringLiteral("stream cam=%1 seconds=%2 fps=%3 csv=%4 json=%5")
            .arg(inv.camera)
            .arg(inv.seconds)
            .arg(inv.expectFps)
            .arg(inv.csv)
            .arg(inv.json);
    case Command::Diff:
        return QStringLiteral("diff cam=%1 file=%2 json=%3 timeout=%4")
            .arg(inv.camera, inv.files.join(QLatin1Char(',')))
            .arg(inv.json)
            .arg(inv.timeoutMs);
    }
    return QString();
}

} // namespace

class TestCtlArgs : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void resolveCamera_data();
    void resolveCamera();
    void listNotesUnreachableCameras();
};

void TestCtlArgs::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode"); // -1: a command to run
    QTest::addColumn<QString>("expected"); // the command described, or text the output or error holds

    const auto row = [](const char *name, QStringList args, int exitCode, const char *expected) {
        QTest::newRow(name) << args << exitCode << QString::fromUtf8(expected);
    };
    using L = QStringList;
    row("list", L { "list" }, -1, "list json=0 verbose=0");
    row("list json verbose", L { "list", "--json", "-v" }, -1, "list json=1 verbose=1");
    row("list takes no camera", L { "list", "cam" }, 1, "list takes no arguments");
    row("get", L { "get", "127.0.0.2" }, -1, "get cam=127.0.0.2 json=0 timeout=2000");
    row("get json timeout", L { "get", "cam", "--timeout", "500", "--json" }, -1,
        "get cam=cam json=1 timeout=500");
    row("get timeout zero", L { "get", "cam", "--timeout", "0" }, 1, "--timeout takes milliseconds");
    row("get timeout not a number", L { "get", "cam", "--timeout", "5s" }, 1, "not \"5s\"");
    row("get timeout negative", L { "get", "cam", "--timeout", "-5" }, 1, "--timeout");
    row("get without camera", L { "get" }, 1, "get takes CAMERA, got 0");
    row("get two cameras", L { "get", "a", "b" }, 1, "got 2");
    row("get unknown option", L { "get", "cam", "--mac", "1-2-3-4-5-6" }, 1, "Unknown option 'mac'");
    row("set file key", L { "set", "cam", "ExposureTime", "20000" }, -1,
        "set cam=cam row=7 value=20000 mac= timeout=2000");
    row("set any letter case", L { "set", "cam", "exposuretime", "1" }, -1,
        "set cam=cam row=7 value=1 mac= timeout=2000");
    row("set row label", L { "set", "cam", "曝光时间", "1" }, -1,
        "set cam=cam row=7 value=1 mac= timeout=2000");
    row("set own name", L { "set", "cam", "FrameRate", "25" }, -1,
        "set cam=cam row=22 value=25 mac= timeout=2000");
    row("set Gb black level key", L { "set", "cam", "B-colorBlack", "3" }, -1,
        "set cam=cam row=5 value=3 mac= timeout=2000");
    row("set B black level", L { "set", "cam", "BlackLevelB", "3" }, -1,
        "set cam=cam row=28 value=3 mac= timeout=2000");
    row("set camera name", L { "set", "cam", "CameraName", "Line 4" }, -1,
        "set cam=cam row=1 value=Line 4 mac= timeout=2000");
    row("set negative value", L { "set", "cam", "Brightness", "-20" }, -1,
        "set cam=cam row=9 value=-20 mac= timeout=2000");
    row("set negative after --", L { "set", "cam", "Brightness", "--", "-20" }, -1,
        "set cam=cam row=9 value=-20 mac= timeout=2000");
    row("set empty value", L { "set", "cam", "Brightness", "" }, -1,
        "set cam=cam row=9 value= mac= timeout=2000");
    row("set unknown name", L { "set", "cam", "Exposure", "1" }, 1, "unknown parameter \"Exposure\"");
    row("set missing value", L { "set", "cam", "ExposureTime" }, 1, "set takes CAMERA NAME VALUE, got 2");
    row("set mac as listed", L { "set", "cam", "ExposureTime", "1", "--mac", "0-e0-4c-68-1-2" }, -1,
        "set cam=cam row=7 value=1 mac=00e04c680102 timeout=2000");
    row("set mac with colons", L { "set", "cam", "ExposureTime", "1", "--mac", "00:E0:4C:68:01:02" }, -1,
        "set cam=cam row=7 value=1 mac=00e04c680102 timeout=2000");
    row("set mac five bytes", L { "set", "cam", "ExposureTime", "1", "--mac", "0-e0-4c-68-1" }, 1,
        "is not a MAC address");
    row("set mac mixed separators", L { "set", "cam", "ExposureTime", "1", "--mac", "0-e0:4c-68-1-2" }, 1,
        "is not a MAC address");
    row("set mac three digits", L { "set", "cam", "ExposureTime", "1", "--mac", "0-e0-4c-68-1-200" }, 1,
        "is not a MAC address");
    row("apply", L { "apply", "cam", "line4.json", "--timeout", "300" }, -1,
        "apply cam=cam file=line4.json mac= timeout=300");
    row("apply without file", L { "apply", "cam" }, 1, "apply takes CAMERA FILE.json");
    row("firmware, repeats once",
        L { "firmware", "--camera", "a", "--camera", "b", "--camera", "a", "x.bin", "y.bin", "x.bin" }, -1,
        "firmware cameras=a,b files=x.bin,y.bin type=11 restart=0 timeout=10000");
    row("firmware library restart", L { "firmware", "--camera", "a", "--type", "library", "--restart", "f" },
        -1, "firmware cameras=a files=f type=21 restart=1 timeout=10000");
    row("firmware config", L { "firmware", "--type", "config", "--camera", "a", "f", "--timeout", "900" }, -1,
        "firmware cameras=a files=f type=31 restart=0 timeout=900");
    row("firmware picture type", L { "firmware", "--camera", "a", "--type", "picture", "f" }, 1,
        "--type is boot, library or config");
    row("firmware without camera", L { "firmware", "f.bin" }, 1, "at least one camera");
    row("firmware without file", L { "firmware", "--camera", "a" }, 1, "at least one file");
    row("restart", L { "restart", "cam" }, -1, "restart cam=cam wait=0 timeout=5000");
    row("restart wait", L { "restart", "cam", "--wait", "--timeout", "30000" }, -1,
        "restart cam=cam wait=1 timeout=30000");
    row("restart json", L { "restart", "cam", "--json" }, 1, "Unknown option 'json'");
    row("stream", L { "stream", "cam" }, -1, "stream cam=cam seconds=10 fps=0 csv= json=0");
    row("stream for the line's records",
        L { "stream", "cam", "--seconds", "600", "--expect-fps", "29.97", "--csv", "c.csv", "--json" }, -1,
        "stream cam=cam seconds=600 fps=29.97 csv=c.csv json=1");
    row("stream zero seconds", L { "stream", "cam", "--seconds", "0" }, 1, "--seconds takes whole seconds");
    row("stream longer than a day", L { "stream", "cam", "--seconds", "86401" }, 1, "from 1 to 86400");
    row("stream fps as an exponent", L { "stream", "cam", "--expect-fps", "3e1" }, 1, "not \"3e1\"");
    row("stream fps zero", L { "stream", "cam", "--expect-fps", "0" }, 1, "above 0, up to 1000");
    row("stream fps too high", L { "stream", "cam", "--expect-fps", "1000.5" }, 1, "--expect-fps");
    row("stream takes no timeout", L { "stream", "cam", "--timeout", "5" }, 1, "Unknown option 'timeout'");
    row("diff", L { "diff", "cam", "line4.json", "--json", "--timeout", "300" }, -1,
        "diff cam=cam file=line4.json json=1 timeout=300");
    row("diff without file", L { "diff", "cam" }, 1, "diff takes CAMERA FILE.json, got 1");
    row("help of stream", L { "stream", "--help" }, 0, "--expect-fps <F>");
    row("no command", L {}, 1, "no command given");
    row("unknown command", L { "flash" }, 1,
        "unknown command \"flash\" (list, get, set, apply, firmware, restart, stream, diff;");
    row("option before command", L { "-v", "list" }, 1, "unknown command \"-v\"");
    row("help", L { "--help" }, 0, "Exit codes: 0 success");
    row("help of get", L { "get", "--help" }, 0, "Usage: tavixctl get [options] CAMERA");
    row("help of firmware", L { "firmware", "-h" }, 0, "--camera <CAMERA>");
    row("help beats errors", L { "set", "--help", "cam" }, 0, "Usage: tavixctl set");
}

void TestCtlArgs::parse()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);

    const ParseResult result = parseArguments(QStringList { QStringLiteral("tavixctl") } + args);
    if (exitCode < 0) {
        QVERIFY2(result.invocation, qPrintable(result.error));
        QCOMPARE(describe(*result.invocation), expected);
        return;
    }
    QVERIFY(!result.invocation);
    QCOMPARE(result.exitCode, exitCode);
    // Help goes to stdout, errors to stderr, never both.
    const QString &text = exitCode == 0 ? result.output : result.error;
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY((exitCode == 0 ? result.error : result.output).isEmpty());
}

namespace {

// What the camera SDK lists in the lookup rows below, odd records included.
const QVector<CameraEntry> kListed = {
    { 0, QStringLiteral("Mono"), QStringLiteral("127.0.0.2"), QStringLiteral("2-54-56-0-0-1") },
    { 1, QStringLiteral("Color"), QStringLiteral("127.0.0.3"), QStringLiteral("2-54-56-0-0-2") },
    { 2, QStringLiteral("Everyone"), QStringLiteral("255.255.255.255"), QStringLiteral("2-54-56-0-0-3") },
    { 3, QStringLiteral("Unset"), QStringLiteral("0.0.0.0"), QStringLiteral("2-54-56-0-0-4") },
    { 4, QStringLiteral("Group"), QStringLiteral("239.1.2.3"), QStringLiteral("2-54-56-0-0-5") },
    { 5, QStringLiteral("Future"), QStringLiteral("250.1.2.3"), QStringLiteral("2-54-56-0-0-6") },
    { 6, QStringLiteral("Twin"), QStringLiteral("127.0.0.6"), QStringLiteral("2-54-56-0-0-7") },
    { 7, QStringLiteral("Twin"), QStringLiteral("127.0.0.7"), QStringLiteral("2-54-56-0-0-8") },
};

} // namespace

void TestCtlArgs::resolveCamera_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // "=ip name index mac", or text the error holds

    const auto row = [](const char *name, const char *text, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("listed address", "127.0.0.3", "=127.0.0.3 Color 1 025456000002");
    row("listed name", "Mono", "=127.0.0.2 Mono 0 025456000001");
    row("unlisted address", "127.0.0.9", "=127.0.0.9  -1 ");
    row("leading zero", "127.0.0.02", "address \"127.0.0.02\" refused: leading zeros are not allowed");
    row("leading zeros, octal-looking", "192.168.001.010", "write 192.168.1.10 if that is the address meant");
    row("zeros only", "127.000.000.003", "write 127.0.0.3 if that");
    row("leading zero, too large anyway", "0300.0.0.1",
        "\"0300.0.0.1\" is not an IPv4 address: it takes four numbers from 0 to 255");
    row("number too large", "127.0.0.256", "is not an IPv4 address");
    row("short form is no address", "127.1", "unknown camera \"127.1\"");
    row("one number is no address", "2130706434", "unknown camera");
    row("trailing newline", "127.0.0.2\n", "unknown camera");
    row("broadcast", "255.255.255.255", "255.255.255.255 cannot be a camera's address: it is the broadcast");
    row("any-address", "0.0.0.0", "0.0.0.0 cannot be a camera's address: it is in 0.0.0.0/8");
    row("multicast low", "224.0.0.1", "224.0.0.1 cannot be a camera's address: it is a multicast");
    row("reserved", "240.0.0.1", "240.0.0.1 cannot be a camera's address: it is in 240.0.0.0/4");
    row("listed at broadcast, by name", "Everyone",
        "camera \"Everyone\" is listed at 255.255.255.255, which cannot be a camera's address: it is the "
        "broadcast");
    row("listed at 0.0.0.0, by name", "Unset", "camera \"Unset\" is listed at 0.0.0.0, which cannot be");
    row("listed at multicast, by name", "Group",
        "is listed at 239.1.2.3, which cannot be a camera's address");
    row("listed at reserved, by name", "Future",
        "is listed at 250.1.2.3, which cannot be a camera's address");
    row("listed at multicast, by address", "239.1.2.3", "239.1.2.3 cannot be a camera's address");
    row("name used twice", "Twin", "is used by 127.0.0.6 and 127.0.0.7");
}

void TestCtlArgs::resolveCamera()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    const Resolution resolution = ctl::resolveCamera(kListed, text);
    QCOMPARE(bool(resolution.target), expected.startsWith(QLatin1Char('=')));
    if (resolution.target) {
        const Target &t = *resolution.target;
        QCOMPARE(QStringLiteral("=%1 %2 %3 %4")
                     .arg(t.ip, t.name)
                     .arg(t.index)
                     .arg(QString::fromLatin1(t.mac.toHex())),
            expected);
        QVERIFY(resolution.error.isEmpty());
    } else {
        QVERIFY2(resolution.error.contains(expected), qPrintable(resolution.error));
    }
}

void TestCtlArgs::listNotesUnreachableCameras()
{
    // list still shows them; these notes go to stderr beside the list.
    const QStringList notes = unusableListedCameras(kListed);
    QCOMPARE(notes.size(), 4);
    QVERIFY2(notes.first().startsWith(QStringLiteral("camera \"Everyone\" is listed at 255.255.255.255")),
        qPrintable(notes.first()));
    QVERIFY(notes.first().endsWith(QStringLiteral("; commands to it are refused")));
}

QTEST_APPLESS_MAIN(TestCtlArgs)
#include "tst_ctlargs.moc"
