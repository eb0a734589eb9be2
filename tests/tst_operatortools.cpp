// The window's tools for the operator: the log view and recording (the
// record/stop action, the recording/capture dialog, the snapshot format).
// Frames come from the worker's signal; no camera is opened.
#include "camera/workthread.h"
#include "core/recordingplan.h"
#include "gui/filedialog.h"
#include "gui/logcapture.h"
#include "gui/logwindow.h"
#include "gui/mainwindow.h"
#include "gui/messagebox.h"
#include "gui/recordingdialog.h"
#include "tests/fakesdk.h"
#include "tests/mainwindowprobe.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <memory>

namespace {

// What reaches the handler before the log view's: the lines still go on.
QMutex forwardedMutex;
QStringList forwarded;
void forwardedTo(QtMsgType, const QMessageLogContext &, const QString &text)
{
    QMutexLocker lock(&forwardedMutex);
    forwarded << text;
}

template <typename T> T *find(QObject *parent, const char *name)
{
    T *child = parent->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

QImage frame(int seed)
{
    QImage image(32, 16, QImage::Format_Grayscale8);
    image.fill(uchar(seed));
    return image;
}

} // namespace

class TestOperatorTools : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void logView();
    void recording();
    void recordingFailures();

private:
    void sendFrames(int count, int firstSeed = 1);

    std::unique_ptr<MainWindow> window;
    QTemporaryDir cwd;
    QString savedCwd;
    QList<msgbox::Request> boxes;
    QString chosenFile;
};

void TestOperatorTools::initTestCase()
{
    qInstallMessageHandler(forwardedTo);
    logcapture::install();
    QApplication::setQuitOnLastWindowClosed(false);
    fake::setCameras({ { "Cam-A", { 127, 0, 0, 230 }, { 0, 1, 2, 3, 4, 5 } } });
    fake::install();
    msgbox::setHandler([this](const msgbox::Request &r) {
        boxes << r;
        return QMessageBox::Ok;
    });
    filedialog::setHandler([this](const filedialog::Request &) { return chosenFile; });
    QVERIFY(cwd.isValid());
    savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path()); // where CameraImage goes
}

void TestOperatorTools::init()
{
    window = std::make_unique<MainWindow>();
    boxes.clear();
}

void TestOperatorTools::cleanup()
{
    window.reset();
    QDir(cwd.filePath("CameraImage")).removeRecursively();
    QFile::remove(cwd.filePath("CameraImage"));
}

void TestOperatorTools::sendFrames(int count, int firstSeed)
{
    for (int i = 0; i < count; ++i)
        emit MainWindowProbe::worker(*window)->sig_GetOneFrame(frame(firstSeed + i));
    QCoreApplication::processEvents(); // the queued frames reach the window
}

void TestOperatorTools::logView()
{
    qDebug() << "marker-A first";
    auto *action = find<QAction>(window.get(), "LogView");
    QVERIFY(action->isEnabled());
    action->trigger();
    auto *view = find<LogWindow>(window.get(), "LogWindow");
    QVERIFY(view->isVisible());
    QVERIFY(view->isWindow());
    QCOMPARE(view->windowModality(), Qt::NonModal);
    QVERIFY(forwarded.contains(QStringLiteral("marker-A first")));

    qWarning() << "marker-B second";
    view->refresh();
    const QStringList lines = view->shownText().split('\n');
    const int a
        = lines.indexOf(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  marker-A first$)"));
    const int b = lines.indexOf(QRegularExpression(R"(^.{23}  Warning: marker-B second$)"));
    QVERIFY2(a >= 0 && b > a, qPrintable(view->shownText()));

    // The filter shows the lines that hold its text, old and new.
    auto *filter = find<QLineEdit>(view, "logFilterEdit");
    filter->setText(QStringLiteral("MARKER-b"));
    QCOMPARE(view->shownText().count('\n'), 1);
    QVERIFY(view->shownText().contains(QLatin1String("marker-B second")));
    filter->clear();

    // Paused, the view stands still; the lines are kept and come on resume.
    auto *pause = find<QPushButton>(view, "logPauseButton");
    pause->setChecked(true);
    qDebug() << "marker-C while paused";
    view->refresh();
    QVERIFY(!view->shownText().contains(QLatin1String("marker-C")));
    pause->setChecked(false);
    QVERIFY(view->shownText().contains(QLatin1String("marker-C while paused")));

    // Saved as shown: whole, under the chosen name.
    chosenFile = cwd.filePath("log.txt");
    find<QPushButton>(view, "logSaveButton")->click();
    QFile saved(chosenFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), view->shownText());
    QVERIFY(boxes.isEmpty());
    // A folder that is not there: a box says so and no file appears.
    chosenFile = cwd.filePath("no-such-folder/log.txt");
    find<QPushButton>(view, "logSaveButton")->click();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].text.contains(QLatin1String("no-such-folder")));
    QVERIFY(!QFileInfo::exists(chosenFile));

    find<QPushButton>(view, "logClearButton")->click();
    QCOMPARE(view->shownText(), QString());
    QCOMPARE(logcapture::buffer().size(), 0);
}

