#include "gui/statisticsdock.h"

#include "camera/workthread.h"
#include "gui/pictureview.h"
#include "gui/picturewidget.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

HistogramWidget::HistogramWidget(QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(256, 80);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HistogramWidget::setHistogram(const framestats::Histogram &histogram)
{
    shown = histogram;
    update();
}

void HistogramWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.drawImage(0, 0, framestats::histogramPicture(shown, size()));
}

StatisticsDock::StatisticsDock(
    WorkThread &worker, PictureView &picture, PictureWidget &widget, QWidget *parent)
    : QDockWidget(parent)
    , worker(worker)
    , picture(picture)
    , widget(widget)
{
    setObjectName(QStringLiteral("statisticsDock"));
    auto *content = new QWidget(this);
    auto *column = new QVBoxLayout(content);

    streamBox = new QGroupBox(content);
    auto *form = new QFormLayout(streamBox);
    for (int row = 0; row < RowCount; ++row) {
        captions[row] = new QLabel(streamBox);
        // Plain, not selectable: a selectable label lays its text out as a
        // document each time it changes, five times a second.
        values[row] = new QLabel(QStringLiteral("0"), streamBox);
        values[row]->setTextFormat(Qt::PlainText);
        form->addRow(captions[row], values[row]);
    }
    column->addWidget(streamBox);

    pictureBox = new QGroupBox(content);
    auto *pictureColumn = new QVBoxLayout(pictureBox);
    regionLabel = new QLabel(pictureBox);
    histogramView = new HistogramWidget(pictureBox);
    histogramView->setObjectName(QStringLiteral("histogram"));
    figures = new QWidget(pictureBox);
    figures->setObjectName(QStringLiteral("pictureFigures"));
    auto *grid = new QGridLayout(figures);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    QFont bold = font();
    bold.setBold(true);
    for (int column = 0; column < ColumnCount; ++column) {
        heads[column] = new QLabel(figures);
        heads[column]->setTextFormat(Qt::PlainText);
        heads[column]->setFont(bold);
        heads[column]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(heads[column], 0, column);
        for (int c = 0; c < 3; ++c) {
            QLabel *cell = new QLabel(figures);
            cell->setTextFormat(Qt::PlainText);
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cells[c][column] = cell;
            grid->addWidget(cell, 1 + c, column);
        }
    }
    saturationBox = new QCheckBox(pictureBox);
    saturationBox->setObjectName(QStringLiteral("saturationBox"));
    pictureColumn->addWidget(regionLabel);
    pictureColumn->addWidget(histogramView);
    pictureColumn->addWidget(figures);
    pictureColumn->addWidget(saturationBox);
    column->addWidget(pictureBox);

    focusBox = new QGroupBox(content);
    auto *focusRow = new QHBoxLayout(focusBox);
    scoreLabel = new QLabel(focusBox);
    scoreLabel->setObjectName(QStringLiteral("focusScore"));
    QFont big = scoreLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    scoreLabel->setFont(big);
    peakLabel = new QLabel(focusBox);
    resetButton = new QPushButton(focusBox);
    resetButton->setObjectName(QStringLiteral("focusResetButton"));
    focusRow->addWidget(scoreLabel, 1);
    focusRow->addWidget(peakLabel, 1);
    focusRow->addWidget(resetButton);
    column->addWidget(focusBox);
    column->addStretch(1);
    setWidget(content);

    connect(saturationBox, &QCheckBox::toggled, this, &StatisticsDock::saturationMarksToggled);
    connect(resetButton, &QPushButton::clicked, this, &StatisticsDock::resetFocusPeak);
    timer.setInterval(RefreshMs);
    connect(&timer, &QTimer::timeout, this, &StatisticsDock::refresh);
    // The region follows the view at once, not at the next frame.
    connect(&widget, &PictureWidget::viewChanged, this, [this] {
        if (isVisible())
            refreshPicture();
    });
    retranslate();
}

void StatisticsDock::retranslate()
{
    setWindowTitle(tr("状态"));
    streamBox->setTitle(tr("图像流"));
    captions[Delivered]->setText(tr("SDK 送达帧数:"));
    captions[Dropped]->setText(tr("回调丢弃帧数:"));
    captions[Dropped]->setToolTip(tr("两个帧缓冲区都满时相机送来的帧被丢弃"));
    captions[Converted]->setText(tr("已转换帧数:"));
    captions[Skipped]->setText(tr("窗口跳过帧数:"));
    captions[Shown]->setText(tr("已显示帧数:"));
    captions[Rate]->setText(tr("帧率:"));
    captions[DataRate]->setText(tr("数据率:"));
    captions[Size]->setText(tr("帧尺寸:"));
    captions[Format]->setText(tr("像素格式:"));
    captions[SinceLast]->setText(tr("距上一帧:"));
    pictureBox->setTitle(tr("直方图"));
    saturationBox->setText(tr("饱和标记"));
    saturationBox->setToolTip(tr("255 的像素标为红色，0 的像素标为蓝色"));
    focusBox->setTitle(tr("清晰度（对焦）"));
    resetButton->setText(tr("重置峰值"));
    heads[Min]->setText(tr("最小"));
    heads[Max]->setText(tr("最大"));
    heads[Mean]->setText(tr("平均"));
    heads[StdDev]->setText(tr("标准差"));
    heads[At0]->setText(tr("0 级"));
    heads[At255]->setText(tr("255 级"));
    analysedKey = 0; // the figures' texts again
    if (isVisible())
        refresh();
}

