// Running a parsed tavixctl command.
#ifndef TAVIX_CTL_COMMANDS_H
#define TAVIX_CTL_COMMANDS_H

#include "ctl/ctlargs.h"

class QTextStream;

namespace ctl {

// Starts the camera SDK, runs the command and returns the exit code. Results
// go to `out`, errors and warnings to `err`. Needs a QCoreApplication; the
// event loop runs inside.
int run(const Invocation &invocation, QTextStream &out, QTextStream &err);

} // namespace ctl

#endif
