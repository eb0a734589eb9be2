// The stream command: a camera's frames counted for a number of seconds, for
// commissioning (does it keep its rate without lost frames?), with a summary,
// pass or fail, and optionally one CSV row per second.
#ifndef TAVIX_CTL_STREAMCMD_H
#define TAVIX_CTL_STREAMCMD_H

#include "ctl/cameras.h"
#include "ctl/ctlargs.h"

#include <QVector>

class QTextStream;

namespace ctl {

// How long the camera may take to send its first frame after it was started.
constexpr int kFirstFrameWaitMs = 5000;

int runStream(
    const Invocation &invocation, const QVector<CameraEntry> &cameras, QTextStream &out, QTextStream &err);

} // namespace ctl

#endif