void StatisticsDock::setSaturationMarks(bool on)
{
    saturationBox->setChecked(on);
}

void StatisticsDock::resetFocusPeak()
{
    peak = score;
    peakLabel->setText(tr("峰值 %1").arg(peak, 0, 'f', 1));
}

void StatisticsDock::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    rateClock.start();
    rateFrom = picture.frameTotal();
    analysedKey = 0;
    refresh();
    timer.start();
}

void StatisticsDock::hideEvent(QHideEvent *event)
{
    timer.stop();
    QDockWidget::hideEvent(event);
}

int StatisticsDock::refreshInterval(qint64 workNs)
{
    const qint64 paced = (workNs * WorkShareDivisor + 999999) / 1000000;
    return int(std::clamp<qint64>(paced, RefreshMs, SlowestRefreshMs));
}

void StatisticsDock::refresh()
{
    refreshStream();
    analysisNs = 0;
    refreshPicture();
    timer.setInterval(refreshInterval(analysisNs));
}

void StatisticsDock::refreshStream()
{
    values[Delivered]->setText(QString::number(WorkThread::framesDelivered()));
    values[Dropped]->setText(QString::number(WorkThread::framesDropped()));
    values[Converted]->setText(QString::number(worker.framesConverted()));
    values[Skipped]->setText(QString::number(worker.framesSkipped()));
    values[Shown]->setText(QString::number(picture.framesShown()));
    // The rate of whole seconds or more, so that it does not flicker.
    const qint64 elapsed = rateClock.isValid() ? rateClock.elapsed() : 0;
    if (elapsed >= 1000) {
        rate = (picture.frameTotal() - rateFrom) * 1000.0 / double(elapsed);
        rateFrom = picture.frameTotal();
        rateClock.restart();
    }
    const QImage &frame = picture.newestFrame();
    const bool grey = framestats::isGrey(frame);
    const double frameBytes = double(frame.width()) * frame.height() * (grey ? 1 : 3);
    values[Rate]->setText(tr("%1 帧/秒").arg(rate, 0, 'f', 1));
    values[DataRate]->setText(tr("%1 MB/s").arg(rate * frameBytes / 1e6, 0, 'f', 2));
    if (frame.isNull()) {
        values[Size]->setText(QStringLiteral("—"));
        values[Format]->setText(QStringLiteral("—"));
        values[SinceLast]->setText(QStringLiteral("—"));
        return;
    }
    values[Size]->setText(tr("%1 × %2").arg(frame.width()).arg(frame.height()));
    values[Format]->setText(grey ? tr("8 位灰度") : tr("24 位彩色 (RGB)"));
    values[SinceLast]->setText(tr("%1 秒").arg(picture.msSinceLastFrame() / 1000.0, 0, 'f', 1));
}

void StatisticsDock::refreshPicture()
{
    const QImage &frame = picture.newestFrame();
    const QRect seen = widget.visibleRegion();
    if (frame.isNull() || (frame.cacheKey() == analysedKey && seen == region))
        return;
    analysedKey = frame.cacheKey();
    region = seen;
    if (region == frame.rect())
        regionLabel->setText(tr("整幅画面"));
    else
        regionLabel->setText(tr("可见区域 (%1, %2) %3 × %4")
                                 .arg(region.x())
                                 .arg(region.y())
                                 .arg(region.width())
                                 .arg(region.height()));
    QElapsedTimer work;
    work.start();
    const framestats::Analysis analysis = framestats::analyse(frame, region);
    analysisNs = work.nsecsElapsed();
    const framestats::Histogram &h = analysis.histogram;
    histogramView->setHistogram(h);
    // One row per channel under the figures' names.
    const QString names[3] = { h.grey ? tr("灰度") : QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B") };
    const int channels = h.grey ? 1 : 3;
    for (int c = 0; c < 3; ++c) {
        QLabel *const *row = cells[c];
        if (c >= channels) {
            for (int column = 0; column < ColumnCount; ++column)
                row[column]->hide();
            continue;
        }
        const framestats::Statistics s = framestats::statistics(h, c);
        const QString texts[ColumnCount] = { names[c], QString::number(s.min), QString::number(s.max),
            QString::number(s.mean, 'f', 1), QString::number(s.stdDev, 'f', 1),
            QStringLiteral("%1%").arg(s.shareAt0 * 100, 0, 'f', 2),
            QStringLiteral("%1%").arg(s.shareAt255 * 100, 0, 'f', 2) };
        for (int column = 0; column < ColumnCount; ++column) {
            // A label given its own text again lays nothing out.
            if (row[column]->text() != texts[column])
                row[column]->setText(texts[column]);
            row[column]->show();
        }
    }
    score = analysis.focusScore;
    peak = std::max(peak, score);
    scoreLabel->setText(tr("清晰度 %1").arg(score, 0, 'f', 1));
    peakLabel->setText(tr("峰值 %1").arg(peak, 0, 'f', 1));
}
