// tavixctl: the cameras from the command line (see README, "Command line").
#include "core/testports.h"
#include "ctl/commands.h"
#include "ctl/ctlargs.h"
#include "ctl/interrupt.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char *argv[])
{
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
        return parsed.exitCode;
    }
    // The protocol's debug lines (and the SDK worker's) only on request.
    if (!parsed.invocation->verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    ctl::Invocation invocation = *parsed.invocation;
    invocation.commandPort = commandPortWithTestOverride();
    invocation.firmwarePort = firmwarePortWithTestOverride();
    ctl::Interrupt::instance().install();
    return ctl::run(invocation, out, err);
}
