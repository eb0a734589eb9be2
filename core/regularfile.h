// Files the operator names (firmware files, parameter files) are read only
// when they are regular files. Opening a FIFO blocks until something writes to
// it; a directory, a device or a socket holds no file of ours.
#ifndef TAVIX_CORE_REGULARFILE_H
#define TAVIX_CORE_REGULARFILE_H

#include <QFile>
#include <QString>

#include <functional>

namespace regularfile {

// What the path names, when it exists.
enum class Kind { Missing, Regular, Directory, Fifo, Device, Socket, Other };

// The kind of file at `path`, following symbolic links. Looks at the file
// system only: never opens the file, so it cannot block on a FIFO.
Kind kindOf(const QString &path);

// A short English word group for a kind that is not a regular file, for log
// lines and the command-line tool: "a directory", "a FIFO (named pipe)", ...;
// empty for Regular.
QString kindText(Kind kind);

// Opens the file at `path` into `file` (a QFile without a name) for reading
// when it is a regular file. The kind is checked on the opened descriptor,
// and the open itself does not wait (O_NONBLOCK), so a FIFO put in the file's
// place after a check still cannot block. The opened QFile has no file name
// (it reads from the descriptor); keep `path` for messages. On refusal the
// file stays closed and `kind` (when given) says what was found instead; a
// file that cannot be opened at all gives false with Regular or Missing.
// `mode` may add QIODevice::Text.
bool openForReading(
    QFile &file, const QString &path, QIODevice::OpenMode mode = QIODevice::ReadOnly, Kind *kind = nullptr);

// The first of pathFor(0), pathFor(1), ..., pathFor(attempts - 1) that names
// nothing yet: no file, no folder, not even a dangling link. Empty when every
// one is taken.
QString firstUnusedPath(const std::function<QString(int attempt)> &pathFor, int attempts);

} // namespace regularfile

#endif
