#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

// A TCP client on its own thread with a plain socket: sends its bytes as fast as the server
// takes them and, when asked, reads and counts the answers (CR-terminated) meanwhile. Every
// wait is a short poll, so that stop() ends it. For flood tests and benchmarks.
class FloodClient
{
public:
    static constexpr int kPollMs = 20;

    FloodClient() = default;
    ~FloodClient() { stop(); }
    FloodClient(const FloodClient &) = delete;
    FloodClient &operator=(const FloodClient &) = delete;

    bool connectTo(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    // bytes must outlive the client.
    void start(const QByteArray &bytes, bool reads)
    {
        m_thread = std::thread([this, &bytes, reads] { run(bytes, reads); });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    std::atomic<qint64> written{0};
    std::atomic<qint64> answers{0};

private:
    void run(const QByteArray &bytes, bool reads)
    {
        char buffer[65536];
        while (!m_stop && (written < bytes.size() || reads)) {
            pollfd p = {m_fd, short((reads ? POLLIN : 0) | (written < bytes.size() ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n <= 0)
                    return;
                answers += std::count(buffer, buffer + n, '\r');
            }
            if (p.revents & POLLOUT) {
                const ssize_t n = ::send(m_fd, bytes.constData() + written, size_t(bytes.size() - written),
                                         MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n > 0)
                    written += n;
            }
        }
    }

    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
