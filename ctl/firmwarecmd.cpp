#include "ctl/firmwarecmd.h"

#include <QTextStream>

namespace ctl {

int runFirmware(const Invocation &, const QVector<CameraEntry> &, QTextStream &, QTextStream &err)
{
    err << "tavixctl: firmware: not available yet\n";
    return ExitFailed;
}

} // namespace ctl
