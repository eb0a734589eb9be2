// Which announced file names the simulated camera's firmware receiver keeps.
//
// The name comes from the header frame and becomes a file in the camera's
// folder, so it must name a file inside that folder and nothing else: not
// empty, not "." or "..", no "/" and no control characters. On Windows the
// file system also reads "\" and ":" as separators (a drive, a stream), treats
// CON, NUL, COM1 ... as devices in any folder, drops trailing dots and blanks,
// and has no room for * ? " < > |: such names are refused there too.
#ifndef TAVIX_SIM_FIRMWARENAME_H
#define TAVIX_SIM_FIRMWARENAME_H

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace linksim {

#ifdef Q_OS_WIN
constexpr bool kWindowsFileNames = true;
#else
constexpr bool kWindowsFileNames = false;
#endif

inline bool isSafeFirmwareName(const QByteArray &name, bool windowsRules = kWindowsFileNames)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        if (c == '/' || uchar(c) < 0x20)
            return false;
        if (windowsRules && QByteArray("\\:*?\"<>|").contains(c))
            return false;
    }
    if (!windowsRules)
        return true;
    if (name.endsWith('.') || name.endsWith(' '))
        return false;
    // A device name stays a device with any extension ("nul.txt").
    const QByteArray stem
        = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.')).toUpper().trimmed();
    static const QList<QByteArray> devices = { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$" };
    if (devices.contains(stem))
        return false;
    const bool numbered = stem.size() == 4 && (stem.startsWith("COM") || stem.startsWith("LPT"));
    return !(numbered && stem[3] >= '0' && stem[3] <= '9');
}

} // namespace linksim

#endif
