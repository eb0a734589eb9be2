// tavixctl: the cameras from the command line (see README, "Command line").
#include "core/testports.h"
#include "ctl/commands.h"
#include "ctl/ctlargs.h"
#include "ctl/interrupt.h"
#include "ctl/stdstreams.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char *argv[])
{
    // Before anything opens a file or socket that could take a closed stream's place.
    const ctl::StandardStreams streams = ctl::guardStandardStreams();
#ifdef Q_OS_WIN
    // Lines end in "\n" as everywhere else, not "\r\n": scripts read the same bytes.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");

    const ctl::ParseResult parsed = ctl::parseArguments(app.arguments());
    if (!parsed.invocation) {
        out << parsed.output;
        err << parsed.error;
        return ctl::finishOutput(parsed.exitCode, out, err, streams);
    }
    // The protocol's debug lines (and the SDK worker's) only on request.
    if (!parsed.invocation->verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    ctl::Invocation invocation = *parsed.invocation;
    invocation.commandPort = commandPortWithTestOverride();
    invocation.firmwarePort = firmwarePortWithTestOverride();
    ctl::Interrupt::instance().install();
    const int exitCode = ctl::run(invocation, out, err);
    return ctl::finishOutput(exitCode, out, err, streams);
}
