#include "gui/language.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QTranslator>

// The translations live in the gui library's own resource, which a static
// library has to register by hand (outside any namespace).
static void initTranslationResource()
{
    Q_INIT_RESOURCE(translations);
}

namespace language {

namespace {

    constexpr char kEnglishTranslation[] = ":/translations/tavix_en.qm";

    Language g_current = Language::Chinese;
    QPointer<QTranslator> g_translator; // installed while English is applied

} // namespace

QString code(Language language)
{
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("zh");
}

std::optional<Language> fromCode(const QString &code)
{
    if (code == QLatin1String("zh"))
        return Language::Chinese;
    if (code == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

bool apply(Language language)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    if (language == Language::Chinese) {
        if (g_translator) {
            QCoreApplication::removeTranslator(g_translator);
            delete g_translator;
        }
        g_current = language;
        return true;
    }
    if (!g_translator) {
        initTranslationResource();
        auto *translator = new QTranslator(app);
        if (!translator->load(QLatin1String(kEnglishTranslation))) {
            qWarning() << "English translation" << kEnglishTranslation << "not loaded";
            delete translator;
            return false;
        }
        g_translator = translator;
        QCoreApplication::installTranslator(translator);
    }
    g_current = language;
    return true;
}

Language current()
{
    return g_current;
}

} // namespace language
