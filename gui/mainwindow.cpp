#include "gui/mainwindow.h"

#include "camera/workthread.h"
#include "gui/aboutbox.h"
#include "gui/cameralistpanel.h"
#include "gui/commandchannel.h"
#include "gui/firmwaredialog.h"
#include "gui/language.h"
#include "gui/logcapture.h"
#include "gui/logwindow.h"
#include "gui/manualfile.h"
#include "gui/messagebox.h"
#include "gui/parameterpanel.h"
#include "gui/pictureview.h"
#include "gui/picturewidget.h"
#include "gui/recentfilesmenu.h"
#include "gui/recordingcontrol.h"
#include "gui/recordingdialog.h"
#include "gui/settings.h"
#include "gui/statisticsdock.h"
#include "gui/statusnotes.h"
#include "ui_mainwindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimerEvent>
#include <QToolBar>
#include <QUrl>
#include <QWindow>

// The compiled-in pictures live in the core library; register them before the
// form asks for its icons.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// How long the status bar says that no manual was found.
constexpr int ManualMissingMs = 10000;

// The installed manual's folder relative to the executable's (set by the build).
#ifdef TAVIX_DOC_FROM_BIN
const char *const kDocFromProgram = TAVIX_DOC_FROM_BIN;
#else
const char *const kDocFromProgram = "";
#endif

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    initResources();
    ui->setupUi(this);
    setWindowTitle(tr("Tavix_2.0"));
    if (initApp() == 1)
        qDebug() << "CameraApp statu is OK";
    ui->tableWidget->verticalHeader()->hide();
}

MainWindow::~MainWindow()
{
    killTimer(timerId);
    // The acquisition loop reads the frame storage and emits to this window: end
    // it before anything it uses goes away, whatever state the camera is in.
    worker->shutdown();
    recording.reset(); // writes the frames it still holds
    firmwareDialog.reset();
    parameters.reset(); // its command channel reads the camera list's target record
    cameraList.reset();
    picture.reset();
    notes.reset();
    ui.reset();
    delete worker;
}

int MainWindow::initApp()
{
    // The panels call the worker; creating it does nothing else.
    worker = new WorkThread;

    CameraListPanel::Widgets list;
    list.window = this;
    list.list = ui->listWidget;
    list.name = ui->NamelineEdit;
    list.ip = ui->IPlineEdit;
    list.mac = ui->MaclineEdit;
    list.rate = ui->ZLlineEdit;
    list.total = ui->ZZlineEdit;
    list.cameraActions = { ui->InitOpenAct, ui->actStop, ui->actStart, ui->actClose };
    list.modeActions = { ui->actModeauto, ui->actIOmode, ui->actModeSoft, ui->actSoft };
    recordAction = new QAction(this);
    recordAction->setObjectName(QStringLiteral("Recordaction"));
    list.record = recordAction;
    cameraList = std::make_unique<CameraListPanel>(list, *worker); // camera 0 selected

    ParameterPanel::Widgets params;
    params.window = this;
    params.tabs = ui->tabWidget;
    params.table = ui->tableWidget;
    params.sensorMode = ui->comboBox;
    params.burnIn = ui->a022SetBox;
    params.save = ui->Saveaction;
    params.saveAs = ui->SaveAsaction;
    // Selects the first sensor mode, hides the tabs, clears the edited flag and
    // disables Save and Save as.
    parameters = std::make_unique<ParameterPanel>(params, *worker, *cameraList);
    connect(&parameters->commandChannel(), &CommandChannel::portShared, this,
        [this](const QString &text) { statusBar()->showMessage(text); });
    // A passing message (no manual found) gives the place back to the shared port.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !parameters->commandChannel().portSharedText().isEmpty())
            showPortShared();
    });
    buildLanguageMenu();
    recentFiles = std::make_unique<RecentFilesMenu>(ui->NOpenaction, this);
    connect(recentFiles.get(), &RecentFilesMenu::fileChosen, parameters.get(),
        &ParameterPanel::loadParameterFile);
    connect(parameters.get(), &ParameterPanel::fileUsed, recentFiles.get(), &RecentFilesMenu::add);

    picture = std::make_unique<PictureView>(ui->label);
    ui->toolBar->addAction(recordAction);
    recording = std::make_unique<RecordingControl>(this, recordAction, statusBar());
    // Beside the port warning: what went wrong with a camera or a snapshot.
    notes = std::make_unique<StatusNotes>(statusBar(), *worker);
    connect(worker, &WorkThread::sig_CameraFault, notes.get(), &StatusNotes::cameraFault);

    // The frame's own value under the pointer.
    pixelReadout = new QLabel(this);
    pixelReadout->setObjectName(QStringLiteral("pixelReadout"));
    statusBar()->addPermanentWidget(pixelReadout);
    connect(ui->label, &PictureWidget::pixelHovered, this, [this](const QPoint &pixel) {
        pixelReadout->setText(pixelReadoutText(picture->newestFrame(), pixel));
    });
    connect(ui->label, &PictureWidget::noPixelHovered, pixelReadout, &QLabel::clear);
    ui->label->setCameraName(ui->NamelineEdit->text());
    connect(ui->NamelineEdit, &QLineEdit::textChanged, ui->label, &PictureWidget::setCameraName);

    statistics = new StatisticsDock(*worker, *picture, *ui->label, this);
    addDockWidget(Qt::RightDockWidgetArea, statistics);
    // Floating at first, over the window's right edge: docked, it would take
    // its width from the picture. The operator may dock it.
    statistics->setFloating(true);
    statistics->hide();
    buildViewMenu();

    ui->Verticalaction->setEnabled(false);
    ui->Renderingaction->setEnabled(false);
    ui->FullScreen->setEnabled(false);
    ui->actStatus->setEnabled(false);
    ui->WatermarkLog->setEnabled(false);
    ui->PictureLayout->setEnabled(false);

    // Emitted on the worker's thread, so every frame arrives here as a queued call.
    connect(worker, &WorkThread::sig_GetOneFrame, this, &MainWindow::slotGetOneFrame);

    firmwareDialog = std::make_unique<FirmWareDialog>();
    connect(this, &MainWindow::giveIpForfir, firmwareDialog.get(), &FirmWareDialog::read_ip);

    worker->init();
    worker->EnumCamras();

    // The firmware dialog's default target is camera 0, whichever is selected later.
    emit giveIpForfir(worker->getCamIp(camIndex()));

    if (cameraList->fillCameraList() == 1)
        qDebug() << "CameraList Init!";

    timerId = startTimer(1000);
    return 1;
}

