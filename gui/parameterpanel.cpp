#include "gui/parameterpanel.h"

#include "camera/workthread.h"
#include "core/paramcatalogue.h"
#include "core/paramfile.h"
#include "gui/cameralistpanel.h"
#include "gui/commandchannel.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>

namespace {

// Dynamic property of each Set button: the table row it belongs to.
constexpr char kRowProperty[] = "_q_index";

// The operator's texts belong to the main window's translation context. The
// sources are marked where they are written (QT_TRANSLATE_NOOP), so that
// lupdate finds them.
QString trWindow(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

const char *const kSetText = QT_TRANSLATE_NOOP("MainWindow", "Set");

void logLines(const QStringList &lines)
{
    for (const QString &line : lines)
        qDebug().noquote() << line;
}

// The value warnings of the property table: no parent window, Yes and No, Yes
// as default; the answer does not matter.
void showValueWarning(const paramcat::Warning &warning)
{
    msgbox::warning(nullptr, warning.shownTitle(), warning.shownText(), QMessageBox::Yes | QMessageBox::No,
        QMessageBox::Yes);
}

// The longest texts the value column is made to show whole: an IPv4 address,
// a 16-character camera name and a 10-digit number.
const char *const kWidestValues[] = { "255.255.255.255", "SimCam-Color-016", "4294967295" };

QString fileCaption()
{
    return trWindow(QT_TRANSLATE_NOOP("MainWindow", "Open File")); // the save dialog has this caption too
}

QString fileFilter()
{
    return trWindow(QT_TRANSLATE_NOOP("MainWindow", "Text File(*.json)"));
}

} // namespace

ParameterPanel::ParameterPanel(
    const Widgets &widgets, WorkThread &worker, CameraListPanel &cameras, QObject *parent)
    : QObject(parent)
    , form(widgets)
    , worker(worker)
    , cameras(cameras)
    , channel(std::make_unique<CommandChannel>(cameras.cameraCode()))
{
    form.sensorMode->setCurrentIndex(0);
    form.tabs->hide();
    editedFlag = false;
    form.save->setEnabled(false);
    form.saveAs->setEnabled(false);
    connect(channel.get(), &CommandChannel::reportValue, this, &ParameterPanel::showReportValue);

    QHeaderView *columns = form.table->horizontalHeader();
    columns->setSectionResizeMode(0, QHeaderView::Fixed);
    columns->setSectionResizeMode(1, QHeaderView::Stretch);
    columns->setSectionResizeMode(2, QHeaderView::Fixed);
    setLabelToolTips();
    form.table->viewport()->installEventFilter(this);
    fitColumns();
}

void ParameterPanel::setLabelToolTips()
{
    for (int row = 0; row < form.table->rowCount(); ++row) {
        if (QTableWidgetItem *label = form.table->item(row, 0))
            label->setToolTip(label->text());
    }
}

void ParameterPanel::retranslate()
{
    setLabelToolTips();
    for (int row = 0; row < form.table->rowCount(); ++row) {
        if (auto *button = qobject_cast<QPushButton *>(form.table->cellWidget(row, 2)))
            button->setText(trWindow(kSetText));
    }
    fitColumns();
}

ParameterPanel::~ParameterPanel() = default;

int ParameterPanel::initCameraSetView()
{
    QTableWidget *table = form.table;
    table->setAlternatingRowColors(true);
    const Qt::ItemFlags labelFlags = QTableWidgetItem().flags() & ~Qt::ItemIsEditable;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QTableWidgetItem *label = table->item(row, 0))
            label->setFlags(labelFlags);
    }

    channel->initUdp();

    const int camIndex = cameras.camIndex();
    selectedCamIp = worker.getCamIp(camIndex);
    table->setItem(paramcat::kRowIp, 1, new QTableWidgetItem(selectedCamIp));
    table->setItem(paramcat::kRowName, 1, new QTableWidgetItem(worker.getCamName(camIndex)));
    for (int row = 2; row < paramcat::kRowCount; ++row)
        table->setItem(row, 1, new QTableWidgetItem(QString()));

    for (int row = 0; row < paramcat::kRowCount; ++row) {
        auto *button = new QPushButton(trWindow(kSetText));
        button->setProperty(kRowProperty, row);
        connect(button, &QPushButton::clicked, this, &ParameterPanel::slotSetBtnClicked);
        table->setCellWidget(row, 2, button); // the table deletes an earlier button
    }

    const paramcat::CommandTriple query = paramcat::parameterQuery();
    channel->pack(query.cmd, query.id, query.buffer);
    return 1;
}

