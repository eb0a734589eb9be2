#include "gui/settings.h"

#include "core/recentfiles.h"

#include <QCoreApplication>
#include <QSettings>

namespace settings {

namespace {

    constexpr char kLanguageKey[] = "language";
    constexpr char kRecentFilesKey[] = "recentFiles";

} // namespace

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tavix"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavix"));
}

QString language()
{
    const QString code = QSettings().value(QLatin1String(kLanguageKey)).toString();
    return code == QLatin1String("zh") || code == QLatin1String("en") ? code : QString();
}

void setLanguage(const QString &code)
{
    QSettings().setValue(QLatin1String(kLanguageKey), code);
}

} // namespace settings

namespace settings {

QStringList recentFiles()
{
    return recentfiles::tidied(QSettings().value(QLatin1String(kRecentFilesKey)).toStringList());
}

void setRecentFiles(const QStringList &paths)
{
    QSettings().setValue(QLatin1String(kRecentFilesKey), recentfiles::tidied(paths));
}

void addRecentFile(const QString &path)
{
    setRecentFiles(recentfiles::added(recentFiles(), path));
}

} // namespace settings
