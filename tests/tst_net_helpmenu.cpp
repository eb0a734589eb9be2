// The Help menu: switching between Chinese and English while the window runs,
// the about box, and where the help document is looked for. Binds the command
// port (the open action builds the parameter view), hence the tst_net_ name;
// the fake cameras live on loopback addresses where nothing answers.
#include "camera/workthread.h"
#include "gui/aboutbox.h"
#include "gui/language.h"
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

QWidget *firmwareDialog()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->inherits("FirmWareDialog"))
            return top;
    qFatal("no firmware dialog");
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
    void switchLanguage();
    void aboutText_data();
    void aboutText();
    void aboutAction();
    void manualPlaces();
    void missingManualIsSaid();

private:
    // What the operator reads in the places the test looks at.
    struct Seen {
        QString menu, label, labelTip, button, firmwareButton, box;
    };
    Seen look(MainWindow &w);

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
    language::apply(language::Language::Chinese);
    boxes.clear();
}

TestHelpMenu::Seen TestHelpMenu::look(MainWindow &w)
{
    Seen seen;
    seen.menu = find<QMenu>(&w, "Filemenu")->title();
    auto *table = find<QTableWidget>(&w, "tableWidget");
    seen.label = table->item(7, 0)->text();
    seen.labelTip = table->item(7, 0)->toolTip();
    auto *set = qobject_cast<QPushButton *>(table->cellWidget(7, 2));
    seen.button = set ? set->text() : QString();
    seen.firmwareButton = find<QPushButton>(firmwareDialog(), "NetWorkPushButton")->text();
    boxes.clear();
    find<QAction>(&w, "Aboutaction")->trigger();
    seen.box
        = boxes.value(0).title + QLatin1Char('|') + boxes.value(0).text.section(QStringLiteral("<p>"), 1, 1);
    boxes.clear();
    return seen;
}

void TestHelpMenu::switchLanguage()
{
    QTemporaryDir cwd; // the snapshot folder the warning's action makes
    QVERIFY(cwd.isValid());
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    auto w = std::make_unique<MainWindow>();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->openCamera(0)); // the Set buttons exist from here on
    find<QComboBox>(w.get(), "comboBox")->setCurrentIndex(1);
    find<QTableWidget>(w.get(), "tableWidget")->item(7, 1)->setText(QStringLiteral("7000"));

    const Seen chinese = look(*w);
    QCOMPARE(chinese.menu, QStringLiteral("文件"));
    QCOMPARE(chinese.label, QStringLiteral("曝光时间"));
    QCOMPARE(chinese.labelTip, chinese.label);
    QCOMPARE(chinese.button, QStringLiteral("Set"));
    QCOMPARE(chinese.firmwareButton, QStringLiteral("连接"));
    QVERIFY2(chinese.box.startsWith(QStringLiteral("关于 Tavix|构建: 提交 ")), qPrintable(chinese.box));
    QVERIFY(find<QAction>(w.get(), "Chineseaction")->isChecked());
    find<QAction>(w.get(), "saveOneImageAct")->trigger(); // no frame yet: a warning
    QCOMPARE(boxes.value(0).text, QStringLiteral("Now , Image is NULL, Plase Init The Creame!"));

    // A frame on the picture, which the form's texts must not wipe out.
    emit MainWindowProbe::worker(*w)->sig_GetOneFrame(QImage(64, 48, QImage::Format_RGB888));
    auto *picture = find<QLabel>(w.get(), "label");
    QTRY_VERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());

    find<QAction>(w.get(), "LogView")->trigger();
    QCOMPARE(find<QWidget>(w.get(), "LogWindow")->windowTitle(), QStringLiteral("日志"));
    find<QAction>(w.get(), "Englishaction")->trigger();
    const Seen english = look(*w);
    QCOMPARE(english.menu, QStringLiteral("File"));
    QCOMPARE(english.label, QStringLiteral("Exposure time"));
    QCOMPARE(english.labelTip, english.label);
    QCOMPARE(english.button, QStringLiteral("Set"));
    QCOMPARE(english.firmwareButton, QStringLiteral("Connect"));
    QVERIFY2(english.box.startsWith(QStringLiteral("About Tavix|Build: commit ")), qPrintable(english.box));
    QCOMPARE(find<QAction>(w.get(), "Languageaction")->text(), QStringLiteral("Language"));
    // The windows' own texts follow too: record action, recent files, the log view made before.
    QCOMPARE(find<QAction>(w.get(), "Recordaction")->text(), QStringLiteral("Record"));
    QCOMPARE(find<QMenu>(w.get(), "RecentFilesmenu")->actions().value(0)->text(),
        QStringLiteral("(no recent files)"));
    QCOMPARE(find<QWidget>(w.get(), "LogWindow")->windowTitle(), QStringLiteral("Log"));
    QVERIFY(find<QAction>(w.get(), "Englishaction")->isChecked());
    QCOMPARE(QSettings().value("language").toString(), QStringLiteral("en"));
    // What the operator chose, typed and sees stays as it was.
    QCOMPARE(w->windowTitle(), QStringLiteral("Tavix_2.0"));
    QCOMPARE(find<QComboBox>(w.get(), "comboBox")->currentIndex(), 1);
    QCOMPARE(find<QTableWidget>(w.get(), "tableWidget")->item(7, 1)->text(), QStringLiteral("7000"));
    QVERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());

    find<QAction>(w.get(), "Chineseaction")->trigger();
    const Seen back = look(*w);
    QCOMPARE(back.menu, chinese.menu);
    QCOMPARE(back.label, chinese.label);
    QCOMPARE(back.labelTip, chinese.labelTip);
    QCOMPARE(back.firmwareButton, chinese.firmwareButton);
    QCOMPARE(back.box, chinese.box);
    QCOMPARE(QSettings().value("language").toString(), QStringLiteral("zh"));

    w.reset();
    QDir::setCurrent(savedCwd);
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

    language::apply(language::Language::English);
    find<QAction>(w.get(), "Aboutaction")->trigger();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.last().title, QStringLiteral("About Tavix"));
    QVERIFY(boxes.last().text.contains(QStringLiteral("Path: none (provided inside the program)")));
    // The English translation says right what its source misspells.
    find<QAction>(w.get(), "saveOneImageAct")->trigger();
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes.last().text, QStringLiteral("Now, Image is NULL, Please Init The Camera!"));
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
