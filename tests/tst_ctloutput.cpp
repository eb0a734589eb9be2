// What tavixctl get prints of a parameter report: numbers as the camera sent
// them, never clamped or cut, and a number beyond a double told apart from a
// real number and from a missing value. And what diff makes of a report and a
// parameter file.
#include "ctl/output.h"

#include <QtTest>

using namespace ctl;

class TestCtlOutput : public QObject {
    Q_OBJECT
private slots:
    void report_data();
    void report();
    void diff_data();
    void diff();
};

void TestCtlOutput::report_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("exposureLine"); // the text output's ExposureTime line
    QTest::addColumn<QString>("json"); // the JSON output after "name":null,

    const auto row = [](const char *name, const char *payload, const char *line, const char *json) {
        QTest::newRow(name) << QByteArray(payload) << QString::fromUtf8(line) << QString::fromUtf8(json);
    };
    row("integers as they stand",
        R"({"A001_rate":30,"A002_baoguang_time":10000,"A00B_ruihua_fazhi":0,)"
        R"("A00C_ruihua_qiangdu":-2147483648,"model":"linksim"})",
        "ExposureTime         10000",
        R"("parameters":{"FrameRate":30,"ExposureTime":10000,"SharpeningThreshold":0,)"
        R"("SharpenAmount":-2147483648},"other":{"model":"linksim"}})");
    row("past the int range", R"({"A002_baoguang_time":4294967296})", "ExposureTime         4294967296",
        R"("parameters":{"FrameRate":null,"ExposureTime":4294967296,"SharpeningThreshold":null,)"
        R"("SharpenAmount":null},"other":{}})");
    row("fraction and exponent", R"({"A002_baoguang_time":9.99,"A001_rate":1e20})",
        "ExposureTime         9.99",
        R"("parameters":{"FrameRate":1e+20,"ExposureTime":9.99,"SharpeningThreshold":null,)"
        R"("SharpenAmount":null},"other":{}})");
    row("beyond a double", R"({"A002_baoguang_time":1e400,"temperature":-1e400,"gain":0.5})",
        "ExposureTime         out of range",
        R"("parameters":{"FrameRate":null,"ExposureTime":"out of range","SharpeningThreshold":null,)"
        R"("SharpenAmount":null},"other":{"temperature":"out of range","gain":0.5}})");
    row("escapes in keys and strings", R"({"a\"b\u0001":"x\ty\\","k\u00e9":"\u00e9"})",
        "ExposureTime         -",
        R"("parameters":{"FrameRate":null,"ExposureTime":null,"SharpeningThreshold":null,)"
        R"("SharpenAmount":null},"other":{"a\"b\u0001":"x\ty\\","ké":"é"}})");
    row("a string under a known key is another member", R"({"A002_baoguang_time":"fast"})",
        "ExposureTime         -",
        R"("parameters":{"FrameRate":null,"ExposureTime":null,"SharpeningThreshold":null,)"
        R"("SharpenAmount":null},"other":{"A002_baoguang_time":"fast"}})");
}

void TestCtlOutput::report()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, exposureLine);
    QFETCH(QString, json);

    const std::optional<Report> report = parseReport(payload);
    QVERIFY(report);
    QVERIFY2(
        reportText(*report).split(QLatin1Char('\n')).contains(exposureLine), qPrintable(reportText(*report)));
    Target target;
    target.ip = QStringLiteral("127.0.0.2");
    QCOMPARE(reportJson(target, *report),
        QStringLiteral(R"({"camera":"127.0.0.2","name":null,)") + json + QLatin1Char('\n'));
}

void TestCtlOutput::diff_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("file"); // key=value members of the parameter file
    QTest::addColumn<QString>("json"); // diff --json after "file":"f.json",

    const auto row = [](const char *name, const char *payload, QStringList file, const char *json) {
        QTest::newRow(name) << QByteArray(payload) << file << QString::fromUtf8(json);
    };
    using L = QStringList;
    row("numbers as numbers, empty members left out",
        R"({"A002_baoguang_time":10000,"A00C_ruihua_qiangdu":2,"A00B_ruihua_fazhi":0.5})",
        L { "ExposureTime=0010000", "SharpenAmount=2", "SharpeningThreshold=0.50", "Red-Gain=" },
        R"("parameters":[{"name":"SharpeningThreshold","file":"0.50","camera":0.5,"equal":true},)"
        R"({"name":"SharpenAmount","file":"2","camera":2,"equal":true},)"
        R"({"name":"ExposureTime","file":"0010000","camera":10000,"equal":true}],"not_checked":[],"equal":true})");
    row("differs, and a member the report lacks", R"({"A002_baoguang_time":10000,"model":"linksim"})",
        L { "ExposureTime=20000", "Brightness=-5" },
        R"("parameters":[{"name":"ExposureTime","file":"20000","camera":10000,"equal":false}],)"
        R"("not_checked":["Brightness"],"equal":false})");
    row("a key names its parameter by the id in front", R"({"A004_liangdu":-5,"a009_gain":100})",
        L { "Brightness=-5", "GlobalGain=100" },
        R"("parameters":[{"name":"Brightness","file":"-5","camera":-5,"equal":true}],)"
        R"("not_checked":["GlobalGain"],"equal":true})");
    row("the later member counts; a string as its text",
        R"({"A002_baoguang_time":1,"A002_baoguang_time":"010"})", L { "ExposureTime=10" },
        R"("parameters":[{"name":"ExposureTime","file":"10","camera":"010","equal":true}],)"
        R"("not_checked":[],"equal":true})");
    row("beyond a double, or not a number, is never equal",
        R"({"A002_baoguang_time":1e400,"A00C_ruihua_qiangdu":[2]})",
        L { "ExposureTime=1e400", "SharpenAmount=2" },
        R"("parameters":[{"name":"SharpenAmount","file":"2","camera":[2],"equal":false},)"
        R"({"name":"ExposureTime","file":"1e400","camera":"out of range","equal":false}],)"
        R"("not_checked":[],"equal":false})");
    row("nothing compared is not equal", R"({"model":"linksim"})", L { "Brightness=3" },
        R"("parameters":[],"not_checked":["Brightness"],"equal":false})");
}

void TestCtlOutput::diff()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, file);
    QFETCH(QString, json);

    paramfile::RowValues values;
    for (const QString &member : file) {
        for (const paramfile::FileKey &key : paramfile::kKeys) {
            if (member.section(QLatin1Char('='), 0, 0) == QLatin1String(key.key))
                values.insert(key.row, member.section(QLatin1Char('='), 1));
        }
    }
    const std::optional<ParamDiff> diff = diffParameters(values, payload);
    QVERIFY(diff);
    Target target;
    target.ip = QStringLiteral("127.0.0.2");
    QCOMPARE(diffJson(target, QStringLiteral("f.json"), *diff),
        QStringLiteral(R"({"camera":"127.0.0.2","name":null,"file":"f.json",)") + json + QLatin1Char('\n'));
    QVERIFY(!diffParameters(values, "[1,2]"));
}

QTEST_APPLESS_MAIN(TestCtlOutput)
#include "tst_ctloutput.moc"