void MainWindow::setWaitForFrames(bool on)
{
    worker->setWaitForFrames(on);
}

void MainWindow::buildLanguageMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("Languagemenu"));
    auto *group = new QActionGroup(menu);
    chineseAction = menu->addAction(QString());
    chineseAction->setObjectName(QStringLiteral("Chineseaction"));
    englishAction = menu->addAction(QString());
    englishAction->setObjectName(QStringLiteral("Englishaction"));
    for (QAction *choice : { chineseAction, englishAction }) {
        choice->setCheckable(true);
        group->addAction(choice);
    }
    const bool english = language::current() == language::Language::English;
    (english ? englishAction : chineseAction)->setChecked(true);
    // Each language names itself, whichever is in use.
    chineseAction->setText(tr("中文"));
    englishAction->setText(tr("English"));
    connect(chineseAction, &QAction::triggered, this, [this] { switchLanguage(false); });
    connect(englishAction, &QAction::triggered, this, [this] { switchLanguage(true); });
    ui->Languageaction->setMenu(menu);
}

void MainWindow::buildViewMenu()
{
    // Parented to the menu, not the window: the form's actions stay the window's own.
    QMenu *menu = ui->Viewmenu;
    auto add = [this, menu](const char *name, const QList<QKeySequence> &keys) {
        auto *a = new QAction(menu);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        menu->addAction(a);
        addAction(a); // the keys work in full screen too, with the menu bar hidden
        return a;
    };
    menu->addSeparator();
    ViewActions &v = viewActions;
    v.stretch = add("viewStretchAction", { QKeySequence(Qt::CTRL + Qt::Key_0) });
    v.fit = add("viewFitAction", {});
    v.oneToOne = add("viewOneToOneAction", { QKeySequence(Qt::CTRL + Qt::Key_1) });
    v.zoomIn = add(
        "zoomInAction", { QKeySequence(Qt::CTRL + Qt::Key_Plus), QKeySequence(Qt::CTRL + Qt::Key_Equal) });
    v.zoomOut = add("zoomOutAction", { QKeySequence(Qt::CTRL + Qt::Key_Minus) });
    menu->addSeparator();
    v.saturation = add("saturationAction", {});
    v.saturation->setCheckable(true);
    PictureWidget *label = ui->label;
    connect(v.stretch, &QAction::triggered, label, [label] { label->setMode(view::Mode::Stretch); });
    connect(v.fit, &QAction::triggered, label, [label] { label->setMode(view::Mode::Fit); });
    connect(v.oneToOne, &QAction::triggered, label, &PictureWidget::oneToOne);
    connect(v.zoomIn, &QAction::triggered, label, [label] { label->zoomBy(1); });
    connect(v.zoomOut, &QAction::triggered, label, [label] { label->zoomBy(-1); });
    // The marks' switch is in the menu and in the statistics, each showing the other's state.
    connect(v.saturation, &QAction::toggled, label, &PictureWidget::setSaturationMarks);
    connect(v.saturation, &QAction::toggled, statistics, &StatisticsDock::setSaturationMarks);
    connect(statistics, &StatisticsDock::saturationMarksToggled, v.saturation, &QAction::setChecked);

    // 滤波方式: smooth (today's picture) or fast scaling.
    auto *scaling = new QMenu(this);
    scaling->setObjectName(QStringLiteral("Scalingmenu"));
    auto *group = new QActionGroup(scaling);
    v.smooth = scaling->addAction(QString());
    v.smooth->setObjectName(QStringLiteral("smoothScalingAction"));
    v.fast = scaling->addAction(QString());
    v.fast->setObjectName(QStringLiteral("fastScalingAction"));
    for (QAction *choice : { v.smooth, v.fast }) {
        choice->setCheckable(true);
        group->addAction(choice);
    }
    v.smooth->setChecked(true);
    connect(
        v.smooth, &QAction::triggered, label, [label] { label->setScaling(PictureWidget::Scaling::Smooth); });
    connect(v.fast, &QAction::triggered, label, [label] { label->setScaling(PictureWidget::Scaling::Fast); });
    ui->Waveaction->setMenu(scaling);

    // The instruments' actions of the form, enabled with the first frame.
    ui->actStatus->setCheckable(true);
    connect(ui->actStatus, &QAction::toggled, this, [this](bool on) {
        if (on && statistics->isFloating() && !statistics->property("placed").toBool()) {
            statistics->setProperty("placed", true);
            statistics->adjustSize();
            const QRect window = frameGeometry();
            QPoint at(window.right() - statistics->width() - 20, window.top() + 90);
            if (const QScreen *screen = windowHandle() ? windowHandle()->screen() : nullptr) {
                const QRect room = screen->availableGeometry();
                at.setX(qMax(room.left(), qMin(at.x(), room.right() - statistics->width())));
            }
            statistics->move(at);
        }
        statistics->setVisible(on);
    });
    connect(statistics, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        // Full screen hides the dock without the operator asking.
        if (!fullScreen.on)
            ui->actStatus->setChecked(visible);
    });
    ui->WatermarkLog->setCheckable(true);
    connect(ui->WatermarkLog, &QAction::toggled, label, &PictureWidget::setWatermark);

    leaveFullScreen = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leaveFullScreen->setEnabled(false);
    connect(leaveFullScreen, &QShortcut::activated, this, [this] { setPictureFullScreen(false); });
    connect(label, &PictureWidget::leaveRequested, this, [this] { setPictureFullScreen(false); });
    retranslateViewMenu();
}

