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
                             "  stream CAMERA                         count frames, check the frame rate\n"
                             "  diff CAMERA FILE.json                 the camera against a parameter file\n"
                             "\n"
                             "CAMERA is an IPv4 address (dotted decimal, no leading zeros) or a camera\n"
                             "name from the list.\n"
                             "'tavixctl COMMAND --help' describes a command.\n"
                             "Exit codes: 0 success, 1 bad input or lost output, 2 no reply (get, diff),\n"
                             "3 refused, failed or different, 130 interrupted.\n";

    // The options a command may take besides --help and --verbose, in the
    // order its help lists them.
    enum Option : unsigned {
        OptJson = 1u << 0,
        OptTimeout = 1u << 1,
        OptMac = 1u << 2,
        OptCamera = 1u << 3,
        OptType = 1u << 4,
        OptRestart = 1u << 5,
        OptWait = 1u << 6,
        OptSeconds = 1u << 7,
        OptExpectFps = 1u << 8,
        OptCsv = 1u << 9,
    };

    struct OptionInfo {
        Option flag;
        const char *name;
        const char *description; // for --timeout: %1 is the command's default
        const char *valueName; // empty: a switch
    };
    constexpr OptionInfo kOptions[] = {
        { OptJson, "json", "Prints JSON (see README).", "" },
        { OptTimeout, "timeout", nullptr, "MS" }, // described by the command
        { OptMac, "mac",
            "The camera's MAC (0-e0-4c-68-1-2 or 00:e0:4c:68:01:02), when the SDK does not list it.", "MAC" },
        { OptCamera, "camera", "A camera to download to (repeat for more).", "CAMERA" },
        { OptType, "type", "File type: boot (0x11, default), library (0x21) or config (0x31).", "TYPE" },
        { OptRestart, "restart", "Restarts each camera after its files, and waits for it.", "" },
        { OptWait, "wait", "Waits until the camera accepts connections again.", "" },
        { OptSeconds, "seconds", "How long to measure, in seconds from the first frame (default 10).", "N" },
        { OptExpectFps, "expect-fps",
            "The frame rate the camera should keep: the mean within 5 %, no second below 90 %.", "F" },
        { OptCsv, "csv", "Writes one row per second to FILE (second,delivered,dropped,longest_gap_ms).",
            "FILE" },
    };

    // A positional argument: CAMERA, NAME, VALUE or FILE.
    struct Positional {
        const char *name = nullptr;
        const char *description = nullptr;
    };

    const char kReplyTimeout[] = "How long to wait for the camera's reply, in ms (default %1).";

    // One command: its name and Command value, the help texts, its options and
    // positional arguments, and the default of its --timeout.
    struct CommandInfo {
        const char *name;
        Command command;
        const char *syntax; // positional syntax for the usage line
        const char *description;
        unsigned options;
        int timeoutMs; // the default --timeout
        const char *timeoutText; // its help, %1 the default
        Positional positionals[3];
        bool repeatsLast; // the last positional takes any number of arguments
    };
    const Positional kCamera { "CAMERA", "IPv4 address or camera name." };
    const CommandInfo kCommands[] = {
        { "list", Command::List, "", "Lists the cameras the camera SDK enumerates: name, IPv4 address, MAC.",
            OptJson, 0, nullptr, {}, false },
        { "get", Command::Get, "CAMERA",
            "Asks the camera for its parameter report and prints frame rate, exposure time,\n"
            "sharpening threshold and sharpening strength, then the report's other members.",
            OptJson | OptTimeout, kDefaultReplyTimeoutMs, kReplyTimeout, { kCamera }, false },
        { "set", Command::Set, "CAMERA NAME VALUE",
            "Writes one parameter and waits for the camera's acknowledgement.\n"
            "NAME is a parameter file key (ExposureTime, Red-Gain, ...) or one of FrameRate,\n"
            "PrintRegister, SetRegister, StreamVdma, CaptureVdma, SensorSwitch, BlackLevelB,\n"
            "FilterThreshold, CameraIp, CameraName (any letter case), or a row label.\n"
            "Exit code 0 when the camera acknowledged, 3 when refused or unanswered.",
            OptTimeout | OptMac, kDefaultReplyTimeoutMs, kReplyTimeout,
            { kCamera, { "NAME", "Parameter name." }, { "VALUE", "Value, as typed into the table." } },
            false },
        { "apply", Command::Apply, "CAMERA FILE.json",
            "Writes every non-empty value of a parameter file, one acknowledged write per\n"
            "key, and prints each key's outcome. Exit code 3 when any write failed.",
            OptTimeout | OptMac, kDefaultReplyTimeoutMs, kReplyTimeout,
            { kCamera, { "FILE", "Parameter file (JSON)." } }, false },
        { "firmware", Command::Firmware, "--camera CAMERA [--camera CAMERA ...] FILE...",
            "Downloads the files, in order, to every named camera; all cameras at once,\n"
            "each over its own connection to port 7766. Ends with a summary table.\n"
            "Exit code 0 only when every file reached every camera.",
            OptTimeout | OptCamera | OptType | OptRestart, kDefaultFirmwareTimeoutMs,
            "Longest silence of a camera, in ms (default %1).",
            { { "FILE", "Files to download, in order." } }, true },
        { "restart", Command::Restart, "CAMERA",
            "Sends the restart frame over the camera's firmware port (7766).", OptTimeout | OptWait,
            kDefaultConnectTimeoutMs, "How long to wait for each connection, in ms (default %1).",
            { kCamera }, false },
        { "stream", Command::Stream, "CAMERA",
            "Opens the camera through the SDK and counts its frames for N seconds: frames\n"
            "delivered and dropped, frames per second, the longest gap. Passes with no\n"
            "drop and no second without a frame (with --expect-fps also at the rate).\n"
            "Exit code 0 on pass, 3 on fail, 1 when the camera cannot be opened.",
            OptJson | OptSeconds | OptExpectFps | OptCsv, 0, nullptr, { kCamera }, false },
        { "diff", Command::Diff, "CAMERA FILE.json",
            "Compares the camera's parameter report with a parameter file: each non-empty\n"
            "member the report carries is equal or differs (numbers as numbers); the others\n"
            "are not checked. Exit code 0 when all are equal, 3 when one differs or none\n"
            "could be compared, 2 without a report.",
            OptJson | OptTimeout, kDefaultReplyTimeoutMs, kReplyTimeout,
            { kCamera, { "FILE", "Parameter file (JSON)." } }, false },
    };

    const CommandInfo *infoFor(const QString &name)
    {
        for (const CommandInfo &info : kCommands) {
            if (name == QLatin1String(info.name))
                return &info;
        }
        return nullptr;
    }

    QString commandNames()
    {
        QStringList names;
        for (const CommandInfo &info : kCommands)
            names << QLatin1String(info.name);
        return names.join(QStringLiteral(", "));
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

    // Whole seconds from 1 to a day.
    std::optional<int> parseSeconds(const QString &text)
    {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
        const int value = digits.match(text).hasMatch() ? text.toInt() : 0;
        if (value < 1 || value > kMaxStreamSeconds)
            return std::nullopt;
        return value;
    }

    // Frames per second above 0, up to 1000, with at most three decimals (29.97).
    std::optional<double> parseFps(const QString &text)
    {
        static const QRegularExpression number(QStringLiteral("^[0-9]{1,4}(\\.[0-9]{1,3})?$"));
        const double value = number.match(text).hasMatch() ? text.toDouble() : 0;
        if (!(value > 0) || value > kMaxExpectedFps)
            return std::nullopt;
        return value;
    }

    std::optional<quint8> typeCode(const QString &type)
    {
        if (type == QLatin1String("boot"))
            return kTypeBoot;
        if (type == QLatin1String("library"))
            return kTypeLibrary;
        if (type == QLatin1String("config"))
            return kTypeConfig;
        return std::nullopt;
    }

    // The parser for one command, built from its table entry.
    struct CommandParser {
        explicit CommandParser(const CommandInfo &info)
            : info(info)
        {
            add(QCommandLineOption(
                { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Shows this help.")));
            add(QCommandLineOption({ QStringLiteral("v"), QStringLiteral("verbose") },
                QStringLiteral("Shows the protocol's debug log on stderr.")));
            for (const OptionInfo &option : kOptions) {
                if (!(info.options & option.flag))
                    continue;
                const QString description = option.flag == OptTimeout
                    ? QString::fromUtf8(info.timeoutText).arg(info.timeoutMs)
                    : QString::fromUtf8(option.description);
                add(QCommandLineOption(
                    QLatin1String(option.name), description, QLatin1String(option.valueName)));
            }
            for (const Positional &positional : info.positionals) {
                if (!positional.name)
                    break;
                const QString name = QLatin1String(positional.name);
                const QString description = QLatin1String(positional.description);
                parser.addPositionalArgument(name, description);
                positionals << qMakePair(name, description);
            }
        }

        void add(const QCommandLineOption &option)
        {
            parser.addOption(option);
            options << option;
        }

        bool takes(Option option) const { return info.options & option; }
        bool takes(const char *positional) const
        {
            for (const Positional &p : info.positionals) {
                if (p.name && qstrcmp(p.name, positional) == 0)
                    return true;
            }
            return false;
        }
        bool isSet(const char *name) const { return parser.isSet(QLatin1String(name)); }
        QString value(const char *name) const { return parser.value(QLatin1String(name)); }

        int positionalCount() const
        {
            int n = 0;
            while (n < 3 && info.positionals[n].name)
                ++n;
            return n;
        }

        const CommandInfo &info;
        QCommandLineParser parser;
        QList<QCommandLineOption> options;
        QList<QPair<QString, QString>> positionals;
    };

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
    const QString command = args.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        ParseResult out;
        out.output = QLatin1String(kOverview);
        return out;
    }
    const CommandInfo *info = infoFor(command);
    if (!info)
        return failure(
            QStringLiteral("unknown command \"%1\" (%2; --help for more)").arg(command, commandNames()));

    CommandParser p(*info);
    QStringList marked { QStringLiteral("tavixctl") };
    static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
    bool optionsEnded = false;
    for (const QString &arg : args.mid(1)) {
        optionsEnded = optionsEnded || arg == QLatin1String("--");
        marked << (!optionsEnded && negative.match(arg).hasMatch() ? kNegativeMark + arg : arg);
    }
    if (!p.parser.parse(marked))
        return failure(QStringLiteral("%1: %2").arg(command, p.parser.errorText()));

    if (p.isSet("help")) {
        ParseResult out;
        out.output = helpText(*info, p.options, p.positionals);
        return out;
    }

    QStringList positional;
    for (QString arg : p.parser.positionalArguments()) {
        if (arg.startsWith(kNegativeMark))
            arg.remove(0, 1);
        positional << arg;
    }

    Invocation inv;
    inv.command = info->command;
    inv.verbose = p.isSet("verbose");
    inv.json = p.takes(OptJson) && p.isSet("json");
    inv.timeoutMs = info->timeoutMs ? info->timeoutMs : kDefaultReplyTimeoutMs;
    if (p.takes(OptTimeout) && p.isSet("timeout")) {
        const std::optional<int> timeout = parseTimeout(p.value("timeout"));
        if (!timeout)
            return failure(QStringLiteral("%1: --timeout takes milliseconds from 1 to %2, not \"%3\"")
                               .arg(command)
                               .arg(kMaxTimeoutMs)
                               .arg(p.value("timeout")));
        inv.timeoutMs = *timeout;
    }
    if (p.takes(OptMac) && p.isSet("mac")) {
        const std::optional<QByteArray> mac = parseMac(p.value("mac"));
        if (!mac)
            return failure(QStringLiteral(
                "%1: --mac \"%2\" is not a MAC address (six hexadecimal bytes joined by - or :)")
                               .arg(command, p.value("mac")));
        inv.mac = *mac;
    }

    const int expected = p.positionalCount();
    if (!info->repeatsLast && positional.size() != expected) {
        return failure(
            QStringLiteral("%1 takes %2, got %3 argument(s) (--help for more)")
                .arg(command, expected == 0 ? QStringLiteral("no arguments") : QLatin1String(info->syntax))
                .arg(positional.size()));
    }
    for (int i = 0; i < expected && i < positional.size(); ++i) {
        const QLatin1String name(info->positionals[i].name);
        const QStringList values
            = info->repeatsLast && i == expected - 1 ? positional.mid(i) : positional.mid(i, 1);
        if (name == QLatin1String("CAMERA"))
            inv.camera = values.first();
        else if (name == QLatin1String("NAME"))
            inv.name = values.first();
        else if (name == QLatin1String("VALUE"))
            inv.value = values.first();
        else if (name == QLatin1String("FILE"))
            inv.files = withoutDuplicates(values);
    }

    if (p.takes("NAME")) {
        inv.row = rowForName(inv.name);
        if (inv.row < 0)
            return failure(QStringLiteral("%1: unknown parameter \"%2\"; names: %3")
                               .arg(command, inv.name, rowNames().join(QStringLiteral(", "))));
    }
    if (p.takes(OptCamera)) {
        inv.cameras = withoutDuplicates(p.parser.values(QStringLiteral("camera")));
        if (inv.cameras.isEmpty())
            return failure(QStringLiteral("%1: name at least one camera with --camera").arg(command));
    }
    if (info->repeatsLast && inv.files.isEmpty())
        return failure(QStringLiteral("%1: name at least one file").arg(command));
    if (p.takes(OptType)) {
        const QString type = p.isSet("type") ? p.value("type") : QStringLiteral("boot");
        const std::optional<quint8> code = typeCode(type);
        if (!code)
            return failure(
                QStringLiteral("%1: --type is boot, library or config, not \"%2\"").arg(command, type));
        inv.typeCode = *code;
    }
    if (p.takes(OptSeconds) && p.isSet("seconds")) {
        const std::optional<int> seconds = parseSeconds(p.value("seconds"));
        if (!seconds)
            return failure(QStringLiteral("%1: --seconds takes whole seconds from 1 to %2, not \"%3\"")
                               .arg(command)
                               .arg(kMaxStreamSeconds)
                               .arg(p.value("seconds")));
        inv.seconds = *seconds;
    }
    if (p.takes(OptExpectFps) && p.isSet("expect-fps")) {
        const std::optional<double> fps = parseFps(p.value("expect-fps"));
        if (!fps)
            return failure(QStringLiteral(
                "%1: --expect-fps takes frames per second above 0, up to %2 (30, 29.97), not \"%3\"")
                               .arg(command)
                               .arg(kMaxExpectedFps)
                               .arg(p.value("expect-fps")));
        inv.expectFps = *fps;
    }
    if (p.takes(OptCsv) && p.isSet("csv")) {
        inv.csv = p.value("csv");
        if (inv.csv.isEmpty())
            return failure(QStringLiteral("%1: --csv takes a file name").arg(command));
    }
    inv.restart = p.takes(OptRestart) && p.isSet("restart");
    inv.wait = p.takes(OptWait) && p.isSet("wait");

    ParseResult out;
    out.invocation = inv;
    return out;
}

} // namespace ctl
