// The log view (日志): a window of its own, not modal, showing the lines the
// program writes to its debug log, newest at the bottom, with a filter, pause,
// clear and "save to file".
#ifndef TAVIX_LOGWINDOW_H
#define TAVIX_LOGWINDOW_H

#include <QWidget>

class LogBuffer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class LogWindow : public QWidget {
    Q_OBJECT

public:
    // Shows the lines of `lines`, which must outlive the window.
    explicit LogWindow(LogBuffer &lines, QWidget *parent = nullptr);

    // The texts again, in the language now applied.
    void retranslate();
    // Takes the lines that came since the last look (nothing while paused).
    void refresh();
    // The lines shown, as they are saved.
    QString shownText() const;

public slots:
    // Asks for a file and writes the lines shown into it, whole or not at all.
    void saveToFile();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void rebuild();
    void showCount();

    LogBuffer &lines;
    QLineEdit *filter;
    QPushButton *pause;
    QPushButton *clear;
    QPushButton *save;
    QPlainTextEdit *text;
    QLabel *count;
    QTimer *timer;
    quint64 lastSeen = 0; // seq of the newest line taken into the view
    int shown = 0; // lines in the view
};

#endif