void MainWindow::retranslateViewMenu()
{
    const ViewActions &v = viewActions;
    v.stretch->setText(tr("拉伸显示"));
    v.fit->setText(tr("适应窗口（保持比例）"));
    v.oneToOne->setText(tr("原始大小 1:1"));
    v.zoomIn->setText(tr("放大"));
    v.zoomOut->setText(tr("缩小"));
    v.saturation->setText(tr("饱和标记"));
    v.saturation->setToolTip(tr("255 的像素标为红色，0 的像素标为蓝色"));
    v.smooth->setText(tr("平滑缩放"));
    v.fast->setText(tr("快速缩放（最近像素）"));
    statistics->retranslate();
}

void MainWindow::setPictureFullScreen(bool on)
{
    if (on == fullScreen.on)
        return;
    FullScreenState &state = fullScreen;
    if (on) {
        state.on = true;
        state.windowState = windowState();
        state.geometry = geometry();
        state.splitterSizes = ui->splitter->sizes();
        state.margins = ui->verticalLayout_7->contentsMargins();
        state.hidden.clear();
        for (QWidget *w : { static_cast<QWidget *>(menuBar()), static_cast<QWidget *>(ui->toolBar),
                 static_cast<QWidget *>(statusBar()), static_cast<QWidget *>(ui->layoutWidget),
                 static_cast<QWidget *>(ui->tabWidget), static_cast<QWidget *>(statistics) }) {
            if (w->isVisible()) {
                state.hidden << w;
                w->hide();
            }
        }
        ui->verticalLayout_7->setContentsMargins(0, 0, 0, 0);
        ui->label->setDoubleClickLeaves(true);
        leaveFullScreen->setEnabled(true);
        showFullScreen();
        // Without a window manager that honours the full-screen state the
        // window would keep its size.
        if (QScreen *on = windowHandle() ? windowHandle()->screen() : nullptr)
            setGeometry(on->geometry());
        return;
    }
    leaveFullScreen->setEnabled(false);
    ui->label->setDoubleClickLeaves(false);
    setWindowState(state.windowState);
    if (!(state.windowState & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        setGeometry(state.geometry);
    ui->verticalLayout_7->setContentsMargins(state.margins);
    for (QWidget *w : state.hidden)
        w->show();
    state.hidden.clear();
    ui->splitter->setSizes(state.splitterSizes);
    state.on = false;
}

bool MainWindow::switchLanguage(bool english)
{
    const language::Language chosen = english ? language::Language::English : language::Language::Chinese;
    if (!language::apply(chosen)) {
        (language::current() == language::Language::English ? englishAction : chineseAction)
            ->setChecked(true);
        return false;
    }
    settings::setLanguage(language::code(chosen));
    retranslate();
    return true;
}

void MainWindow::retranslate()
{
    // The form's step also empties the picture label: the frame on it stays.
    const QPixmap picture = ui->label->pixmap(Qt::ReturnByValue);
    ui->retranslateUi(this);
    if (!picture.isNull())
        ui->label->setPixmap(picture);
    setWindowTitle(tr("Tavix_2.0"));
    chineseAction->setText(tr("中文"));
    englishAction->setText(tr("English"));
    (language::current() == language::Language::English ? englishAction : chineseAction)->setChecked(true);
    parameters->retranslate();
    retranslateViewMenu();
    firmwareDialog->retranslate();
    recording->retranslate();
    recentFiles->rebuild();
    if (logWindow)
        logWindow->retranslate();
    if (recordingDialog)
        recordingDialog->retranslate();
    if (!parameters->commandChannel().portSharedText().isEmpty())
        showPortShared();
}

void MainWindow::showPortShared()
{
    // Stays until the window closes: replies may go astray for as long as the
    // other program runs.
    statusBar()->showMessage(parameters->commandChannel().portSharedText());
}

bool MainWindow::openCamera(int record)
{
    if (!cameraList->selectRecord(record))
        return false;
    ui->InitOpenAct->trigger();
    return true;
}

int MainWindow::camIndex() const
{
    return cameraList->camIndex();
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timerId) {
        QMainWindow::timerEvent(event);
        return;
    }
    cameraList->showFrameCounts(picture->takeFrameCount(), picture->frameTotal());
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event); // the picture is the window's only painting
    picture->paint();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    worker->CloseCamras(camIndex());
    QApplication::quit();
    event->accept();
}

