// The list of recently used parameter files, newest first.
#ifndef TAVIX_RECENTFILES_H
#define TAVIX_RECENTFILES_H

#include <QString>
#include <QStringList>

namespace recentfiles {

// How many files the list keeps.
constexpr int MaxFiles = 8;

// `list` with `path` put first: an entry naming the same file (the same
// absolute, cleaned path) goes, and so do entries past `max`. An empty path
// leaves the list as it is (cut to `max`).
QStringList added(const QStringList &list, const QString &path, int max = MaxFiles);

// `list` as read back from the settings: empty entries and repeats dropped,
// paths cleaned, at most `max`.
QStringList tidied(const QStringList &list, int max = MaxFiles);

} // namespace recentfiles

#endif
