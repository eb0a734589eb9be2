#include "ctl/ctlargs.h"

#include "ctl/paramnames.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace ctl {

namespace {

    // Negative values ("set CAM Brightness -20") would read as options: they
    // travel through the parser behind this marker.
    const QChar kNegativeMark(0x1);

    const char kOverview[] = "Usage: tavixctl COMMAND [options] ...\n"
                             "Cameras from the command line, over the camera SDK and the camera protocols.\n"
                             "\n"
                             "Commands:\n"
                             "  list                                  the cameras the SDK finds\n"
                             "  get CAMERA                            the camera's parameter report\n"
                             "  set CAMERA NAME VALUE                 write one parameter\n"
                             "  apply CAMERA FILE.json                write a parameter file's values\n"
                             "  firmware --camera CAMERA ... FILE...  download files to cameras in parallel\n"
                             "  restart CAMERA                        restart a camera\n"
                             "\n"
                             "CAMERA is an IPv4 address (dotted decimal, no leading zeros) or a camera\n"
                             "name from the list.\n"
                             "'tavixctl COMMAND --help' describes a command.\n"
                             "Exit codes: 0 success, 1 bad input or lost output, 2 no reply (get),\n"
                             "3 refused or failed, 130 interrupted.\n";

    struct CommandInfo {
        const char *name;
        const char *syntax; // positional syntax for the usage line
        const char *description;
    };
    constexpr CommandInfo kCommands[] = {
        { "list", "", "Lists the cameras the camera SDK enumerates: name, IPv4 address, MAC." },
        { "get", "CAMERA",
            "Asks the camera for its parameter report and prints frame rate, exposure time,\n"
            "sharpening threshold and sharpening strength, then the report's other members." },
        { "set", "CAMERA NAME VALUE",
            "Writes one parameter and waits for the camera's acknowledgement.\n"
            "NAME is a parameter file key (ExposureTime, Red-Gain, ...) or one of FrameRate,\n"
            "PrintRegister, SetRegister, StreamVdma, CaptureVdma, SensorSwitch, BlackLevelB,\n"
            "FilterThreshold, CameraIp, CameraName (any letter case), or a row label.\n"
            "Exit code 0 when the camera acknowledged, 3 when refused or unanswered." },
        { "apply", "CAMERA FILE.json",
            "Writes every non-empty value of a parameter file, one acknowledged write per\n"
            "key, and prints each key's outcome. Exit code 3 when any write failed." },
        { "firmware", "--camera CAMERA [--camera CAMERA ...] FILE...",
            "Downloads the files, in order, to every named camera; all cameras at once,\n"
            "each over its own connection to port 7766. Ends with a summary table.\n"
            "Exit code 0 only when every file reached every camera." },
        { "restart", "CAMERA", "Sends the restart frame over the camera's firmware port (7766)." },
    };

    const CommandInfo *infoFor(const QString &name)
    {
        for (const CommandInfo &info : kCommands) {
            if (name == QLatin1String(info.name))
                return &info;
        }
        return nullptr;
    }

    ParseResult failure(const QString &text)
    {
        ParseResult out;
        out.exitCode = ExitBadInput;
        out.error = QStringLiteral("tavixctl: %1\n").arg(text);
        return out;
    }

    std::optional<int> parseTimeout(const QString &text)
    {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
        if (!digits.match(text).hasMatch())
            return std::nullopt;
        const int value = text.toInt();
        if (value < 1 || value > kMaxTimeoutMs)
            return std::nullopt;
        return value;
    }

    // The help of one command. QCommandLineParser's own needs an application
    // object for the program name; this one is the same without it.
    QString helpText(const CommandInfo &info, const QList<QCommandLineOption> &options,
        const QList<QPair<QString, QString>> &positionals)
    {
        QList<QPair<QString, QString>> optionLines;
        for (const QCommandLineOption &option : options) {
            QStringList names;
            for (const QString &name : option.names())
                names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
            QString left = names.join(QStringLiteral(", "));
            if (!option.valueName().isEmpty())
                left += QStringLiteral(" <%1>").arg(option.valueName());
            optionLines << qMakePair(left, option.description());
        }
        int width = 0;
        for (const auto &line : optionLines + positionals)
            width = qMax(width, line.first.size());
        const auto lines = [width](const QList<QPair<QString, QString>> &items) {
            QString text;
            for (const auto &item : items)
                text += QStringLiteral("  %1  %2\n").arg(item.first.leftJustified(width), item.second);
            return text;
        };
        QString text = QStringLiteral("Usage: tavixctl %1 [options] %2\n%3\n\nOptions:\n")
                           .arg(QLatin1String(info.name), QLatin1String(info.syntax),
                               QString::fromUtf8(info.description))
            + lines(optionLines);
        if (!positionals.isEmpty())
            text += QStringLiteral("\nArguments:\n") + lines(positionals);
        return text;
    }

