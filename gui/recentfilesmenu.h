// The submenu of 最近打开 (recently opened): the parameter files loaded or
// saved last, newest first, kept in the settings. A file that is no longer
// there is marked so and refused with a message when chosen.
#ifndef TAVIX_RECENTFILESMENU_H
#define TAVIX_RECENTFILESMENU_H

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

class RecentFilesMenu : public QObject {
    Q_OBJECT

public:
    // Gives `action` the submenu ("RecentFilesmenu"); `window` parents the boxes.
    RecentFilesMenu(QAction *action, QWidget *window, QObject *parent = nullptr);

    // Puts `path` first in the list (and in the settings).
    void add(const QString &path);
    // The entries from the settings, as the menu shows them when it opens.
    void rebuild();
    QMenu *menu() const { return list; }

signals:
    // An existing file was chosen.
    void fileChosen(const QString &path);

private:
    void choose(const QString &path);

    QWidget *window;
    QMenu *list;
};

#endif