void ParameterPanel::showTabs()
{
    form.tabs->show();
}

int ParameterPanel::valueColumnNeed() const
{
    // A cell's text (and its editor's) keeps the focus frame's margin and one
    // pixel on each side; the grid line takes one more pixel.
    const int margins
        = 2 * (form.table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, form.table) + 1) + 1;
    const QFontMetrics metrics(form.table->font());
    int widest = 0;
    for (const char *text : kWidestValues)
        widest = qMax(widest, metrics.horizontalAdvance(QLatin1String(text)));
    return widest + margins;
}

int ParameterPanel::setColumnNeed() const
{
    // The button's text with the style's button margins and frame and a
    // character's room on either side, or the column's title if that is wider;
    // the style's usual 80-pixel least button width would take it from the values.
    const QStyle *style = form.table->style();
    const QFontMetrics metrics(form.table->font());
    const int button = metrics.horizontalAdvance(trWindow(kSetText)) + 2 * metrics.averageCharWidth()
        + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, form.table)
        + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, form.table) + 1;
    return qMax(button, form.table->horizontalHeader()->sectionSizeHint(2));
}

int ParameterPanel::nameColumnNeed() const
{
    QTableWidget *table = form.table;
    int widest = table->horizontalHeader()->sectionSizeHint(0);
    for (int row = 0; row < table->rowCount(); ++row) // one more pixel: the grid line
        widest = qMax(widest, table->sizeHintForIndex(table->model()->index(row, 0)).width() + 1);
    return widest;
}

int ParameterPanel::preferredTableWidth() const
{
    return nameColumnNeed() + valueColumnNeed() + setColumnNeed();
}

void ParameterPanel::fitColumns()
{
    QHeaderView *columns = form.table->horizontalHeader();
    const int names = nameColumnNeed();
    const int set = setColumnNeed();
    const int room = form.table->viewport()->width() - valueColumnNeed() - set;
    // Past a few characters the names stop giving way: the table then scrolls.
    const int fewest = QFontMetrics(form.table->font()).averageCharWidth() * 4;
    columns->resizeSection(0, qMax(fewest, qMin(names, room)));
    columns->resizeSection(2, set);
}

bool ParameterPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == form.table->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QObject::eventFilter(watched, event);
}

void ParameterPanel::showReportValue(int row, const QString &text)
{
    form.table->setItem(row, 1, new QTableWidgetItem(text));
}

void ParameterPanel::slotSetBtnClicked()
{
    const QObject *button = sender();
    if (!button) {
        qDebug() << "Set: not called by a Set button";
        return;
    }
    bool isRow = false;
    const int row = button->property(kRowProperty).toInt(&isRow);
    qDebug() << row;
    if (!isRow || row < 0 || row >= paramcat::kRowCount)
        return;

    const QTableWidgetItem *cell = form.table->item(row, 1);
    const QString text = cell ? cell->text() : QString();
    const paramcat::RowEncoding encoding = paramcat::encodeRow(row, text);
    logLines(encoding.logLines);

    // A refused value is no edit: it is neither remembered (nor saved to a
    // parameter file later) nor does it enable Save.
    using Kind = paramcat::RowEncoding::Kind;
    switch (encoding.kind) {
    case Kind::Rejected:
        showValueWarning(encoding.warning);
        return;
    case Kind::SetCameraIp:
        worker.setCameraIp(cameras.camIndex(), encoding.text);
        cameras.showCameraIp(encoding.text);
        return;
    case Kind::SetCameraName:
        worker.setCameraName(cameras.camIndex(), encoding.text);
        cameras.showCameraName(encoding.text);
        return;
    case Kind::NoRow:
        return;
    case Kind::Command:
        break;
    }

    if (paramcat::rowIsRemembered(row))
        rememberedValues[std::size_t(row - 2)] = text;
    editedFlag = true;
    form.save->setEnabled(true);
    form.saveAs->setEnabled(true);
    channel->pack(encoding.command.cmd, encoding.command.id, encoding.command.buffer);
}

