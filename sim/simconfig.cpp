#include "sim/simconfig.h"

#include <cstdio>
#include <cstdlib>

namespace linksim {

namespace {

    void reject(
        const char *variable, const QByteArray &value, const char *expected, const QByteArray &fallback)
    {
        std::fprintf(stderr, "linksim: %s=\"%s\" is not %s; using %s\n", variable, value.constData(),
            expected, fallback.constData());
    }

    // Decimal digits only, no sign or blanks, at most 9 digits.
    std::optional<int> parseCount(const QByteArray &text)
    {
        if (text.isEmpty() || text.size() > 9)
            return std::nullopt;
        int value = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    }

    void readInt(const SimConfig::Lookup &lookup, const char *variable, int low, int high, int &target)
    {
        const std::optional<QByteArray> text = lookup(variable);
        if (!text)
            return;
        const std::optional<int> value = parseCount(*text);
        if (value && *value >= low && *value <= high) {
            target = *value;
            return;
        }
        const QByteArray expected
            = "a whole number from " + QByteArray::number(low) + " to " + QByteArray::number(high);
        reject(variable, *text, expected.constData(), QByteArray::number(target));
    }

} // namespace

bool isCameraAddress(quint32 ip)
{
    return (ip >> 24) == 127 && ip != 0x7F000000 && ip != 0x7F000001 && ip != 0x7FFFFFFF;
}

SimConfig SimConfig::fromLookup(const Lookup &lookup)
{
    SimConfig config;
    readInt(lookup, "LINKSIM_COUNT", 1, kMaxCameras, config.count);
    readInt(lookup, "LINKSIM_WIDTH", kMinSize, kMaxSize, config.width);
    readInt(lookup, "LINKSIM_HEIGHT", kMinSize, kMaxSize, config.height);
    readInt(lookup, "LINKSIM_FPS", 1, kMaxFps, config.fps);
    readInt(lookup, "LINKSIM_BURST", 1, kMaxBurst, config.burst);
    int commandPort = config.commandPort;
    readInt(lookup, "LINKSIM_COMMAND_PORT", 1, 65535, commandPort);
    config.commandPort = quint16(commandPort);
    int firmwarePort = config.firmwarePort;
    readInt(lookup, "LINKSIM_FIRMWARE_PORT", 1, 65535, firmwarePort);
    config.firmwarePort = quint16(firmwarePort);

    if (const std::optional<QByteArray> text = lookup("LINKSIM_FORMAT")) {
        const QByteArray lower = text->toLower();
        if (lower == "mono")
            config.format = PixelFormat::Mono;
        else if (lower == "color")
            config.format = PixelFormat::Color;
        else if (lower == "alternate")
            config.format = PixelFormat::Alternate;
        else
            reject("LINKSIM_FORMAT", *text, "mono, color or alternate", "alternate");
    }

    if (const std::optional<QByteArray> text = lookup("LINKSIM_NETWORK")) {
        if (*text == "0" || *text == "1")
            config.network = *text == "1";
        else
            reject("LINKSIM_NETWORK", *text, "0 or 1", "1");
    }

    if (const std::optional<QByteArray> text = lookup("LINKSIM_BASE_IP")) {
        const std::optional<quint32> ip = parseDottedIpv4(text->constData(), std::size_t(text->size()));
        // Every camera's address, base + 0 to base + count - 1, must be usable.
        if (ip && isCameraAddress(*ip) && isCameraAddress(*ip + quint32(config.count - 1)))
            config.baseIp = *ip;
        else
            reject("LINKSIM_BASE_IP", *text,
                "a dotted address in 127.0.0.0/8 leaving room for every camera (127.0.0.0, 127.0.0.1 "
                "and 127.255.255.255 excluded)",
                ipv4Text(config.baseIp).toLatin1());
    }
    return config;
}

SimConfig SimConfig::fromEnvironment()
{
    return fromLookup([](const char *name) -> std::optional<QByteArray> {
        const char *value = std::getenv(name);
        if (!value)
            return std::nullopt;
        return QByteArray(value);
    });
}

std::vector<CameraSetup> SimConfig::cameras() const
{
    std::vector<CameraSetup> setups;
    int monoCount = 0;
    int colorCount = 0;
    for (int i = 0; i < count; ++i) {
        const bool color = format == PixelFormat::Color || (format == PixelFormat::Alternate && i % 2 == 1);
        const int ordinal = color ? ++colorCount : ++monoCount;
        CameraSetup setup;
        setup.name = color ? "SimCam-Color" : "SimCam-Mono";
        if (ordinal > 1)
            setup.name += '-' + QByteArray::number(ordinal);
        setup.ip = baseIp + quint32(i);
        setup.mac = { 0x02, 0x54, 0x56, 0x00, 0x00, uchar(i + 1) };
        setup.width = width;
        setup.height = height;
        setup.bytesPerPixel = color ? 3 : 1;
        setup.fps = fps;
        setup.burst = burst;
        setups.push_back(setup);
    }
    return setups;
}

} // namespace linksim
