// The command line of tavixctl: arguments in, a command to run (or a help
// text, or an error with its exit code) out. No file, socket or SDK is touched.
#ifndef TAVIX_CTL_CTLARGS_H
#define TAVIX_CTL_CTLARGS_H

#include "core/cmdframe.h"
#include "core/transfer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace ctl {

// Exit codes of the tool.
enum ExitCode {
    ExitOk = 0,
    ExitBadInput = 1, // usage, unknown camera or parameter, unreadable file, port not bindable
    ExitOutputLost = 1, // what was written to stdout did not get there (full disk, closed stdout)
    ExitNoReply = 2, // get, diff: the camera did not answer in time
    ExitFailed = 3, // refused or unanswered writes, failed downloads, unreachable camera, a stream
                    // that failed, a parameter that differs
    ExitInterrupted = 130, // Ctrl+C
};

enum class Command { List, Get, Set, Apply, Firmware, Restart, Stream, Diff };

constexpr int kDefaultReplyTimeoutMs = 2000; // get, set, apply, diff
constexpr int kDefaultConnectTimeoutMs = 5000; // restart: as long as the firmware dialog waits
constexpr int kDefaultFirmwareTimeoutMs = 10000; // firmware: longest silence of a camera
constexpr int kMaxTimeoutMs = 3600000;
constexpr int kDefaultStreamSeconds = 10;
constexpr int kMaxStreamSeconds = 86400; // a day
constexpr double kMaxExpectedFps = 1000;

// Firmware file types and their type codes (the header frame's first byte).
constexpr quint8 kTypeBoot = 0x11;
constexpr quint8 kTypeLibrary = 0x21;
constexpr quint8 kTypeConfig = 0x31;

struct Invocation {
    Command command = Command::List;
    bool json = false; // list, get, stream, diff
    bool verbose = false; // every command: show the protocol's debug log on stderr
    int timeoutMs = kDefaultReplyTimeoutMs;
    QString camera; // get, set, apply, restart, stream, diff: address or name as given
    QStringList cameras; // firmware: each --camera once, in order
    QByteArray mac; // --mac as 6 bytes; empty when not given
    QString name; // set: the parameter name as given
    int row = -1; // set: the catalogue row it names
    QString value; // set
    QStringList files; // apply, diff: one; firmware: each path once, in order
    quint8 typeCode = kTypeBoot; // firmware
    bool restart = false; // firmware: restart each camera after its files
    bool wait = false; // restart: wait until the camera accepts connections again
    int seconds = kDefaultStreamSeconds; // stream: how long to measure, from the first frame
    double expectFps = 0; // stream: the rate the camera should keep; 0 when not given
    QString csv; // stream: where the per-second rows go; empty when not asked for
    // The cameras' command port (UDP 3956) and firmware port (TCP 7766); the
    // parser leaves them alone, main moves them for the tests (core/testports.h).
    quint16 commandPort = cmdproto::kPort;
    quint16 firmwarePort = firmware::CameraPort;
};

struct ParseResult {
    std::optional<Invocation> invocation; // set when there is a command to run
    int exitCode = ExitOk; // when there is none: 0 after a help text, 1 after an error
    QString output; // help text, for stdout
    QString error; // error text, for stderr
};

// `arguments` as main gets them, program name first.
ParseResult parseArguments(const QStringList &arguments);

// A MAC address as 6 bytes: six parts of one or two hexadecimal digits,
// separated by '-' (as the camera list shows them: 0-e0-4c-68-1-2) or ':'.
// Anything else gives nothing.
std::optional<QByteArray> parseMac(const QString &text);

} // namespace ctl

#endif
