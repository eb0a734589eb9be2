// The firmware command: files to several cameras at once, one download
// session and one connection per camera, with progress and a summary.
#ifndef TAVIX_CTL_FIRMWARECMD_H
#define TAVIX_CTL_FIRMWARECMD_H

#include "ctl/cameras.h"
#include "ctl/ctlargs.h"

#include <QVector>

class QTextStream;

namespace ctl {

int runFirmware(
    const Invocation &invocation, const QVector<CameraEntry> &cameras, QTextStream &out, QTextStream &err);

} // namespace ctl

#endif
