// The program's debug log kept for the log view: a Qt message handler that
// puts every message, with its time, into one LogBuffer and hands it on to the
// handler before it (Qt's own, which writes to stderr).
#ifndef TAVIX_LOGCAPTURE_H
#define TAVIX_LOGCAPTURE_H

#include "core/logbuffer.h"

namespace logcapture {

// The buffer of the log view: the last LogBuffer::DefaultCapacity lines.
LogBuffer &buffer();

// Installs the handler once; later calls do nothing. Warnings and worse are
// kept with a "Warning: " (...) prefix, debug and info lines as written.
void install();

} // namespace logcapture

#endif
