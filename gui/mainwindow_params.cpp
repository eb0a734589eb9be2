// The parameter side of the main window: the property table and its Set buttons,
// the UDP command socket, parameter files and the other parameter controls.
//
// What each row sends is the catalogue's business (params/paramcatalogue.h), how
// a frame looks and what a reply means is the command protocol's (net/cmdframe.h),
// and the file layout is the parameter file's (params/paramfile.h). The slots
// here read widgets, call those, and send or show the result.
#include "gui/mainwindow.h"

#include "gui/filedialog.h"
#include "gui/mainwindow_ui.h"
#include "gui/messagebox.h"
#include "camera/workthread.h"
#include "core/paramcatalogue.h"
#include "core/paramfile.h"

#include <QDebug>
#include <QHostAddress>
#include <QPushButton>
#include <QTableWidget>
#include <QUdpSocket>

namespace {

// Dynamic property of each Set button: the table row it belongs to.
constexpr char kRowProperty[] = "_q_index";

void logLines(const QStringList &lines)
{
    for (const QString &line : lines)
        qDebug().noquote() << line;
}

const char *dropReasonText(cmdproto::DropReason why)
{
    switch (why) {
    case cmdproto::DropReason::TooShort:
        return "shorter than a frame header";
    case cmdproto::DropReason::BadStart:
        return "wrong start byte";
    case cmdproto::DropReason::BadDirection:
        return "not a reply";
    case cmdproto::DropReason::BadLength:
        return "length byte below 2";
    case cmdproto::DropReason::Truncated:
        return "shorter than its length byte says";
    case cmdproto::DropReason::BadEnd:
        return "wrong end byte";
    case cmdproto::DropReason::None:
        break;
    }
    return "malformed";
}

// The value warnings of the property table: no parent window, Yes and No, Yes
// as default; the answer does not matter.
void showValueWarning(const paramcat::Warning &warning)
{
    msgbox::warning(nullptr, MainWindow::tr(warning.title), MainWindow::tr(warning.text),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
}

QString fileCaption()
{
    return MainWindow::tr("Open File"); // the save dialog has this caption too
}

QString fileFilter()
{
    return MainWindow::tr("Text File(*.json)");
}

} // namespace

int MainWindow::initCameraSetView()
{
    QTableWidget *table = ui->tableWidget;
    table->setAlternatingRowColors(true);
    const Qt::ItemFlags labelFlags = QTableWidgetItem().flags() & ~Qt::ItemIsEditable;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (QTableWidgetItem *label = table->item(row, 0))
            label->setFlags(labelFlags);
    }

    initUdp();

    selectedCamIp = worker->getCamIp(camIndex);
    table->setItem(paramcat::kRowIp, 1, new QTableWidgetItem(selectedCamIp));
    table->setItem(paramcat::kRowName, 1, new QTableWidgetItem(worker->getCamName(camIndex)));
    for (int row = 2; row < paramcat::kRowCount; ++row)
        table->setItem(row, 1, new QTableWidgetItem(QString()));

    for (int row = 0; row < paramcat::kRowCount; ++row) {
        auto *button = new QPushButton(tr("Set"));
        button->setProperty(kRowProperty, row);
        connect(button, &QPushButton::clicked, this, &MainWindow::slotSetBtnClicked);
        table->setCellWidget(row, 2, button); // the table deletes an earlier button
    }

    const paramcat::CommandTriple query = paramcat::parameterQuery();
    pack(query.cmd, query.id, query.buffer);
    return 1;
}

