#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// A blocking TCP socket connected to the port on 127.0.0.1, with Nagle off so that each request
// leaves at once; -1 when the connection fails.
inline int ConnectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends one frame and reads until the answer's terminating CR; false when the link fails.
inline bool BlockingRoundTrip(int fd, const QByteArray &frame)
{
    char buffer[256];
    if (::send(fd, frame.constData(), size_t(frame.size()), 0) != frame.size())
        return false;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        if (buffer[n - 1] == '\r')
            return true;
    }
}
