// What tavixctl get prints of a parameter report: numbers as the camera sent
// them, never clamped or cut, and a number beyond a double told apart from a
// real number and from a missing value.
#include "ctl/output.h"

#include <QtTest>

using namespace ctl;

class TestCtlOutput : public QObject {
    Q_OBJECT
private slots:
    void report_data();
    void report();
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

QTEST_APPLESS_MAIN(TestCtlOutput)
#include "tst_ctloutput.moc"
