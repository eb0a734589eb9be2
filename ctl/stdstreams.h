// tavixctl's standard streams: kept from being taken over when the caller
// closed them, and checked at the end, so that lost output never ends with
// exit code 0.
#ifndef TAVIX_CTL_STDSTREAMS_H
#define TAVIX_CTL_STDSTREAMS_H

class QTextStream;

namespace ctl {

struct StandardStreams {
    bool outClosed = false; // stdout was closed when the tool started (>&-)
};

// Call first in main, before anything opens a file or socket. The first file or
// socket the tool opened would take the number of a standard stream the caller
// closed, and receive the tool's output: a closed stdout or stderr gets
// /dev/full in its place (so that writes to it fail and are noticed), a closed
// stdin /dev/null. A pipe whose reader has gone fails writes (SIGPIPE is
// ignored) rather than ending the tool.
StandardStreams guardStandardStreams();

// Flushes `out` and `err` and the C streams beneath them, then returns
// `exitCode`, or ExitOutputLost (1) when anything written to stdout did not
// get there (its QTextStream failed, or stdout's own flush or error state says
// so). Lost output is reported on stderr with the command's own exit code;
// when stderr is lost too there is nobody to tell, and only the exit code says it.
int finishOutput(int exitCode, QTextStream &out, QTextStream &err, const StandardStreams &streams);

// Whether stdout is a terminal, where progress may be redrawn in place.
bool stdoutIsTerminal();

} // namespace ctl

#endif
