// The camera that the UDP commands go to, and the text forms of camera
// addresses: dotted IPv4 and dash-separated MAC texts to and from bytes.
#ifndef TAVIX_CAMERACODE_H
#define TAVIX_CAMERACODE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <optional>

// Target of the UDP commands: the selected camera's dotted IPv4 text and its
// MAC address as bytes (normally 6). Both empty until a camera is selected.
struct CameraCodeRecord {
    QString Cam_ip;
    QByteArray Cam_mac;
};

// Turns a MAC text such as "0-e0-4c-68-1-2" into bytes (00 E0 4C 68 01 02).
// The text is split at every '-', empty parts kept; each part becomes one byte:
// the part read as unsigned hexadecimal (either case), cut to its low 8 bits.
// A part that is not a hexadecimal number (an empty part included) gives 0, so
// the result always has one byte more than the text has dashes.
QByteArray macToBytes(const QString &text);

// The MAC text of six bytes, first byte first: "%1-%2-%3-%4-%5-%6" with each
// byte in lower-case hexadecimal without leading zeros (00 E0 4C 68 01 02 gives
// "0-e0-4c-68-1-2"). macToBytes reads it back.
QString macText(const unsigned char (&mac)[6]);

// The dotted decimal text of four address bytes, first number first
// (7F 00 00 02 gives "127.0.0.2").
QString ipv4Text(const unsigned char (&ip)[4]);

// The same for an address in host order (0x7F000002 gives "127.0.0.2").
QString ipv4Text(quint32 address);

// Parses dotted IPv4 text strictly: four decimal numbers 0..255 separated by
// single dots, no sign, no blanks, no leading zeros ("0" itself is fine).
// Reads at most `maxBytes` bytes and stops early at a NUL. Returns the
// address in host order (first number in the top byte), or nothing; a null
// `text` gives nothing. Every address ipv4Text writes parses back to itself.
std::optional<quint32> parseDottedIpv4(const char *text, std::size_t maxBytes);

// The address that `text` writes with leading zeros ("192.168.001.010" gives
// 0xC0A8010A), when four numbers 0..255 written with leading zeros is all that
// keeps it from being strict dotted decimal; nothing for any other text
// (strict text included). Other programs read such numbers as octal, so
// callers refuse the text and can name the address it was probably meant as.
std::optional<quint32> addressWithLeadingZeros(const QString &text);

// Why an IPv4 address cannot be one camera's own address, so that no command
// or download is sent there. Loopback and link-local addresses are fine.
enum class AddressFault {
    None, // a host's address
    ThisNetwork, // 0.0.0.0/8: "this host on this network"; 0.0.0.0 is the any-address
    Broadcast, // 255.255.255.255 reaches every host of the network
    Multicast, // 224.0.0.0/4 names a group of hosts
    Reserved, // 240.0.0.0/4 (but 255.255.255.255) is reserved and given to no host
};

// The fault of `address` (host order: 127.0.0.2 is 0x7F000002).
AddressFault cameraAddressFault(quint32 address);

// What a fault means, in English words that finish "X cannot be a camera's
// address: ..." ("it is the broadcast address, which reaches every camera").
// Empty for AddressFault::None.
QString addressFaultText(AddressFault fault);

#endif
