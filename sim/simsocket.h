// The few socket calls the simulated cameras make, on POSIX sockets or on
// Winsock, so that the command responder and the firmware receiver read the
// same on both.
//
// Every socket is made so that a child process does not inherit it. Errors are
// read with socketErrorText() right after the call that failed.
#ifndef TAVIX_SIM_SIMSOCKET_H
#define TAVIX_SIM_SIMSOCKET_H

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <cstddef>

namespace linksim {

#ifdef Q_OS_WIN
using SocketHandle = SOCKET;
constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
#endif

// Starts the socket library once per process (Winsock's WSAStartup); true when
// sockets can be made.
bool socketsReady();

// A new IPv4 socket of `type` (SOCK_DGRAM or SOCK_STREAM), or kNoSocket.
SocketHandle openSocket(int type);
// Closes `socket` unless it is kNoSocket, and sets it to kNoSocket.
void closeSocket(SocketHandle &socket);
// Allows binding a port that other sockets (Tavix's) share; see the callers.
void allowAddressReuse(SocketHandle socket);
// Binds `socket` to ip:port (host order).
bool bindTo(SocketHandle socket, quint32 ip, quint16 port);
// Sends block for at most `ms` milliseconds.
void setSendTimeout(SocketHandle socket, int ms);
// The next waiting connection, or kNoSocket.
SocketHandle acceptClient(SocketHandle listener);

// send() that never raises SIGPIPE; the number of bytes sent, or -1.
long long sendBytes(SocketHandle socket, const char *data, std::size_t size);
// recv(); the number of bytes read, 0 at the peer's end, or -1.
long long receiveBytes(SocketHandle socket, char *data, std::size_t size);
// recvfrom() without waiting; the sender in `peer`.
long long receiveDatagram(SocketHandle socket, char *data, std::size_t size, sockaddr_in &peer);
long long sendDatagram(SocketHandle socket, const char *data, std::size_t size, const sockaddr_in &peer);

// One socket to wait on: `readable` and `invalid` are set by waitForSockets.
struct WaitEntry {
    SocketHandle socket = kNoSocket; // kNoSocket: not waited on
    bool readable = false; // data, a connection, the peer's end or an error is waiting
    bool invalid = false; // not an open socket
};
// Waits until one of `entries` is readable or `timeoutMs` (-1: no limit) has
// passed; false when the wait itself failed (an interrupted wait is no failure).
bool waitForSockets(WaitEntry *entries, int count, int timeoutMs);
// The call that just failed was interrupted by a signal, or would have had to
// wait: it may be tried again.
bool callMayBeRetried();

// The last socket error as text.
const char *socketErrorText();

// Wakes a thread that waits on sockets: one end it waits on, one end that any
// other thread writes to (a pipe on POSIX, a UDP socket talking to itself on
// 127.0.0.1 with Winsock, which cannot wait on pipes).
class Waker {
public:
    Waker() = default;
    ~Waker() { close(); }
    Waker(const Waker &) = delete;
    Waker &operator=(const Waker &) = delete;

    bool open();
    void close();
    // The socket to wait on for readability.
    SocketHandle waitHandle() const;
    // Makes waitHandle() readable; safe from any thread.
    void wake();

private:
#ifdef Q_OS_WIN
    SocketHandle m_socket = kNoSocket;
    sockaddr_in m_self {};
#else
    int m_read = -1;
    int m_write = -1;
#endif
};

} // namespace linksim

#endif
