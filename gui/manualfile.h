// Where the help action finds the user manual, Tavix.pdf.
#ifndef TAVIX_MANUALFILE_H
#define TAVIX_MANUALFILE_H

#include <QString>

// The manual's file name, in every place it is looked for.
constexpr char kManualFileName[] = "Tavix.pdf";

// The manual to open: Tavix.pdf in `workingDir`; when that is no regular file,
// the one in `programDir` (the build puts it beside the executable); then the
// installed one in the documentation folder, `docFromProgram` relative to
// `programDir` (empty: not looked for). Empty when there is none.
QString findManual(const QString &workingDir, const QString &programDir, const QString &docFromProgram);

#endif
