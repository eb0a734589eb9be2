#include "camera/sdkbinding.h"
#include "core/peexports.h"

#include <QtTest>

#include <atomic>
#include <cstring>

namespace {

// A minimal PE32+ image as the loader maps it: headers, an export directory
// with `base` and `functionCount` slots (all filled), and `names`.
void putLittleEndian(QByteArray &image, int at, quint32 value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        image[at + k] = char(value >> (8 * k));
}

QByteArray peImage(int base, int functionCount, const QMap<int, QByteArray> &names)
{
    QByteArray image(0x1000, '\0');
    auto put16 = [&](int at, quint16 v) { putLittleEndian(image, at, v, 2); };
    auto put32 = [&](int at, quint32 v) { putLittleEndian(image, at, v, 4); };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x80);
    std::memcpy(image.data() + 0x80, "PE\0\0", 4);
    put16(0x80 + 20, 240); // optional header size
    const int optional = 0x98;
    put16(optional, 0x20b);
    put32(optional + 108, 16); // data directories
    put32(optional + 112, 0x200); // export directory
    put32(optional + 116, 0x100);
    const int functions = 0x300, nameTable = 0x500, ordinalTable = 0x600;
    int text = 0x700;
    std::memcpy(image.data() + text, "test.dll", 9);
    put32(0x200 + 12, quint32(text));
    text += 9;
    put32(0x200 + 16, quint32(base));
    put32(0x200 + 20, quint32(functionCount));
    put32(0x200 + 24, quint32(names.size()));
    put32(0x200 + 28, functions);
    put32(0x200 + 32, nameTable);
    put32(0x200 + 36, ordinalTable);
    for (int i = 0; i < functionCount; ++i)
        put32(functions + 4 * i, quint32(0x900 + i));
    int i = 0;
    for (auto it = names.begin(); it != names.end(); ++it, ++i) {
        put32(nameTable + 4 * i, quint32(text));
        put16(ordinalTable + 2 * i, quint16(it.key() - base));
        std::memcpy(image.data() + text, it.value().constData(), std::size_t(it.value().size()) + 1);
        text += it.value().size() + 1;
    }
    return image;
}

QMap<int, QByteArray> sdkNames()
{
    QMap<int, QByteArray> names;
#define TAVIX_SDK_NAME(name, ordinal, ret, args) names.insert(ordinal, #name);
    LINKSDK_OPERATIONS(TAVIX_SDK_NAME)
#undef TAVIX_SDK_NAME
    return names;
}

std::atomic<int> g_frames { 0 };
int countFrame(unsigned char *, FrameInfo *, void *)
{
    ++g_frames;
    return 0;
}

} // namespace

class TestSdkBinding : public QObject
{
    Q_OBJECT
private slots:
    void missingLibraryIsNotFatal();
    void libraryWithoutOperationsIsNotFatal();
    void exportTables_data();
    void exportTables();
    void simulatedSdkResolves();
};

void TestSdkBinding::missingLibraryIsNotFatal()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("camera SDK .* not found"));
    QVERIFY(!loadSdk("/nonexistent/folder/liblink.so"));
    QCOMPARE(missingSdkOperations().size(), 11);
    const SdkInfo none = sdkInfo(); // what the about box shows
#ifdef Q_OS_WIN
    QCOMPARE(none.file, QStringLiteral("link.dll"));
#else
    QCOMPARE(none.file, QStringLiteral("liblink.so"));
#endif
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
#ifdef Q_OS_WIN
    // zlib's DLL has functions at ordinals 1 to 12, under zlib's names.
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression("libzlib.dll is not the camera SDK .*ordinal 1 is "));
    QVERIFY(!loadSdk("libzlib.dll"));
#else
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("lacks IB_CC_Init"));
    QVERIFY(!loadSdk("libz.so.1"));
    // Found on the system's library path: the file the system took, by its full path.
    const SdkInfo other = sdkInfo();
    QVERIFY2(QFileInfo(other.path).isAbsolute() && QFileInfo(other.path).fileName().startsWith("libz.so"),
        qPrintable(other.path));
    QCOMPARE(other.missing, missingSdkOperations());
#endif
    QVERIFY(missingSdkOperations().contains("IB_CC_setCameraName (ordinal 12)"));
    QVERIFY(sdk().IB_CC_StartCamera(nullptr) != 0);
}