void TestOperatorTools::recording()
{
    RecordingControl &control = MainWindowProbe::recording(*window);
    control.setClock([] { return QDateTime(QDate(2024, 5, 1), QTime(13, 45, 10)); });
    auto *record = find<QAction>(window.get(), "Recordaction");
    QVERIFY(find<QToolBar>(window.get(), "toolBar")->actions().contains(record));

    // The dialog: not modal; OK applies every 2nd frame, 3 frames, PNG.
    find<QAction>(window.get(), "VideoGraphicsaction")->trigger();
    auto *dialog = find<RecordingDialog>(window.get(), "RecordingDialog");
    QVERIFY(dialog->isVisible() && !dialog->isModal());
    auto *format = find<QComboBox>(dialog, "formatComboBox");
    QCOMPARE(format->currentText(), QStringLiteral("BMP")); // as snapshots always were
    format->setCurrentIndex(format->findText(QStringLiteral("PNG")));
    find<QSpinBox>(dialog, "everyNthSpinBox")->setValue(2);
    find<QComboBox>(dialog, "stopComboBox")->setCurrentIndex(int(recording::StopRule::Frames));
    find<QSpinBox>(dialog, "framesSpinBox")->setValue(3);
    find<QDialogButtonBox>(dialog, "")->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!dialog->isVisible());

    sendFrames(2); // before the start: not recorded
    QSignalSpy finished(&control, &RecordingControl::recordingFinished);
    record->trigger();
    QVERIFY(control.isRecording());
    QVERIFY(record->isChecked());
    sendFrames(9, 10); // seeds 10, 12, 14 taken, then the plan is over
    QVERIFY(!control.isRecording());
    QVERIFY(finished.wait(10000));
    const QString folder = cwd.filePath("CameraImage/2024-05-01_13-45-10");
    QCOMPARE(control.folder(), folder);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({ "000001.png", "000002.png", "000003.png" }));
    for (int n = 0; n < 3; ++n)
        QCOMPARE(QImage(folder + QStringLiteral("/00000%1.png").arg(n + 1)).pixel(0, 0),
            qRgb(10 + 2 * n, 10 + 2 * n, 10 + 2 * n));
    QCOMPARE(find<QLabel>(window.get(), "recordingLabel")->text(),
        QStringLiteral("录像结束 %1: 已写入 3 帧, 丢失 0 帧").arg(QDir::toNativeSeparators(folder)));
    QVERIFY(!record->isChecked());

    // A second recording in the same second gets a folder of its own; stopped by hand.
    record->trigger();
    sendFrames(1);
    record->trigger();
    QVERIFY(finished.wait(10000));
    QCOMPARE(control.folder(), folder + QStringLiteral("_1"));
    QCOMPARE(QDir(control.folder()).entryList(QDir::Files), QStringList({ "000001.png" }));

    // The snapshot takes the chosen format too.
    find<QAction>(window.get(), "saveOneImageAct")->trigger();
    QCOMPARE(QDir(cwd.filePath("CameraImage")).entryList({ "*.png" }, QDir::Files).size(), 1);
}

void TestOperatorTools::recordingFailures()
{
    RecordingControl &control = MainWindowProbe::recording(*window);
    auto *record = find<QAction>(window.get(), "Recordaction");
    // CameraImage is a file: nothing starts, a box says why.
    {
        QFile blocker(cwd.filePath("CameraImage"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    record->trigger();
    QVERIFY(!control.isRecording());
    QVERIFY(!record->isChecked());
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("录像没有开始")));
    QFile::remove(cwd.filePath("CameraImage"));
    boxes.clear();

    // A write that fails on the third frame stops the recording with a message;
    // the frames before are whole, the failing one is not there at all.
    int calls = 0;
    control.setImageWriter([&calls](const QImage &image, QIODevice *file) {
        if (++calls < 3)
            return image.save(file, "BMP");
        file->write("partial");
        return false;
    });
    QSignalSpy finished(&control, &RecordingControl::recordingFinished);
    record->trigger();
    QVERIFY(control.isRecording());
    for (int i = 0; i < 5; ++i) {
        sendFrames(1, i);
        QTest::qWait(20); // the writer keeps up
    }
    QTRY_VERIFY(!control.isRecording());
    QVERIFY(finished.size() == 1 || finished.wait(10000));
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].text.contains(QLatin1String("000003.bmp")), qPrintable(boxes[0].text));
    QCOMPARE(QDir(control.folder()).entryList(QDir::Files | QDir::Hidden),
        QStringList({ "000001.bmp", "000002.bmp" }));
    QVERIFY(!record->isChecked());
}

QTEST_MAIN(TestOperatorTools)
#include "tst_operatortools.moc"