    QStringList withoutDuplicates(const QStringList &items)
    {
        QStringList out;
        for (const QString &item : items) {
            if (!out.contains(item))
                out << item;
        }
        return out;
    }

} // namespace

std::optional<QByteArray> parseMac(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^([0-9A-Fa-f]{1,2})([-:])([0-9A-Fa-f]{1,2})\\2([0-9A-Fa-f]{1,2})\\2([0-9A-Fa-f]{1,2})\\2"
        "([0-9A-Fa-f]{1,2})\\2([0-9A-Fa-f]{1,2})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QByteArray bytes;
    for (int group : { 1, 3, 4, 5, 6, 7 })
        bytes.append(char(match.captured(group).toUInt(nullptr, 16)));
    return bytes;
}

ParseResult parseArguments(const QStringList &arguments)
{
    const QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return failure(QStringLiteral("no command given\n\n") + QLatin1String(kOverview));
    const QString commandName = args.first();
    if (commandName == QLatin1String("--help") || commandName == QLatin1String("-h")
        || commandName == QLatin1String("help")) {
        ParseResult out;
        out.output = QLatin1String(kOverview);
        return out;
    }
    const CommandInfo *info = infoFor(commandName);
    if (!info)
        return failure(QStringLiteral("unknown command \"%1\" (list, get, set, apply, firmware, restart; "
                                      "--help for more)")
                           .arg(commandName));

    const QString command = commandName;
    const bool takesCamera = command != QLatin1String("list") && command != QLatin1String("firmware");

    QCommandLineParser parser;
    QList<QCommandLineOption> options;
    QList<QPair<QString, QString>> positionals;
    const auto addOption = [&](const QCommandLineOption &option) {
        parser.addOption(option);
        options << option;
    };
    const auto addPositional
        = [&](const QString &name, const QString &description, const QString &syntax = {}) {
              parser.addPositionalArgument(name, description, syntax);
              positionals << qMakePair(name, description);
          };
    const QCommandLineOption helpOption(
        { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Shows this help."));
    const QCommandLineOption verboseOption({ QStringLiteral("v"), QStringLiteral("verbose") },
        QStringLiteral("Shows the protocol's debug log on stderr."));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Prints JSON (see README)."));
    const QCommandLineOption macOption(QStringLiteral("mac"),
        QStringLiteral("The camera's MAC (0-e0-4c-68-1-2 or 00:e0:4c:68:01:02), when the SDK does not "
                       "list it."),
        QStringLiteral("MAC"));
    const QCommandLineOption cameraOption(QStringLiteral("camera"),
        QStringLiteral("A camera to download to (repeat for more)."), QStringLiteral("CAMERA"));
    const QCommandLineOption typeOption(QStringLiteral("type"),
        QStringLiteral("File type: boot (0x11, default), library (0x21) or config (0x31)."),
        QStringLiteral("TYPE"));
    const QCommandLineOption restartOption(
        QStringLiteral("restart"), QStringLiteral("Restarts each camera after its files, and waits for it."));
    const QCommandLineOption waitOption(
        QStringLiteral("wait"), QStringLiteral("Waits until the camera accepts connections again."));

    int defaultTimeout = kDefaultReplyTimeoutMs;
    QString timeoutText = QStringLiteral("How long to wait for the camera's reply, in ms (default %1).");
    if (command == QLatin1String("firmware")) {
        defaultTimeout = kDefaultFirmwareTimeoutMs;
        timeoutText = QStringLiteral("Longest silence of a camera, in ms (default %1).");
    } else if (command == QLatin1String("restart")) {
        defaultTimeout = kDefaultConnectTimeoutMs;
        timeoutText = QStringLiteral("How long to wait for each connection, in ms (default %1).");
    }
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"), timeoutText.arg(defaultTimeout), QStringLiteral("MS"));

    addOption(helpOption);
    addOption(verboseOption);
    if (command == QLatin1String("list") || command == QLatin1String("get"))
        addOption(jsonOption);
    if (command != QLatin1String("list"))
        addOption(timeoutOption);
    if (command == QLatin1String("set") || command == QLatin1String("apply"))
        addOption(macOption);
    if (command == QLatin1String("firmware")) {
        addOption(cameraOption);
        addOption(typeOption);
        addOption(restartOption);
    }
    if (command == QLatin1String("restart"))
        addOption(waitOption);
    if (takesCamera)
        addPositional(QStringLiteral("CAMERA"), QStringLiteral("IPv4 address or camera name."));
    if (command == QLatin1String("set")) {
        addPositional(QStringLiteral("NAME"), QStringLiteral("Parameter name."));
        addPositional(QStringLiteral("VALUE"), QStringLiteral("Value, as typed into the table."));
    } else if (command == QLatin1String("apply")) {
        addPositional(QStringLiteral("FILE"), QStringLiteral("Parameter file (JSON)."));
    } else if (command == QLatin1String("firmware")) {
        addPositional(QStringLiteral("FILE"), QStringLiteral("Files to download, in order."),
            QStringLiteral("FILE..."));
    }

    QStringList marked { QStringLiteral("tavixctl") };
    static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
    bool optionsEnded = false;
    for (const QString &arg : args.mid(1)) {
        optionsEnded = optionsEnded || arg == QLatin1String("--");
        marked << (!optionsEnded && negative.match(arg).hasMatch() ? kNegativeMark + arg : arg);
    }
    if (!parser.parse(marked))
        return failure(QStringLiteral("%1: %2").arg(command, parser.errorText()));

    if (parser.isSet(helpOption)) {
        ParseResult out;
        out.output = helpText(*info, options, positionals);
        return out;
    }

    QStringList positional;
    for (QString arg : parser.positionalArguments()) {
        if (arg.startsWith(kNegativeMark))
            arg.remove(0, 1);
        positional << arg;
    }

    Invocation inv;
    inv.verbose = parser.isSet(verboseOption);
    inv.json = command == QLatin1String("list") || command == QLatin1String("get") ? parser.isSet(jsonOption)
                                                                                   : false;
    inv.timeoutMs = defaultTimeout;
    if (command != QLatin1String("list") && parser.isSet(timeoutOption)) {
        const std::optional<int> timeout = parseTimeout(parser.value(timeoutOption));
        if (!timeout)
            return failure(QStringLiteral("%1: --timeout takes milliseconds from 1 to %2, not \"%3\"")
                               .arg(command)
                               .arg(kMaxTimeoutMs)
                               .arg(parser.value(timeoutOption)));
        inv.timeoutMs = *timeout;
    }
    if ((command == QLatin1String("set") || command == QLatin1String("apply")) && parser.isSet(macOption)) {
        const std::optional<QByteArray> mac = parseMac(parser.value(macOption));
        if (!mac)
            return failure(
                QStringLiteral("%1: --mac \"%2\" is not a MAC address (six hexadecimal bytes joined "
                               "by - or :)")
                    .arg(command, parser.value(macOption)));
        inv.mac = *mac;
    }

    int expected = 0; // positional arguments; -1: one or more
    if (command == QLatin1String("list")) {
        inv.command = Command::List;
    } else if (command == QLatin1String("get")) {
        inv.command = Command::Get;
        expected = 1;
    } else if (command == QLatin1String("set")) {
        inv.command = Command::Set;
        expected = 3;
    } else if (command == QLatin1String("apply")) {
        inv.command = Command::Apply;
        expected = 2;
    } else if (command == QLatin1String("restart")) {
        inv.command = Command::Restart;
        inv.wait = parser.isSet(waitOption);
        expected = 1;
    } else {
        inv.command = Command::Firmware;
        expected = -1;
    }
    if (expected >= 0 && positional.size() != expected) {
        return failure(
            QStringLiteral("%1 takes %2, got %3 argument(s) (--help for more)")
                .arg(command, expected == 0 ? QStringLiteral("no arguments") : QLatin1String(info->syntax))
                .arg(positional.size()));
    }

    switch (inv.command) {
    case Command::List:
        break;
    case Command::Get:
    case Command::Restart:
        inv.camera = positional.at(0);
        break;
    case Command::Set:
        inv.camera = positional.at(0);
        inv.name = positional.at(1);
        inv.value = positional.at(2);
        inv.row = rowForName(inv.name);
        if (inv.row < 0)
            return failure(QStringLiteral("set: unknown parameter \"%1\"; names: %2")
                               .arg(inv.name, rowNames().join(QStringLiteral(", "))));
        break;
    case Command::Apply:
        inv.camera = positional.at(0);
        inv.files = QStringList { positional.at(1) };
        break;
    case Command::Firmware: {
        inv.cameras = withoutDuplicates(parser.values(cameraOption));
        inv.files = withoutDuplicates(positional);
        inv.restart = parser.isSet(restartOption);
        if (inv.cameras.isEmpty())
            return failure(QStringLiteral("firmware: name at least one camera with --camera"));
        if (inv.files.isEmpty())
            return failure(QStringLiteral("firmware: name at least one file"));
        const QString type = parser.isSet(typeOption) ? parser.value(typeOption) : QStringLiteral("boot");
        if (type == QLatin1String("boot"))
            inv.typeCode = kTypeBoot;
        else if (type == QLatin1String("library"))
            inv.typeCode = kTypeLibrary;
        else if (type == QLatin1String("config"))
            inv.typeCode = kTypeConfig;
        else
            return failure(
                QStringLiteral("firmware: --type is boot, library or config, not \"%1\"").arg(type));
        break;
    }
    }
    ParseResult out;
    out.invocation = inv;
    return out;
}

} // namespace ctl
