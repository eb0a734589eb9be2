#include "gui/recentfilesmenu.h"

#include "gui/messagebox.h"
#include "gui/settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentFilesMenu::RecentFilesMenu(QAction *action, QWidget *window, QObject *parent)
    : QObject(parent)
    , window(window)
    , list(new QMenu(window))
{
    list->setObjectName(QStringLiteral("RecentFilesmenu"));
    // Files come and go between two looks: the entries are made as it opens.
    connect(list, &QMenu::aboutToShow, this, &RecentFilesMenu::rebuild);
    action->setMenu(list);
    rebuild();
}

void RecentFilesMenu::add(const QString &path)
{
    settings::addRecentFile(path);
    rebuild();
}

void RecentFilesMenu::rebuild()
{
    list->clear();
    const QStringList paths = settings::recentFiles();
    if (paths.isEmpty()) {
        list->addAction(tr("(没有最近打开的文件)"))->setEnabled(false);
        return;
    }
    int number = 0;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        QString text = QStringLiteral("&%1 %2").arg(++number).arg(
            QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QLatin1String("&&")));
        if (!file.exists())
            text += tr(" (文件不存在)");
        QAction *entry = list->addAction(text);
        entry->setData(path);
        entry->setToolTip(path);
        connect(entry, &QAction::triggered, this, [this, path] { choose(path); });
    }
}

void RecentFilesMenu::choose(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        msgbox::warning(
            window, tr("最近打开"), tr("文件 %1 已不存在, 没有打开。").arg(QDir::toNativeSeparators(path)));
        rebuild();
        return;
    }
    emit fileChosen(path);
}
