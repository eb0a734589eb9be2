#include "sim/simsocket.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#ifdef Q_OS_WIN
#include <cstdio>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace linksim {

namespace {

    sockaddr_in ipv4Address(quint32 ip, quint16 port)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(ip);
        return address;
    }

#ifdef Q_OS_WIN
    // SIO_UDP_CONNRESET of mstcpip.h.
    constexpr DWORD kUdpConnReset = IOC_IN | IOC_VENDOR | 12;
#endif

} // namespace

#ifdef Q_OS_WIN

bool socketsReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        WSADATA data;
        // Never cleaned up: the cameras' sockets live until the process ends.
        ready = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return ready;
}

SocketHandle openSocket(int type)
{
    if (!socketsReady())
        return kNoSocket;
    const SocketHandle s
        = WSASocketW(AF_INET, type, 0, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != kNoSocket && type == SOCK_DGRAM) {
        // recvfrom must not wait once the wait said a datagram is there (it may be gone).
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        // A reply to a tool that has gone would make the next recvfrom fail
        // (the ICMP "port unreachable" reported back); POSIX sockets ignore it.
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, kUdpConnReset, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
    return s;
}

void closeSocket(SocketHandle &socket)
{
    if (socket != kNoSocket)
        ::closesocket(socket);
    socket = kNoSocket;
}

void allowAddressReuse(SocketHandle socket)
{
    const BOOL on = TRUE;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&on), sizeof on);
}

void setSendTimeout(SocketHandle socket, int ms)
{
    const DWORD timeout = DWORD(ms);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeout), sizeof timeout);
}

SocketHandle acceptClient(SocketHandle listener)
{
    // An accepted socket inherits WSA_FLAG_NO_HANDLE_INHERIT from its listener.
    return ::accept(listener, nullptr, nullptr);
}

long long sendBytes(SocketHandle socket, const char *data, std::size_t size)
{
    return ::send(socket, data, int(size), 0);
}

long long receiveBytes(SocketHandle socket, char *data, std::size_t size)
{
    return ::recv(socket, data, int(size), 0);
}

long long receiveDatagram(SocketHandle socket, char *data, std::size_t size, sockaddr_in &peer)
{
    int length = sizeof peer;
    return ::recvfrom(socket, data, int(size), 0, reinterpret_cast<sockaddr *>(&peer), &length);
}

long long sendDatagram(SocketHandle socket, const char *data, std::size_t size, const sockaddr_in &peer)
{
    return ::sendto(socket, data, int(size), 0, reinterpret_cast<const sockaddr *>(&peer), sizeof peer);
}

bool waitForSockets(WaitEntry *entries, int count, int timeoutMs)
{
    // WSAPoll takes open sockets only: the absent ones are left out.
    WSAPOLLFD fds[8];
    int map[8];
    int used = 0;
    for (int i = 0; i < count && used < 8; ++i) {
        entries[i].readable = entries[i].invalid = false;
        if (entries[i].socket == kNoSocket)
            continue;
        fds[used] = { entries[i].socket, POLLRDNORM, 0 };
        map[used++] = i;
    }
    if (used == 0) {
        ::Sleep(DWORD(timeoutMs < 0 ? INFINITE : timeoutMs));
        return true;
    }
    if (::WSAPoll(fds, ULONG(used), timeoutMs) == SOCKET_ERROR)
        return false;
    for (int k = 0; k < used; ++k) {
        WaitEntry &entry = entries[map[k]];
        entry.readable = (fds[k].revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0;
        entry.invalid = (fds[k].revents & POLLNVAL) != 0;
    }
    return true;
}

bool callMayBeRetried()
{
    const int error = WSAGetLastError();
    return error == WSAEINTR || error == WSAEWOULDBLOCK;
}

const char *socketErrorText()
{
    thread_local char text[64];
    std::snprintf(text, sizeof text, "Winsock error %d", WSAGetLastError());
    return text;
}

bool Waker::open()
{
    close();
    m_socket = openSocket(SOCK_DGRAM);
    if (m_socket == kNoSocket)
        return false;
    sockaddr_in self = ipv4Address(0x7F000001, 0);
    int length = sizeof self;
    if (::bind(m_socket, reinterpret_cast<const sockaddr *>(&self), sizeof self) != 0
        || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&self), &length) != 0) {
        close();
        return false;
    }
    m_self = self;
    return true;
}

void Waker::close()
{
    closeSocket(m_socket);
}

SocketHandle Waker::waitHandle() const
{
    return m_socket;
}

void Waker::wake()
{
    const char byte = 1;
    sendDatagram(m_socket, &byte, 1, m_self);
}

#else

bool socketsReady()
{
    return true;
}

SocketHandle openSocket(int type)
{
    return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

void closeSocket(SocketHandle &socket)
{
    if (socket >= 0)
        ::close(socket);
    socket = -1;
}

void allowAddressReuse(SocketHandle socket)
{
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

void setSendTimeout(SocketHandle socket, int ms)
{
    const timeval timeout { ms / 1000, (ms % 1000) * 1000 };
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

SocketHandle acceptClient(SocketHandle listener)
{
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

long long sendBytes(SocketHandle socket, const char *data, std::size_t size)
{
    return ::send(socket, data, size, MSG_NOSIGNAL);
}

long long receiveBytes(SocketHandle socket, char *data, std::size_t size)
{
    return ::recv(socket, data, size, 0);
}

long long receiveDatagram(SocketHandle socket, char *data, std::size_t size, sockaddr_in &peer)
{
    socklen_t length = sizeof peer;
    return ::recvfrom(socket, data, size, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&peer), &length);
}

long long sendDatagram(SocketHandle socket, const char *data, std::size_t size, const sockaddr_in &peer)
{
    return ::sendto(socket, data, size, 0, reinterpret_cast<const sockaddr *>(&peer), sizeof peer);
}

bool waitForSockets(WaitEntry *entries, int count, int timeoutMs)
{
    pollfd fds[8];
    const int used = count < 8 ? count : 8;
    for (int i = 0; i < used; ++i)
        fds[i] = { entries[i].socket, POLLIN, 0 }; // poll skips a negative descriptor
    if (::poll(fds, nfds_t(used), timeoutMs) < 0) {
        for (int i = 0; i < used; ++i)
            entries[i].readable = entries[i].invalid = false;
        return false;
    }
    for (int i = 0; i < used; ++i) {
        entries[i].readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
        entries[i].invalid = (fds[i].revents & POLLNVAL) != 0;
    }
    return true;
}

bool callMayBeRetried()
{
    return errno == EINTR || errno == EAGAIN;
}

const char *socketErrorText()
{
    return std::strerror(errno);
}

bool Waker::open()
{
    close();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_read = fds[0];
    m_write = fds[1];
    return true;
}

void Waker::close()
{
    closeSocket(m_read);
    closeSocket(m_write);
}

SocketHandle Waker::waitHandle() const
{
    return m_read;
}

void Waker::wake()
{
    const char byte = 1;
    while (::write(m_write, &byte, 1) < 0 && errno == EINTR) { }
}

#endif

bool bindTo(SocketHandle socket, quint32 ip, quint16 port)
{
    const sockaddr_in address = ipv4Address(ip, port);
    return ::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

} // namespace linksim
