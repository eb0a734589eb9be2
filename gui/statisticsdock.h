// 状态: the statistics beside the picture. The stream's counters, a live
// histogram with its figures, the focus score with its peak, and the
// saturation marks' switch. Refreshed at most 10 times a second while shown;
// hidden, it does no work at all.
#ifndef TAVIX_STATISTICSDOCK_H
#define TAVIX_STATISTICSDOCK_H

#include "camera/framestats.h"

#include <QDockWidget>
#include <QElapsedTimer>
#include <QRect>
#include <QTimer>
#include <QWidget>

class PictureView;
class PictureWidget;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class WorkThread;

// Draws a histogram: grey, or red, green and blue over each other.
class HistogramWidget : public QWidget {
public:
    explicit HistogramWidget(QWidget *parent = nullptr);
    void setHistogram(const framestats::Histogram &histogram);
    QSize sizeHint() const override { return QSize(256, 110); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    framestats::Histogram shown;
};

class StatisticsDock : public QDockWidget {
    Q_OBJECT

public:
    StatisticsDock(WorkThread &worker, PictureView &picture, PictureWidget &widget, QWidget *parent);

    void retranslate();
    // The figures now shown, for the tests: the focus score and its peak.
    double focusScore() const { return score; }
    double focusPeak() const { return peak; }
    QRect measuredRegion() const { return region; }

    // Five times a second: often enough to turn a lens by, at a fifth of the cost
    // of every frame.
    static constexpr int RefreshMs = 200;
    // Less often when the picture's figures take long, as those of a large
    // frame do: their own work is kept to 2/3 % of a core (a refresh waits
    // 150 times as long as the last figures took; a 1280 x 1024 colour frame's
    // take about 3 ms), and the window is refreshed at least once a second.
    static constexpr int WorkShareDivisor = 150;
    static constexpr int SlowestRefreshMs = 1000;
    // The time to the next refresh after figures that took `workNs`.
    static int refreshInterval(qint64 workNs);

signals:
    void saturationMarksToggled(bool on);

public slots:
    void setSaturationMarks(bool on);
    void resetFocusPeak();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();
    void refreshStream();
    void refreshPicture();

    WorkThread &worker;
    PictureView &picture;
    PictureWidget &widget;
    QTimer timer;

    QGroupBox *streamBox;
    QGroupBox *pictureBox;
    QGroupBox *focusBox;
    // The stream's rows: caption and value.
    enum Row {
        Delivered,
        Dropped,
        Converted,
        Skipped,
        Shown,
        Rate,
        DataRate,
        Size,
        Format,
        SinceLast,
        RowCount
    };
    QLabel *captions[RowCount];
    QLabel *values[RowCount];
    QLabel *regionLabel;
    HistogramWidget *histogramView;
    // The figures under the histogram: a row of heads, then one row per
    // channel (grey: the first only), plain texts in a grid, so that a new
    // frame resets only the texts that changed.
    enum Column { Name, Min, Max, Mean, StdDev, At0, At255, ColumnCount };
    QWidget *figures;
    QLabel *heads[ColumnCount];
    QLabel *cells[3][ColumnCount];
    QLabel *scoreLabel;
    QLabel *peakLabel;
    QPushButton *resetButton;
    QCheckBox *saturationBox;

    // The frame and region the picture's figures were made of, and how
    // long they took to make.
    qint64 analysedKey = 0;
    qint64 analysisNs = 0;
    QRect region;
    double score = 0;
    double peak = 0;
    // The frame rate over the last second or more.
    QElapsedTimer rateClock;
    int rateFrom = 0;
    double rate = 0;
};

#endif
