// What Tavix keeps between starts, in one place: the language the operator
// chose and the parameter files used last, nothing else. QSettings under the organisation and
// application name "Tavix" (on Linux ~/.config/Tavix/Tavix.conf, on Windows the
// registry under HKEY_CURRENT_USER\Software\Tavix\Tavix).
#ifndef TAVIX_SETTINGS_H
#define TAVIX_SETTINGS_H

#include <QString>
#include <QStringList>

namespace settings {

// The names every QSettings of the program is filed under. main() sets them
// once, before anything reads or writes a setting.
void setApplicationNames();

// Key "language": "zh" or "en", as the Language menu last chose; empty when
// it was never chosen (or holds something else).
QString language();
void setLanguage(const QString &code);

// Key "recentFiles": the parameter files loaded or saved last, newest first
// (at most recentfiles::MaxFiles).
QStringList recentFiles();
void setRecentFiles(const QStringList &paths);
// Puts `path` first in the list and keeps it.
void addRecentFile(const QString &path);

} // namespace settings

#endif
