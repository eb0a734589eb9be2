#include "gui/settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace settings {

namespace {

    constexpr char kLanguageKey[] = "language";

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
