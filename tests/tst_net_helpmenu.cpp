// The Help menu: the about box, and where the help document is looked for.
#include "camera/workthread.h"
#include "gui/aboutbox.h"
#include "gui/mainwindow.h"
#include "gui/manualfile.h"
#include "gui/messagebox.h"
#include "tests/fakesdk.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const std::vector<fake::Camera> kCameras = {
    { "Cam-A", { 127, 0, 0, 230 }, { 0x00, 0x1A, 0x2B, 0x03, 0x4D, 0x5E } },
};

template <typename T> T *find(QObject *parent, const char *name)
{
    T *child = parent->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

} // namespace

// Receives the URLs the desktop services are asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestHelpMenu : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void aboutText_data();
    void aboutText();
    void aboutAction();
    void manualPlaces();
    void missingManualIsSaid();

private:
    QTemporaryDir settingsDir;
    QList<msgbox::Request> boxes;
};

void TestHelpMenu::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    // The settings of this test, never the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Tavix"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavix"));
    QApplication::setQuitOnLastWindowClosed(false);
    installSdk(fake::api());
    fake::setCameras(kCameras);
    msgbox::setHandler([this](const msgbox::Request &r) {
        boxes << r;
        return QMessageBox::Ok;
    });
}

void TestHelpMenu::cleanup()
{
    boxes.clear();
}

void TestHelpMenu::aboutText_data()
{
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("notShown");

    QTest::newRow("loaded") << "35ce2cf"
                            << "/opt/cam/liblink.so" << false << QStringList()
                            << QStringList { "35ce2cf", "路径: /opt/cam/liblink.so", "缺少的操作: 无" }
                            << QStringList { "未知" };
    QTest::newRow("lacks operations")
        << "35ce2cf-dirty"
        << "/opt/cam/liblink.so" << false
        << QStringList { "IB_CC_softCamera (ordinal 9)", "IB_CC_setCameraip (ordinal 11)" }
        << QStringList { "35ce2cf-dirty",
               "缺少的操作: IB_CC_softCamera (ordinal 9), IB_CC_setCameraip (ordinal 11)" }
        << QStringList { "缺少的操作: 无" };
    QTest::newRow("no library, no git")
        << ""
        << "" << false << QStringList { "IB_CC_Init" }
        << QStringList { "未知 (构建时没有 git)", "路径: 未找到, 无法使用相机", "缺少的操作: IB_CC_Init" }
        << QStringList { "路径: /" };
    QTest::newRow("path needs escaping")
        << "35ce2cf"
        << "/tmp/<b>&/liblink.so" << false << QStringList()
        << QStringList { "/tmp/&lt;b&gt;&amp;/liblink.so" } << QStringList { "<b>&" };
    QTest::newRow("table of the program")
        << "35ce2cf"
        << "" << true << QStringList() << QStringList { "路径: 无 (由程序内部提供)" }
        << QStringList { "缺少的操作" };
}

void TestHelpMenu::aboutText()
{
    QFETCH(QString, commit);
    QFETCH(QString, path);
    QFETCH(bool, installed);
    QFETCH(QStringList, missing);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, notShown);

    AboutFacts facts;
    facts.commit = commit;
    facts.commitDate = QStringLiteral("2026-12-09");
    facts.qtVersion = QStringLiteral("5.15.8");
    facts.sdk.file = QStringLiteral("liblink.so");
    facts.sdk.path = path;
    facts.sdk.installed = installed;
    facts.sdk.missing = missing;
    facts.openCvVersion = QStringLiteral("4.6.0");
    facts.cJsonVersion = QStringLiteral("1.7.15");
    facts.zlibVersion = QStringLiteral("1.2.13");
    const QString text = ::aboutText(facts);
    for (const QString &part :
        QStringList { "Tavix 2.0", "2026-12-09", "Qt 版本: 5.15.8", "相机 SDK: liblink.so", "Qt 5.15.8",
            "GNU LGPL v3", "OpenCV core 4.6.0", "Apache License 2.0", "cJSON 1.7.15", "MIT License",
            "zlib 1.2.13", "zlib License" }
            + shown)
        QVERIFY2(text.contains(part), qPrintable(part + " not in " + text));
    for (const QString &part : notShown)
        QVERIFY2(!text.contains(part), qPrintable(part + " in " + text));
}