void MainWindow::slotGetOneFrame(QImage img)
{
    worker->frameArrived(); // the worker sends the next frames only as this one is in
    // The picture's actions, with a picture to act on.
    if (picture->newestFrame().isNull()) {
        ui->FullScreen->setEnabled(true);
        ui->actStatus->setEnabled(true);
        ui->WatermarkLog->setEnabled(true);
    }
    picture->slotGetOneFrame(img);
    recording->frame(img);
}

void MainWindow::on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous)
{
    Q_UNUSED(previous);
    cameraList->selectCurrent(current);
}

void MainWindow::on_listWidget_customContextMenuRequested(const QPoint &pos)
{
    Q_UNUSED(pos); // the menu opens at the mouse cursor
    cameraList->showContextMenu();
}

void MainWindow::on_InitOpenAct_triggered()
{
    worker->start();
    if (cameraList->hasNoCameras())
        return;
    if (parameters->initCameraSetView() == 1)
        qDebug() << "CameraSetView Init!";
    const bool firstShown = ui->tabWidget->isHidden();
    parameters->showTabs();
    if (firstShown)
        giveTabsRoom();
}

void MainWindow::giveTabsRoom()
{
    // Only a window on screen has widths to share out.
    if (!isVisible())
        return;
    QSplitter *splitter = ui->splitter;
    splitter->refresh(); // lays the tabs out that were hidden until now
    const QList<int> sizes = splitter->sizes();
    if (sizes.size() != 3)
        return;
    const int total = sizes[0] + sizes[1] + sizes[2];
    // The camera list as wide as its rows (no sideways scrolling) but no
    // wider, the picture at least its least width; the tabs get what their
    // table wants of the rest.
    int rows = 0;
    for (int row = 0; row < ui->listWidget->count(); ++row)
        rows = qMax(rows, ui->listWidget->item(row)->sizeHint().width());
    const int aroundRows = ui->layoutWidget->width() - ui->listWidget->viewport()->width();
    const int list = qMax(ui->layoutWidget->minimumSizeHint().width(), rows + aroundRows);
    const int aroundTable = ui->tabWidget->width() - ui->tableWidget->viewport()->width();
    const int free = total - list - ui->label->minimumWidth();
    const int tabs = qMin(parameters->preferredTableWidth() + aroundTable, free);
    if (tabs <= 0)
        return;
    splitter->setSizes({ list, total - list - tabs, tabs });
}

