// The tavix command line: what starts the window, what ends at once, and with
// which exit code and text.
#include "gui/startoptions.h"

#include <QtTest>

class TestStartOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Tavix"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
    }
    void parse_data();
    void parse();
};

void TestStartOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("language"); // empty: not chosen on the command line
    QTest::addColumn<bool>("start");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("openRecord");
    QTest::addColumn<bool>("waitForFrames");
    QTest::addColumn<QString>("messageHas"); // empty: no message at all

    const QString usage = QStringLiteral("Usage: ");
    auto row = [](const char *name, const QStringList &args, const QString &language = QString()) {
        return &(QTest::newRow(name) << (QStringList { "tavix" } + args) << language);
    };
    *row("no options", {}) << true << 0 << -1 << false << QString();
    *row("open", { "--open", "1" }) << true << 0 << 1 << false << QString();
    *row("open joined", { "--open=0", "--wait-for-frames" }) << true << 0 << 0 << true << QString();
    *row("wait only", { "--wait-for-frames" }) << true << 0 << -1 << true << QString();
    // An index no camera has is the window's business: it starts and says so.
    *row("open unlisted index", { "--open", "31" }) << true << 0 << 31 << false << QString();
    *row("help", { "--help" }) << false << 0 << -1 << false << QStringLiteral("--wait-for-frames");
    *row("help short", { "-h" }) << false << 0 << -1 << false << QStringLiteral("--open <index>");
    *row("version", { "--version" }) << false << 0 << -1 << false << QStringLiteral("Tavix 2.0\n");
    *row("unknown option", { "--fast" }) << false << 2 << -1 << false << QStringLiteral("'fast'");
    *row("unknown beside good", { "--open", "0", "-x" }) << false << 2 << -1 << false << usage;
    *row("open without index", { "--open" }) << false << 2 << -1 << false << QStringLiteral("--open");
    *row("open negative", { "--open", "-1" }) << false << 2 << -1 << false << QStringLiteral("'-1'");
    *row("open signed", { "--open", "+1" }) << false << 2 << -1 << false << QStringLiteral("'+1'");
    *row("open hex", { "--open", "0x1" }) << false << 2 << -1 << false << usage;
    *row("open too large", { "--open", "99999999999" }) << false << 2 << -1 << false << usage;
    *row("stray argument", { "camera0" }) << false << 2 << -1 << false << QStringLiteral("'camera0'");
    *row("lang en", { "--lang", "en" }, "en") << true << 0 << -1 << false << QString();
    *row("lang zh joined", { "--lang=zh", "--open", "0" }, "zh") << true << 0 << 0 << false << QString();
    *row("lang unknown", { "--lang", "fr" }) << false << 2 << -1 << false << QStringLiteral("'fr'");
    *row("lang upper case", { "--lang", "EN" }) << false << 2 << -1 << false << QStringLiteral("'EN'");
    *row("lang without code", { "--lang" }) << false << 2 << -1 << false << QStringLiteral("--lang");
    *row("help names lang", { "--help" }) << false << 0 << -1 << false << QStringLiteral("--lang <zh|en>");
}

void TestStartOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, language);
    QFETCH(bool, start);
    QFETCH(int, exitCode);
    QFETCH(int, openRecord);
    QFETCH(bool, waitForFrames);
    QFETCH(QString, messageHas);

    const StartDecision decision = parseStartOptions(arguments);
    QCOMPARE(decision.start, start);
    QCOMPARE(decision.exitCode, exitCode);
    QCOMPARE(decision.options.openRecord, openRecord);
    QCOMPARE(decision.options.waitForFrames, waitForFrames);
    QCOMPARE(decision.options.language, language);
    if (messageHas.isEmpty())
        QVERIFY2(decision.message.isEmpty(), qPrintable(decision.message));
    else
        QVERIFY2(decision.message.contains(messageHas), qPrintable(decision.message));
    // Every refusal shows the usage.
    if (exitCode != 0)
        QVERIFY(decision.message.contains(QStringLiteral("Usage: ")));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
