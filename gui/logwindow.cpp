#include "gui/logwindow.h"

#include "core/logbuffer.h"
#include "gui/filedialog.h"
#include "gui/messagebox.h"

#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How often an open, running view takes the new lines.
constexpr int RefreshMs = 250;

} // namespace

LogWindow::LogWindow(LogBuffer &lines, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , lines(lines)
    , filter(new QLineEdit(this))
    , pause(new QPushButton(this))
    , clear(new QPushButton(this))
    , save(new QPushButton(this))
    , text(new QPlainTextEdit(this))
    , count(new QLabel(this))
    , timer(new QTimer(this))
{
    setObjectName(QStringLiteral("LogWindow"));
    filter->setObjectName(QStringLiteral("logFilterEdit"));
    filter->setClearButtonEnabled(true);
    pause->setObjectName(QStringLiteral("logPauseButton"));
    pause->setCheckable(true);
    clear->setObjectName(QStringLiteral("logClearButton"));
    save->setObjectName(QStringLiteral("logSaveButton"));
    text->setObjectName(QStringLiteral("logText"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setMaximumBlockCount(lines.capacity());
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    count->setObjectName(QStringLiteral("logCountLabel"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(filter, 1);
    bar->addWidget(pause);
    bar->addWidget(clear);
    bar->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(text, 1);
    layout->addWidget(count);
    resize(900, 500);

    connect(filter, &QLineEdit::textChanged, this, &LogWindow::rebuild);
    connect(pause, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused)
            refresh();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        this->lines.clear();
        rebuild();
    });
    connect(save, &QPushButton::clicked, this, &LogWindow::saveToFile);
    timer->setInterval(RefreshMs);
    connect(timer, &QTimer::timeout, this, &LogWindow::refresh);
    retranslate();
}

void LogWindow::retranslate()
{
    setWindowTitle(tr("日志"));
    filter->setPlaceholderText(tr("筛选: 只显示含有此文字的行"));
    pause->setText(tr("暂停"));
    clear->setText(tr("清空"));
    save->setText(tr("保存到文件..."));
    showCount();
}

void LogWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    timer->start();
}

void LogWindow::hideEvent(QHideEvent *event)
{
    timer->stop(); // a hidden view takes its lines when it shows again
    QWidget::hideEvent(event);
}

void LogWindow::refresh()
{
    if (pause->isChecked())
        return;
    const QVector<LogLine> fresh = lines.linesSince(lastSeen);
    lastSeen = lines.lastSeq();
    QStringList add;
    for (const LogLine &line : fresh) {
        if (logLineMatches(line, filter->text()))
            add << formatLogLine(line);
    }
    if (add.isEmpty())
        return;
    // The view follows the newest line unless the operator scrolled up to read.
    QScrollBar *scroll = text->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    text->appendPlainText(add.join(QLatin1Char('\n')));
    shown = qMin(shown + add.size(), lines.capacity());
    if (atEnd)
        scroll->setValue(scroll->maximum());
    showCount();
}

void LogWindow::rebuild()
{
    text->clear();
    shown = 0;
    lastSeen = 0;
    const bool paused = pause->isChecked();
    if (paused)
        pause->setChecked(false); // a new filter or a clear shows at once
    refresh();
    if (paused)
        pause->setChecked(true);
    showCount();
}

void LogWindow::showCount()
{
    count->setText(
        tr("显示 %1 行, 共保留 %2 行 (最多 %3 行)").arg(shown).arg(lines.size()).arg(lines.capacity()));
}

QString LogWindow::shownText() const
{
    const QString all = text->toPlainText();
    return all.isEmpty() ? all : all + QLatin1Char('\n');
}

void LogWindow::saveToFile()
{
    const QString path = filedialog::getSaveFileName(
        this, tr("保存日志"), QString(), tr("日志文件 (*.log *.txt);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    // Written beside its name and renamed once complete: a failing write
    // leaves no partial file under the name, and an earlier file as it was.
    QSaveFile file(path);
    QString reason;
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = shownText().toUtf8();
        if (file.write(bytes) == bytes.size() && file.flush() && file.commit()) {
            count->setText(tr("已保存到 %1").arg(QDir::toNativeSeparators(path)));
            return;
        }
        reason = file.errorString();
        file.cancelWriting();
    } else {
        reason = file.errorString();
    }
    msgbox::warning(
        this, tr("日志"), tr("日志没有保存到 %1 (%2)。").arg(QDir::toNativeSeparators(path), reason));
}