// The export table tells a DLL that merely has ordinals 1 to 12 from the SDK.
void TestSdkBinding::exportTables_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("foreign");

    QTest::newRow("the SDK's names") << peImage(1, 12, sdkNames()) << true << QStringList();
    QTest::newRow("by ordinal only") << peImage(1, 12, {}) << true << QStringList();
    QMap<int, QByteArray> extra = sdkNames();
    extra.insert(100, "linksim_camera_count");
    QTest::newRow("names past the SDK's") << peImage(1, 100, extra) << true << QStringList();
    QMap<int, QByteArray> zlib = { { 1, "adler32" }, { 3, "compress" }, { 20, "inflate" } };
    QTest::newRow("another library") << peImage(1, 20, zlib) << true
                                     << QStringList { "ordinal 1 is adler32, not IB_CC_Init",
                                            "ordinal 3 is compress, not IB_CC_EnumCamera" };
    QMap<int, QByteArray> swapped = sdkNames();
    swapped[4] = "IB_CC_CloseCamera";
    QTest::newRow("swapped ordinal") << peImage(
        1, 12, swapped) << true << QStringList { "ordinal 4 is IB_CC_CloseCamera, not IB_CC_OpenCamera" };
    QTest::newRow("no export table") << [] {
        QByteArray image = peImage(1, 12, {});
        putLittleEndian(image, 0x98 + 112, 0, 4);
        return image;
    }() << true << QStringList();
    QTest::newRow("cut in the export table")
        << peImage(1, 12, sdkNames()).left(0x210) << false << QStringList();
    QTest::newRow("cut in the headers") << peImage(1, 12, sdkNames()).left(0x90) << false << QStringList();
    QTest::newRow("not PE") << [] {
        QByteArray image = peImage(1, 12, {});
        image[0x80] = 'X';
        return image;
    }() << false << QStringList();
    QTest::newRow("export table past the end") << [] {
        QByteArray image = peImage(1, 12, {});
        putLittleEndian(image, 0x98 + 112, 0xFFFFFFF0, 4);
        return image;
    }() << false << QStringList();
    QTest::newRow("name past the end") << [] {
        QByteArray image = peImage(1, 12, sdkNames());
        putLittleEndian(image, 0x500, 0x0FFF, 4); // the first name's text
        image[0x0FFF] = 'x'; // no terminating NUL before the end
        return image;
    }() << true << QStringList();
}

void TestSdkBinding::exportTables()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, readable);
    QFETCH(QStringList, foreign);
    const std::optional<PeExports> exports = readPeExports(
        reinterpret_cast<const unsigned char *>(image.constData()), std::size_t(image.size()));
    QCOMPARE(bool(exports), readable);
    if (exports)
        QCOMPARE(foreignSdkOrdinals(*exports), foreign);
}

// The simulated SDK by ordinal on Windows (link.dll), by name elsewhere: its
// cameras are listed and deliver frames through the table in use.
void TestSdkBinding::simulatedSdkResolves()
{
    const QString path = qEnvironmentVariable("TAVIX_TEST_SDK");
    if (path.isEmpty())
        QSKIP("TAVIX_TEST_SDK not set");
    qputenv("LINKSIM_NETWORK", "0");
    QVERIFY(loadSdk(path));
    QVERIFY(missingSdkOperations().isEmpty());
    QCOMPARE(sdk().IB_CC_OpenCamera(nullptr) != 0, true); // a null record is refused, not a crash
    QCOMPARE(sdkInfo().path, QFileInfo(path).absoluteFilePath());
    QVERIFY(sdkInfo().missing.isEmpty());

    QCOMPARE(sdk().IB_CC_Init(), 0);
    CameraList list;
    std::memset(&list, 0, sizeof list);
    QCOMPARE(sdk().IB_CC_EnumCamera(&list), 0);
    QCOMPARE(list.count, 2);
    QCOMPARE(QByteArray(list.records[0].name), QByteArray("SimCam-Mono"));
    QCOMPARE(QByteArray(list.records[1].name), QByteArray("SimCam-Color"));
    CameraRecord &camera = list.records[1];
    QCOMPARE(sdk().IB_CC_RegisterImage(&camera, countFrame, nullptr), 0);
    QCOMPARE(sdk().IB_CC_OpenCamera(&camera), 0);
    QCOMPARE(sdk().IB_CC_modeCamera(&camera, 2), 0);
    QCOMPARE(sdk().IB_CC_StartCamera(&camera), 0);
    QCOMPARE(sdk().IB_CC_softCamera(&camera), 0);
    QTRY_COMPARE(g_frames.load(), 1);
    char name[64] = "Line4-Cam3";
    QCOMPARE(sdk().IB_CC_setCameraName(&camera, name), 0);
    QCOMPARE(sdk().IB_CC_EnumCamera(&list), 0);
    QCOMPARE(QByteArray(list.records[1].name), QByteArray("Line4-Cam3"));
    // Left streaming in free run: the program must still end at once.
    QCOMPARE(sdk().IB_CC_modeCamera(&list.records[1], 0), 0);
    QTRY_VERIFY(g_frames.load() > 3);
    installSdk(missingSdk());
    QVERIFY(sdkInfo().installed);
    QVERIFY(sdkInfo().path.isEmpty());
}

QTEST_GUILESS_MAIN(TestSdkBinding)
#include "tst_sdkbinding.moc"
