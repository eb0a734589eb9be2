#include "gui/startoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr int UsageExitCode = 2;

StartDecision usageError(const QString &error, const QString &usage)
{
    StartDecision decision;
    decision.start = false;
    decision.exitCode = UsageExitCode;
    decision.message = QStringLiteral("%1: %2\n\n%3").arg(QCoreApplication::applicationName(), error, usage);
    return decision;
}

} // namespace

StartDecision parseStartOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tavix: live pictures, parameters and firmware of network-attached cameras."));
    // Not addHelpOption(): its --help-all would bypass this function.
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Shows this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption open(QStringLiteral("open"),
        QStringLiteral("After start-up, select camera record <index> in the camera list and open it, "
                       "as its context menu's \"初始化/打开\" does (0 is the first camera)."),
        QStringLiteral("index"));
    const QCommandLineOption waitForFrames(QStringLiteral("wait-for-frames"),
        QStringLiteral("The acquisition thread sleeps until a frame arrives instead of polling "
                       "without pause: far less processor time, frames reach the window as before."));
    const QCommandLineOption lang(QStringLiteral("lang"),
        QStringLiteral("The window's language for this run: zh (Chinese, the default) or en (English). "
                       "Without it, the language last chosen in the Help menu's Language entry."),
        QStringLiteral("zh|en"));
    parser.addOption(open);
    parser.addOption(waitForFrames);
    parser.addOption(lang);

    if (!parser.parse(arguments))
        return usageError(parser.errorText(), parser.helpText());

    StartDecision decision;
    if (parser.isSet(help)) {
        decision.start = false;
        decision.message = parser.helpText();
        return decision;
    }
    if (parser.isSet(version)) {
        decision.start = false;
        decision.message = QStringLiteral("%1 %2\n").arg(
            QCoreApplication::applicationName(), QCoreApplication::applicationVersion());
        return decision;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()),
            parser.helpText());
    if (parser.isSet(open)) {
        const QString text = parser.value(open);
        bool isNumber = false;
        const int record = text.toInt(&isNumber, 10);
        // Digits only: no sign, blank or "0x" slips through as some other index.
        const bool digitsOnly = !text.isEmpty()
            && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= '0' && c <= '9'; });
        if (!isNumber || !digitsOnly)
            return usageError(QStringLiteral("--open needs a camera index (0, 1, ...), not '%1'.").arg(text),
                parser.helpText());
        decision.options.openRecord = record;
    }
    if (parser.isSet(lang)) {
        const QString code = parser.value(lang);
        if (code != QLatin1String("zh") && code != QLatin1String("en"))
            return usageError(
                QStringLiteral("--lang takes zh or en, not '%1'.").arg(code), parser.helpText());
        decision.options.language = code;
    }
    decision.options.waitForFrames = parser.isSet(waitForFrames);
    return decision;
}