void TestHelpMenu::aboutAction()
{
    QTemporaryDir cwd; // the snapshot folder the warning's action makes
    QVERIFY(cwd.isValid());
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    auto w = std::make_unique<MainWindow>();
    find<QAction>(w.get(), "Aboutaction")->trigger();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().parent, w.get());
    QCOMPARE(boxes.first().title, QStringLiteral("关于 Tavix"));
    QCOMPARE(boxes.first().text, ::aboutText(currentAboutFacts()));
    // This build's own facts: git's commit (or the fallback) and the Qt in use.
    const AboutFacts facts = currentAboutFacts();
    QVERIFY2(facts.commit.isEmpty()
            || QRegularExpression("^[0-9a-f]{7,40}(-dirty)?$").match(facts.commit).hasMatch(),
        qPrintable(facts.commit));
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d$").match(facts.commitDate).hasMatch());
    QCOMPARE(facts.qtVersion, QString::fromLatin1(qVersion()));
    QVERIFY(facts.sdk.installed); // the test's stand-in

    w.reset();
    QDir::setCurrent(savedCwd);
}

void TestHelpMenu::manualPlaces()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString work = root.filePath("work");
    const QString bin = root.filePath("bin");
    const QString doc = root.filePath("share/doc/Tavix");
    for (const QString &dir : { work, bin, doc })
        QVERIFY(QDir().mkpath(dir));
    const auto put = [](const QString &dir) {
        QFile file(QDir(dir).filePath("Tavix.pdf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    };
    const QString relativeDoc = QStringLiteral("../share/doc/Tavix");

    QCOMPARE(findManual(work, bin, relativeDoc), QString()); // none anywhere
    put(doc);
    QCOMPARE(findManual(work, bin, relativeDoc), QDir(doc).filePath("Tavix.pdf"));
    QCOMPARE(findManual(work, bin, QString()), QString()); // no installed folder known
    put(bin);
    QCOMPARE(findManual(work, bin, relativeDoc), QDir(bin).filePath("Tavix.pdf"));
    // A folder of that name in the working directory is no manual.
    QVERIFY(QDir(work).mkdir("Tavix.pdf"));
    QCOMPARE(findManual(work, bin, relativeDoc), QDir(bin).filePath("Tavix.pdf"));
    QVERIFY(QDir(work).rmdir("Tavix.pdf"));
    put(work);
    QCOMPARE(findManual(work, bin, relativeDoc), QDir(work).filePath("Tavix.pdf"));
}

void TestHelpMenu::missingManualIsSaid()
{
    // Neither the working directory nor the test's own folder holds a manual.
    QTemporaryDir cwd;
    QVERIFY(cwd.isValid());
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/Tavix.pdf"));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    auto w = std::make_unique<MainWindow>();

    find<QAction>(w.get(), "HelpFileaction")->trigger();
    QVERIFY(catcher.urls.isEmpty());
    QVERIFY2(w->statusBar()->currentMessage().startsWith(QStringLiteral("没有找到帮助文档 Tavix.pdf")),
        qPrintable(w->statusBar()->currentMessage()));
    QVERIFY(boxes.isEmpty());

    // Once it is there, the same action opens it.
    QFile manual(cwd.filePath("Tavix.pdf"));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    find<QAction>(w.get(), "HelpFileaction")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls, QList<QUrl> { QUrl::fromLocalFile(QDir::currentPath() + "/Tavix.pdf") });
    w.reset();
    QDir::setCurrent(savedCwd);
}

QTEST_MAIN(TestHelpMenu)
#include "tst_net_helpmenu.moc"
