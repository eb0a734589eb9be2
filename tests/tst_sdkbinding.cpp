#include "camera/sdkbinding.h"

#include <QtTest>

#include <cstring>

class TestSdkBinding : public QObject
{
    Q_OBJECT
private slots:
    void missingLibraryIsNotFatal();
    void libraryWithoutOperationsIsNotFatal();
    void simulatedSdkResolves();
};

void TestSdkBinding::missingLibraryIsNotFatal()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("camera SDK .* not found"));
    QVERIFY(!loadSdk("/nonexistent/folder/liblink.so"));
    QCOMPARE(missingSdkOperations().size(), 11);
    const SdkInfo none = sdkInfo(); // what the about box shows
    QCOMPARE(none.file, QStringLiteral("liblink.so"));
    QVERIFY(none.path.isEmpty());
    QVERIFY(!none.installed);
    QCOMPARE(none.missing.size(), 11);
    CameraList list;
    std::memset(&list, 0, sizeof list);
    QVERIFY(sdk().IB_CC_Init() != 0);
    QVERIFY(sdk().IB_CC_EnumCamera(&list) != 0);
    QCOMPARE(list.count, 0);
    QVERIFY(sdk().IB_CC_OpenCamera(&list.records[0]) != 0);
    QVERIFY(sdk().IB_CC_modeCamera(&list.records[0], 0) != 0);
    char text[64] = {};
    QVERIFY(sdk().IB_CC_setCameraName(&list.records[0], text) != 0);
}

void TestSdkBinding::libraryWithoutOperationsIsNotFatal()
{
    // Any shared library that is not the SDK: every operation is reported missing.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("lacks IB_CC_Init"));
    QVERIFY(!loadSdk("libz.so.1"));
    QVERIFY(missingSdkOperations().contains("IB_CC_setCameraName (ordinal 12)"));
    // Found on the system's library path: the file the system took, by its full path.
    const SdkInfo other = sdkInfo();
    QVERIFY2(QFileInfo(other.path).isAbsolute() && QFileInfo(other.path).fileName().startsWith("libz.so"),
        qPrintable(other.path));
    QCOMPARE(other.missing, missingSdkOperations());
    QVERIFY(sdk().IB_CC_StartCamera(nullptr) != 0);
}

void TestSdkBinding::simulatedSdkResolves()
{
    const QString path = qEnvironmentVariable("TAVIX_TEST_SDK");
    if (path.isEmpty())
        QSKIP("TAVIX_TEST_SDK not set");
    QVERIFY(loadSdk(path));
    QVERIFY(missingSdkOperations().isEmpty());
    QCOMPARE(sdk().IB_CC_OpenCamera(nullptr) != 0, true); // a null record is refused, not a crash
    QCOMPARE(sdkInfo().path, QFileInfo(path).absoluteFilePath());
    QVERIFY(sdkInfo().missing.isEmpty());
    installSdk(missingSdk());
    QVERIFY(sdkInfo().installed);
    QVERIFY(sdkInfo().path.isEmpty());
}

QTEST_GUILESS_MAIN(TestSdkBinding)
#include "tst_sdkbinding.moc"
