// The property table against the simulated camera over loopback: the parameter
// report fills the table, and a Set changes the camera.
#include "camera/sdkbinding.h"
#include "gui/messagebox.h"
#include "sim/linksim.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QLibrary>
#include <QListWidget>
#include <QMutex>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

QMutex logMutex;
QStringList logLines;
void captureLog(QtMsgType, const QMessageLogContext &, const QString &text)
{
    QMutexLocker lock(&logMutex);
    logLines << text;
}
bool logged(const QString &line)
{
    QMutexLocker lock(&logMutex);
    return logLines.contains(line);
}

} // namespace

class TestE2eParams : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void reportFillsTableAndSetChangesCamera();

private:
    // A parameter of simulated camera 0 as the camera keeps it; `fallback` when never set.
    long long cameraParam(const char *name, long long fallback) const
    {
        long long value = fallback;
        getParam(0, name, &value);
        return value;
    }

    decltype(&linksim_get_param) getParam = nullptr;
};

void TestE2eParams::initTestCase()
{
    qputenv("LINKSIM_WIDTH", "320");
    qputenv("LINKSIM_HEIGHT", "240");
    const QString sdkPath = QString::fromLocal8Bit(qgetenv("TAVIX_TEST_SDK"));
    QVERIFY2(!sdkPath.isEmpty(), "TAVIX_TEST_SDK names the simulated SDK");
    QVERIFY(loadSdk(sdkPath));
    QLibrary sdk(sdkPath); // the library loadSdk loaded
    getParam = reinterpret_cast<decltype(getParam)>(sdk.resolve("linksim_get_param"));
    QVERIFY2(getParam, qPrintable(sdk.errorString()));
    qInstallMessageHandler(captureLog);
    msgbox::setHandler([](const msgbox::Request &r) {
        qWarning().noquote() << "unexpected box:" << r.text;
        return QMessageBox::Yes;
    });
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestE2eParams::reportFillsTableAndSetChangesCamera()
{
    auto w = std::make_unique<MainWindow>();
    auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
    auto *table = w->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QVERIFY(list && table && list->count() > 0);
    list->setCurrentRow(0);
    QCOMPARE(MainWindowProbe::cameraCode(*w).Cam_ip,
        qEnvironmentVariable("LINKSIM_BASE_IP", QStringLiteral("127.0.0.2")));
    w->findChild<QAction *>(QStringLiteral("InitOpenAct"))->trigger();

    const auto cell
        = [table](int row) { return table->item(row, 1) ? table->item(row, 1)->text() : QString(); };
    QTRY_VERIFY_WITH_TIMEOUT(!cell(22).isEmpty(), 5000);
    QCOMPARE(cell(22), QString::number(cameraParam("frame_rate", 0)));
    QCOMPARE(cell(7), QString::number(cameraParam("exposure_time", 0)));
    QCOMPARE(cell(2), QString::number(cameraParam("sharpen_threshold", 0)));
    QCOMPARE(cell(3), QString::number(cameraParam("sharpen_strength", 0)));

    const long long exposure = cameraParam("exposure_time", 0) == 20000 ? 30000 : 20000;
    table->item(7, 1)->setText(QString::number(exposure));
    qobject_cast<QPushButton *>(table->cellWidget(7, 2))->click();
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("set success:>40962")), 5000);
    QCOMPARE(cameraParam("exposure_time", 0), exposure);

    // Opening again asks again: the report now carries the new exposure time.
    w->findChild<QAction *>(QStringLiteral("InitOpenAct"))->trigger();
    QCOMPARE(cell(7), QString());
    QTRY_COMPARE_WITH_TIMEOUT(cell(7), QString::number(exposure), 5000);
}

QTEST_MAIN(TestE2eParams)
#include "tst_e2e_params.moc"
