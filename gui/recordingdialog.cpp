#include "gui/recordingdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

RecordingDialog::RecordingDialog(QWidget *parent)
    : QDialog(parent)
    , formatLabel(new QLabel(this))
    , format(new QComboBox(this))
    , everyLabel(new QLabel(this))
    , every(new QSpinBox(this))
    , stopLabel(new QLabel(this))
    , stop(new QComboBox(this))
    , seconds(new QSpinBox(this))
    , frames(new QSpinBox(this))
    , where(new QLabel(this))
    , buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("RecordingDialog"));
    format->setObjectName(QStringLiteral("formatComboBox"));
    for (const auto f :
        { recording::ImageFormat::Bmp, recording::ImageFormat::Png, recording::ImageFormat::Tiff })
        format->addItem(QLatin1String(recording::formatName(f)), int(f));
    every->setObjectName(QStringLiteral("everyNthSpinBox"));
    every->setRange(1, recording::MaxEveryNth);
    stop->setObjectName(QStringLiteral("stopComboBox"));
    stop->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    seconds->setObjectName(QStringLiteral("secondsSpinBox"));
    seconds->setRange(1, recording::MaxSeconds);
    frames->setObjectName(QStringLiteral("framesSpinBox"));
    frames->setRange(1, recording::MaxFrames);
    where->setWordWrap(true);
    setMinimumWidth(520); // room for the folder's path

    auto *stopRow = new QHBoxLayout;
    stopRow->addWidget(stop, 1);
    stopRow->addWidget(seconds);
    stopRow->addWidget(frames);
    auto *form = new QFormLayout;
    form->addRow(formatLabel, format);
    form->addRow(everyLabel, every);
    form->addRow(stopLabel, stopRow);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(where);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(
        stop, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &RecordingDialog::showStopFields);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        emit settingsChosen(settings());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    retranslate();
    setSettings(recording::Settings());
}

void RecordingDialog::retranslate()
{
    setWindowTitle(tr("录像/抓图"));
    formatLabel->setText(tr("图片格式 (抓图和录像):"));
    everyLabel->setText(tr("录像时每 n 帧保存一帧, n ="));
    every->setToolTip(tr("1: 保存每一帧; n: 保存第一帧, 然后每 n 帧保存一帧"));
    stopLabel->setText(tr("录像结束:"));
    const int rule = stop->currentIndex();
    stop->clear();
    stop->addItem(tr("直到按下停止"));
    stop->addItem(tr("录够秒数后"));
    stop->addItem(tr("录够帧数后"));
    stop->setCurrentIndex(qMax(0, rule));
    seconds->setSuffix(tr(" 秒"));
    frames->setSuffix(tr(" 帧"));
    where->setText(tr("录像保存在 %1 下以开始时间命名的文件夹中, 文件按帧的顺序编号 (000001, 000002, ...)。")
                       .arg(QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/CameraImage"))));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
}

void RecordingDialog::setSettings(const recording::Settings &given)
{
    const recording::Settings s = recording::clamped(given);
    format->setCurrentIndex(format->findData(int(s.format)));
    every->setValue(s.everyNth);
    stop->setCurrentIndex(int(s.stop));
    seconds->setValue(s.seconds);
    frames->setValue(s.frames);
    showStopFields();
}

recording::Settings RecordingDialog::settings() const
{
    recording::Settings s;
    s.format = recording::ImageFormat(format->currentData().toInt());
    s.everyNth = every->value();
    s.stop = recording::StopRule(qMax(0, stop->currentIndex()));
    s.seconds = seconds->value();
    s.frames = frames->value();
    return s;
}

void RecordingDialog::showStopFields()
{
    seconds->setVisible(stop->currentIndex() == int(recording::StopRule::Seconds));
    frames->setVisible(stop->currentIndex() == int(recording::StopRule::Frames));
}