void ParameterPanel::openParameterFile()
{
    const QString path = filedialog::getOpenFileName(form.window, fileCaption(), QString(), fileFilter());
    if (path.isEmpty())
        return;
    loadParameterFile(path);
}

bool ParameterPanel::loadParameterFile(const QString &path)
{
    const paramfile::LoadResult loaded = paramfile::loadParameterFile(path);
    if (loaded.error != paramfile::LoadResult::Error::None) {
        const paramfile::Message message = paramfile::loadErrorMessage(loaded.error);
        msgbox::warning(form.window, trWindow(message.title), paramfile::loadErrorText(loaded));
        return false;
    }
    for (const paramfile::FileKey &key : paramfile::kKeys) {
        const QString text = loaded.values.value(key.row);
        rememberedValues[std::size_t(key.row - 2)] = text;
        form.table->setItem(key.row, 1, new QTableWidgetItem(text));
    }
    lastFile = path;
    emit fileUsed(path);
    return true;
}

void ParameterPanel::saveParameterFile()
{
    if (!editedFlag) {
        msgbox::warning(
            form.window, trWindow(paramfile::kSaveRefused.title), trWindow(paramfile::kSaveRefused.text));
        return;
    }
    const QString path = filedialog::getSaveFileName(form.window, fileCaption(), QString(), fileFilter());
    if (path.isEmpty())
        return;
    saveTo(path);
}

void ParameterPanel::saveParameterFileAs()
{
    if (!editedFlag) {
        msgbox::warning(
            form.window, trWindow(paramfile::kSaveRefused.title), trWindow(paramfile::kSaveRefused.text));
        return;
    }
    const QString dir = lastFile.isEmpty() ? QString() : QFileInfo(lastFile).absolutePath();
    const QString path = filedialog::getSaveFileName(
        form.window, trWindow(QT_TRANSLATE_NOOP("MainWindow", "另存为")), dir, fileFilter());
    if (path.isEmpty())
        return;
    saveTo(path);
}

void ParameterPanel::saveTo(const QString &path)
{
    paramfile::RowValues values;
    for (const paramfile::FileKey &key : paramfile::kKeys)
        values.insert(key.row, rememberedValues[std::size_t(key.row - 2)]);
    QString reason;
    switch (paramfile::saveParameterFile(path, values, &reason)) {
    case paramfile::SaveResult::OpenFailed:
        qDebug() << "file open error";
        break;
    case paramfile::SaveResult::WriteFailed:
        qDebug() << "file open";
        qWarning().noquote() << QStringLiteral("parameter file %1 not saved: %2").arg(path, reason);
        break;
    case paramfile::SaveResult::Written:
        qDebug() << "file open";
        qDebug() << "write to file";
        lastFile = path;
        emit fileUsed(path);
        return;
    }
    // The operator must not take a file that is not there (or is the old one) for saved.
    msgbox::warning(form.window, trWindow(paramfile::kSaveError.title), paramfile::saveErrorText(reason));
}

void ParameterPanel::sendFrameRate(quint8 framesPerSecond)
{
    const paramcat::CommandTriple rate = paramcat::frameRateAction(framesPerSecond);
    channel->pack(rate.cmd, rate.id, rate.buffer);
}

void ParameterPanel::sendSensorMode()
{
    QString logLine;
    const paramcat::CommandTriple select = paramcat::sensorSelect(form.sensorMode->currentIndex(), &logLine);
    channel->pack(select.cmd, select.id, select.buffer);
    qDebug().noquote() << logLine;
}

void ParameterPanel::sendBurnIn()
{
    const paramcat::CommandTriple burnIn = paramcat::burnInSwitch(form.burnIn->currentIndex());
    channel->pack(burnIn.cmd, burnIn.id, burnIn.buffer);
}