void MainWindow::initUdp()
{
    // One socket serves every initialisation: binding a second one would leave
    // the first holding the port and receiving part of the replies.
    if (udpSocket) {
        qDebug() << "command socket reused, local port" << udpSocket->localPort();
        return;
    }
    udpSocket = std::make_unique<QUdpSocket>();
    // Shared, so that other programs on this host that serve or use port 3956
    // (simulated cameras bind 127.x.y.z:3956) can coexist with this socket.
    if (!udpSocket->bind(QHostAddress::AnyIPv4, cmdproto::kPort,
            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        qWarning().noquote() << QStringLiteral("command socket: cannot bind UDP port %1 (%2); commands are "
                                               "still sent, but replies to port %1 will not arrive")
                                    .arg(cmdproto::kPort)
                                    .arg(udpSocket->errorString());
    }
    connect(udpSocket.get(), &QUdpSocket::readyRead, this, &MainWindow::read_data);
}

void MainWindow::pack(std::uint8_t cmd, std::uint16_t id, QByteArray buff)
{
    if (!udpSocket)
        return;
    const cmdproto::PackedRequest request
        = cmdproto::packRequest(cmd, id, CameraCode.Cam_ip, CameraCode.Cam_mac, buff);
    logLines(request.logLines);
    CmdFrame = request.frame;
    if (CmdFrame.raw.isEmpty())
        return; // the payload does not fit a frame; packRequest said so
    const QHostAddress host(request.host);
    if (host.isNull())
        return; // no camera selected yet: the request has nowhere to go
    udpSocket->writeDatagram(CmdFrame.raw, host, request.port);
}

void MainWindow::read_data()
{
    if (!udpSocket)
        return;
    // Take every waiting datagram: the next readyRead comes only for new ones.
    while (udpSocket->hasPendingDatagrams()) {
        QByteArray datagram(int(qMax<qint64>(udpSocket->pendingDatagramSize(), 0)), '\0');
        const qint64 got = udpSocket->readDatagram(datagram.data(), datagram.size());
        if (got < 0) {
            qWarning().noquote() << "command socket: reading a reply failed:" << udpSocket->errorString();
            return;
        }
        datagram.resize(int(got));
        unpack(datagram);
    }
}

void MainWindow::unpack(const QByteArray &datagram)
{
    cmdproto::DropReason why = cmdproto::DropReason::None;
    const std::optional<::CmdFrame> frame = cmdproto::unpack(datagram, &why);
    if (!frame) {
        qDebug().noquote() << QStringLiteral("command reply dropped (%1): %2 bytes")
                                  .arg(QLatin1String(dropReasonText(why)))
                                  .arg(datagram.size());
        return;
    }
    if (frame->cmd == cmdproto::kCmdWrite)
        onWriteReply(*frame);
    else if (frame->cmd == cmdproto::kCmdControl)
        onControlReply(*frame);
}

void MainWindow::onWriteReply(const ::CmdFrame &frame)
{
    logLines(cmdproto::writeReplyOutcome(frame).logLines);
}

void MainWindow::onControlReply(const ::CmdFrame &frame)
{
    const cmdproto::ReplyOutcome outcome = cmdproto::controlReplyOutcome(frame);
    logLines(outcome.logLines);
    for (const cmdproto::ReplyOutcome::TableUpdate &update : outcome.tableUpdates)
        ui->tableWidget->setItem(update.row, 1, new QTableWidgetItem(update.text));
}

void MainWindow::slotSetBtnClicked()
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

    const QTableWidgetItem *cell = ui->tableWidget->item(row, 1);
    const QString text = cell ? cell->text() : QString();
    const paramcat::RowEncoding encoding = paramcat::encodeRow(row, text);
    logLines(encoding.logLines);
    if (text.isEmpty()) {
        showValueWarning(encoding.warning);
        return;
    }

    using Kind = paramcat::RowEncoding::Kind;
    switch (encoding.kind) {
    case Kind::SetCameraIp:
        worker->setCameraIp(camIndex, encoding.text);
        ui->IPlineEdit->setText(encoding.text);
        return;
    case Kind::SetCameraName:
        worker->setCameraName(camIndex, encoding.text);
        ui->NamelineEdit->setText(encoding.text);
        return;
    case Kind::NoRow:
        return;
    case Kind::Command:
    case Kind::Rejected:
        break;
    }

    // Accepted as an edit even when the value check below refuses it.
    if (paramcat::rowIsRemembered(row))
        rememberedValues[std::size_t(row - 2)] = text;
    edited = true;
    ui->Saveaction->setEnabled(true);
    ui->SaveAsaction->setEnabled(true);

    if (encoding.kind == Kind::Rejected) {
        showValueWarning(encoding.warning);
        return;
    }
    pack(encoding.command.cmd, encoding.command.id, encoding.command.buffer);
}

void MainWindow::on_newFileaction_triggered()
{
    const QString path = filedialog::getOpenFileName(this, fileCaption(), QString(), fileFilter());
    if (path.isEmpty())
        return;
    const paramfile::LoadResult loaded = paramfile::loadParameterFile(path);
    if (loaded.error != paramfile::LoadResult::Error::None) {
        const paramfile::Message message = paramfile::loadErrorMessage(loaded.error);
        msgbox::warning(this, tr(message.title), tr(message.text));
        return;
    }
    for (const paramfile::FileKey &key : paramfile::kKeys) {
        const QString text = loaded.values.value(key.row);
        rememberedValues[std::size_t(key.row - 2)] = text;
        ui->tableWidget->setItem(key.row, 1, new QTableWidgetItem(text));
    }
}

void MainWindow::on_Saveaction_triggered()
{
    if (!edited) {
        msgbox::warning(this, tr(paramfile::kSaveRefused.title), tr(paramfile::kSaveRefused.text));
        return;
    }
    const QString path = filedialog::getSaveFileName(this, fileCaption(), QString(), fileFilter());
    if (path.isEmpty())
        return;
    paramfile::RowValues values;
    for (const paramfile::FileKey &key : paramfile::kKeys)
        values.insert(key.row, rememberedValues[std::size_t(key.row - 2)]);
    switch (paramfile::saveParameterFile(path, values)) {
    case paramfile::SaveResult::OpenFailed:
        qDebug() << "file open error";
        return;
    case paramfile::SaveResult::WriteFailed:
        qDebug() << "file open";
        qWarning().noquote() << QStringLiteral("parameter file %1: not completely written").arg(path);
        return;
    case paramfile::SaveResult::Written:
        qDebug() << "file open";
        qDebug() << "write to file";
        return;
    }
}

void MainWindow::on_rate1action_triggered()
{
    const paramcat::CommandTriple rate = paramcat::frameRateAction(30);
    pack(rate.cmd, rate.id, rate.buffer);
}

void MainWindow::on_rate2action_triggered()
{
    const paramcat::CommandTriple rate = paramcat::frameRateAction(60);
    pack(rate.cmd, rate.id, rate.buffer);
}

void MainWindow::on_sc4210Button_clicked()
{
    QString logLine;
    const paramcat::CommandTriple select = paramcat::sensorSelect(ui->comboBox->currentIndex(), &logLine);
    pack(select.cmd, select.id, select.buffer);
    qDebug().noquote() << logLine;
}

void MainWindow::on_a022SetBtn_clicked()
{
    const paramcat::CommandTriple burnIn = paramcat::burnInSwitch(ui->a022SetBox->currentIndex());
    pack(burnIn.cmd, burnIn.id, burnIn.buffer);
}
