// Parameter set files: the bytes save writes and what load makes of a file.
#include "core/paramfile.h"
#include "tests/fifoguard.h"
#include "tests/filesizelimit.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace paramfile;
using Error = LoadResult::Error;

class TestParamFile : public QObject {
    Q_OBJECT
private slots:
    void brightnessFileBytes();
    void roundTrip();
    void load_data();
    void load();
    void throughFiles();
};

void TestParamFile::brightnessFileBytes()
{
    // One Set of row 9 to 100; rows outside 2..21 are not stored.
    const QByteArray expected = "[\n"
                                "    {\n"
                                "        \"B-colorBlack\": \"\",\n"
                                "        \"Blue-Gain\": \"\",\n"
                                "        \"Brightness\": \"100\",\n"
                                "        \"ExposureEnable\": \"\",\n"
                                "        \"ExposureTime\": \"\",\n"
                                "        \"G-colorBlack\": \"\",\n"
                                "        \"GlobalGain\": \"\",\n"
                                "        \"Green-blueGain\": \"\",\n"
                                "        \"Green-redGain\": \"\",\n"
                                "        \"R-colorBlack\": \"\",\n"
                                "        \"Red-Gain\": \"\",\n"
                                "        \"ReverseLeftAndRightImage\": \"\",\n"
                                "        \"SharpenAmount\": \"\",\n"
                                "        \"SharpeningThreshold\": \"\",\n"
                                "        \"SoberDebug1\": \"\",\n"
                                "        \"SoberDebug2\": \"\",\n"
                                "        \"SoberEnable\": \"\",\n"
                                "        \"SoberMat\": \"\",\n"
                                "        \"SoberThreshold\": \"\",\n"
                                "        \"Upside-downImage\": \"\"\n"
                                "    }\n"
                                "]\n";
    QCOMPARE(buildParameterFile({ { 9, QStringLiteral("100") }, { 22, QStringLiteral("30") } }), expected);

    // Nothing remembered: twenty empty strings, the same layout.
    const QByteArray empty = buildParameterFile({});
    QCOMPARE(empty, QByteArray(expected).replace("\"100\"", "\"\""));
}

void TestParamFile::roundTrip()
{
    RowValues values;
    for (const FileKey &k : kKeys)
        values.insert(k.row, QStringLiteral("v%1").arg(k.row));
    values[6] = QStringLiteral("12"); // "G-colorBlack" is the Gr row
    values[7] = QString::fromUtf8("曝光 \"quoted\" \\ back\tslash");
    values[20] = QString();
    const QByteArray bytes = buildParameterFile(values);
    QVERIFY(bytes.contains("\"G-colorBlack\": \"12\""));
    QVERIFY(bytes.contains(QString::fromUtf8("曝光").toUtf8())); // UTF-8, not \u escapes

    const LoadResult back = parseParameterFile(bytes);
    QCOMPARE(int(back.error), int(Error::None));
    QCOMPARE(back.values, values);
}

void TestParamFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("row7");
    QTest::addColumn<QString>("row14");
    QTest::addColumn<QString>("message"); // the box's text for a refused file

    const auto row = [](const char *name, const QByteArray &bytes, Error error, const char *row7 = "",
                         const char *row14 = "", const char *message = "Json is error!") {
        QTest::newRow(name) << bytes << int(error) << QString::fromUtf8(row7) << QString::fromUtf8(row14)
                            << QString::fromUtf8(error == Error::None ? "" : message);
    };
    row("object with only ExposureTime", R"({"ExposureTime":"5000"})", Error::None, "5000");
    row("only the first element counts", R"([{"GlobalGain":"1"},{"GlobalGain":"2"}])", Error::None, "", "1");
    row("empty array", "[]", Error::None);
    row("array of a string", R"(["x"])", Error::None);
    row("invalid JSON", R"([{"GlobalGain":"1"})", Error::InvalidJson);
    row("empty file", QByteArray(), Error::InvalidJson);
    row("text after the JSON", R"([{"ExposureTime":"7"}] x)", Error::InvalidJson);
    // A repeated member name is ambiguous: refused wherever it stands.
    row("repeated parameter", R"([{"ExposureTime":"7","ExposureTime":"8"}])", Error::InvalidJson);
    row("repeated member deep inside", R"([{"ExposureTime":"7","x":[{"a":[1],"a":2}]}])", Error::InvalidJson);
    row("same name in two objects", R"([{"ExposureTime":"7","x":{"ExposureTime":1}}])", Error::None, "7");
    row("nested deeper than the reader goes", QByteArray(1010, '[') + QByteArray(1010, ']'),
        Error::InvalidJson);
    // A number stands for its text.
    row("integral number", R"([{"GlobalGain":16,"ExposureTime":"7"}])", Error::None, "7", "16");
    row("negative and written with a point", R"({"ExposureTime":-5,"GlobalGain":16.0})", Error::None, "-5",
        "16");
    row("exponent of an integer", R"({"ExposureTime":2e4,"GlobalGain":-0})", Error::None, "20000", "0");
    row("large integer: its digits", R"({"ExposureTime":1e20})", Error::None, "100000000000000000000");
    row("fraction: shortest form", R"({"ExposureTime":9.99,"GlobalGain":0.1})", Error::None, "9.99", "0.1");
    // Anything else in one of the twenty is refused, naming every such member.
    row("true", R"({"GlobalGain":true})", Error::MemberKind, "", "",
        "Json is error! These members hold neither a text nor a number: GlobalGain");
    row("false, null, array, object",
        R"([{"GlobalGain":false,"ExposureTime":null,"SoberMat":[3],"Brightness":{}}])", Error::MemberKind, "",
        "",
        "Json is error! These members hold neither a text nor a number: ExposureTime, Brightness, "
        "GlobalGain, "
        "SoberMat");
    row("other members may hold anything", R"({"ExposureTime":"7","note":[true,null]})", Error::None, "7");
}

void TestParamFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QFETCH(QString, row7);
    QFETCH(QString, row14);
    QFETCH(QString, message);

    const LoadResult result = parseParameterFile(bytes);
    QCOMPARE(int(result.error), error);
    QCOMPARE(loadErrorText(result), message);
    if (result.error != Error::None) {
        QVERIFY(result.values.isEmpty());
        QCOMPARE(QString::fromLatin1(loadErrorMessage(result.error).title), QStringLiteral("error"));
        return;
    }
    QCOMPARE(result.values.size(), 20);
    QCOMPARE(result.values.firstKey(), 2);
    QCOMPARE(result.values.lastKey(), 21);
    QCOMPARE(result.values.value(7), row7);
    QCOMPARE(result.values.value(14), row14);
}

void TestParamFile::throughFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("set.json"));

    // Saving over a longer file replaces it whole.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, ' '));
    old.close();
    QCOMPARE(int(saveParameterFile(path, { { 9, QStringLiteral("100") } })), int(SaveResult::Written));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray written = saved.readAll();
    QCOMPARE(written, buildParameterFile({ { 9, QStringLiteral("100") } }));

    // A disk that fills up during the save leaves the old file whole, and no
    // half-written file beside it.
    {
        const FileSizeLimit full(100);
        if (!full.active())
            QSKIP("No limit on a file's size here (RLIMIT_FSIZE) to fill the disk with");
        QString reason;
        QCOMPARE(int(saveParameterFile(path, { { 7, QStringLiteral("20000") } }, &reason)),
            int(SaveResult::WriteFailed));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(saveErrorText(reason),
            QStringLiteral(
                "Save file error! The file was not saved (%1); any file that was there is unchanged.")
                .arg(reason));
    }
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), written);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "set.json" });

    const LoadResult loaded = loadParameterFile(path);
    QCOMPARE(int(loaded.error), int(Error::None));
    QCOMPARE(loaded.values.value(9), QStringLiteral("100"));

    const LoadResult missing = loadParameterFile(dir.filePath(QStringLiteral("missing.json")));
    QCOMPARE(int(missing.error), int(Error::OpenFailed));
    QCOMPARE(QString::fromLatin1(loadErrorMessage(missing.error).text), QStringLiteral("Open file error!"));

    // Anything but a regular file is refused without being read: a FIFO would block.
#ifdef Q_OS_WIN
    QSKIP("Windows has no FIFOs or devices in its file system");
#endif
    FifoGuard fifo(FifoGuard::Make, dir.filePath(QStringLiteral("pipe.json")));
    QVERIFY(fifo.made());
    const struct {
        QString path;
        const char *text;
    } others[] = {
        { dir.filePath(QStringLiteral("pipe.json")),
            "Open file error! This is a FIFO (named pipe), not a regular file." },
        { dir.path(), "Open file error! This is a directory, not a regular file." },
        { QStringLiteral("/dev/null"), "Open file error! This is a device, not a regular file." },
    };
    for (const auto &other : others) {
        fifo.arm();
        const LoadResult refused = loadParameterFile(other.path);
        QVERIFY2(!fifo.disarm(), "the load waited for a writer");
        QCOMPARE(int(refused.error), int(Error::NotRegular));
        QCOMPARE(loadErrorText(refused), QString::fromLatin1(other.text));
        QVERIFY(refused.values.isEmpty());
    }

    // Nothing takes the place of what is not a regular file (nor of a device:
    // the tests leave those alone), and a folder that is not there is no file.
    const struct {
        QString path;
        const char *reason; // part of it
    } unsaved[] = {
        { dir.filePath(QStringLiteral("pipe.json")), "is a FIFO (named pipe), not a regular file" },
        { dir.path(), "is a directory, not a regular file" },
        { dir.filePath(QStringLiteral("no/such/folder.json")), "" },
    };
    for (const auto &u : unsaved) {
        QString reason;
        QCOMPARE(int(saveParameterFile(u.path, {}, &reason)), int(SaveResult::OpenFailed));
        QVERIFY2(!reason.isEmpty() && reason.contains(QLatin1String(u.reason)), qPrintable(reason));
    }
    QCOMPARE(
        int(regularfile::kindOf(dir.filePath(QStringLiteral("pipe.json")))), int(regularfile::Kind::Fifo));
}

QTEST_GUILESS_MAIN(TestParamFile)
#include "tst_paramfile.moc"