void MainWindow::on_actStop_triggered()
{
    worker->Stop(camIndex());
}

void MainWindow::on_actStart_triggered()
{
    worker->startCamras(camIndex());
}

void MainWindow::on_actClose_triggered()
{
    worker->CloseCamras(camIndex());
}

void MainWindow::on_actModeauto_triggered()
{
    worker->modeauto(camIndex());
}

void MainWindow::on_actIOmode_triggered()
{
    worker->modeio(camIndex());
}

void MainWindow::on_actModeSoft_triggered()
{
    worker->modesoft(camIndex());
}

void MainWindow::on_actSoft_triggered()
{
    worker->softoneimg(camIndex());
}

void MainWindow::on_FirmwareUpdateaction_triggered()
{
    firmwareDialog->show();
}

void MainWindow::on_Escaction_triggered()
{
    worker->CloseCamras(camIndex());
    QApplication::quit();
}

void MainWindow::on_actionD_triggered() { }

void MainWindow::on_newFileaction_triggered()
{
    parameters->openParameterFile();
}

void MainWindow::on_Saveaction_triggered()
{
    parameters->saveParameterFile();
}

void MainWindow::on_rate1action_triggered()
{
    parameters->sendFrameRate(30);
}

void MainWindow::on_rate2action_triggered()
{
    parameters->sendFrameRate(60);
}

void MainWindow::on_FullScreen_triggered()
{
    // Without a picture there is nothing to show full screen.
    if (picture->newestFrame().isNull())
        return;
    setPictureFullScreen(!fullScreen.on);
}

void MainWindow::on_saveOneImageAct_triggered()
{
    const Snapshot shot = picture->saveOneImage();
    if (shot.outcome == Snapshot::Failed)
        notes->snapshotFailed(shot.failure);
    else if (shot.outcome == Snapshot::Saved)
        notes->snapshotSaved();
}

void MainWindow::on_HelpFileaction_triggered()
{
    const QString manual = findManual(
        QDir::currentPath(), QCoreApplication::applicationDirPath(), QString::fromUtf8(kDocFromProgram));
    if (manual.isEmpty()) {
        statusBar()->showMessage(tr("没有找到帮助文档 %1: 工作目录、程序目录和安装的文档目录中都没有。")
                                     .arg(QLatin1String(kManualFileName)),
            ManualMissingMs);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
        statusBar()->showMessage(tr("无法打开帮助文档 %1。").arg(manual), ManualMissingMs);
}

void MainWindow::on_Aboutaction_triggered()
{
    msgbox::Request request;
    request.icon = QMessageBox::Information;
    request.parent = this;
    request.title = aboutTitle();
    request.text = aboutText(currentAboutFacts());
    msgbox::show(request);
}

void MainWindow::on_LogView_triggered()
{
    if (!logWindow)
        logWindow = new LogWindow(logcapture::buffer(), this);
    logWindow->show();
    logWindow->raise();
    logWindow->activateWindow();
}

void MainWindow::on_VideoGraphicsaction_triggered()
{
    if (!recordingDialog) {
        recordingDialog = new RecordingDialog(this);
        connect(recordingDialog, &RecordingDialog::settingsChosen, this,
            [this](const recording::Settings &chosen) {
                recording->setSettings(chosen);
                picture->setSnapshotFormat(chosen.format);
            });
    }
    recordingDialog->setSettings(recording->settings());
    recordingDialog->show();
    recordingDialog->raise();
    recordingDialog->activateWindow();
}

void MainWindow::on_SaveAsaction_triggered()
{
    parameters->saveParameterFileAs();
}

void MainWindow::on_sc4210Button_clicked()
{
    parameters->sendSensorMode();
}

void MainWindow::on_actionA_triggered() { }

void MainWindow::on_a022SetBtn_clicked()
{
    parameters->sendBurnIn();
}
