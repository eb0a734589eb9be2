// The cameras' command port (UDP 3956) and firmware port (TCP 7766) as Tavix
// uses them, with an override that exists for the tests only.
//
// A test program that runs while Tavix is open must not bind Tavix's ports:
// both sockets would share them and the kernel would hand each camera reply to
// one of the two. ctest gives every such test program ports of its own through
// TAVIX_COMMAND_PORT and TAVIX_FIRMWARE_PORT (matched by LINKSIM_COMMAND_PORT and
// LINKSIM_FIRMWARE_PORT for the simulated cameras). Nothing else sets them; an
// operator never needs to.
#ifndef TAVIX_TESTPORTS_H
#define TAVIX_TESTPORTS_H

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// A port number as the test settings write it: decimal digits only, 1 to 65535.
std::optional<quint16> parsePortSetting(const QByteArray &text);

// 3956 unless TAVIX_COMMAND_PORT (a test setting) names another port. A value
// that does not parse gets one warning and the fixed port.
quint16 commandPortWithTestOverride();
// 7766 unless TAVIX_FIRMWARE_PORT (a test setting) names another port.
quint16 firmwarePortWithTestOverride();

#endif
