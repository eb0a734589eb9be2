// Names of the parameter rows on the command line.
//
// Rows 2 to 21 go by their parameter file key ("ExposureTime"); the other rows
// have names of their own ("FrameRate", "CameraIp"). A row's label as the
// property table shows it ("曝光时间") names it too.
#ifndef TAVIX_CTL_PARAMNAMES_H
#define TAVIX_CTL_PARAMNAMES_H

#include <QString>
#include <QStringList>

namespace ctl {

// The command-line name of catalogue row `row` (0 to 29); empty outside.
QString rowName(int row);

// The row a name stands for: a row name in any letter case, or a row label
// exactly; -1 when none.
int rowForName(const QString &name);

// All row names, top to bottom.
QStringList rowNames();

} // namespace ctl

#endif
