// The command line of the tavix program.
#ifndef TAVIX_STARTOPTIONS_H
#define TAVIX_STARTOPTIONS_H

#include <QString>
#include <QStringList>

// What the command line asks for once the window is up.
struct StartOptions {
    // Camera record to select and open after start-up, as the list's context
    // menu would; -1 for none.
    int openRecord = -1;
    // The acquisition thread sleeps until a frame arrives instead of polling.
    bool waitForFrames = false;
    // The language of this run, "zh" or "en"; empty: the one the Language
    // menu chose last (Chinese when it never did).
    QString language;
};

// The outcome of reading the command line: start the window with `options`, or
// end at once with `exitCode`, printing `message` (on stdout for exit code 0,
// on stderr otherwise).
struct StartDecision {
    StartOptions options;
    bool start = true;
    int exitCode = 0;
    QString message;
};

// Reads `arguments` (the program name first, Qt's own options already taken
// out by the application object). --help and --version end with code 0; an
// unknown option, a missing or malformed camera index, a language other than
// zh or en, or a stray argument end with code 2 and the usage text. The version text is the application's
// name and version, so the application object must exist.
StartDecision parseStartOptions(const QStringList &arguments);

#endif
