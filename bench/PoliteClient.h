#pragma once

#include "LoopbackSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <stop_token>
#include <thread>

// A well-behaved client on its own thread: sends empty frames, never more than kInFlight of them
// unanswered, until it has its `count` answers, is finished or is stopped. Ten of them bring a server the load
// of a flood spread fairly over connections.
class PoliteClient
{
public:
    static constexpr qint64 kInFlight = 16;
    static constexpr int kPollMs = 20;

    explicit PoliteClient(quint16 port) : m_fd(ConnectLoopback(port)) {}
    ~PoliteClient()
    {
        m_thread = std::jthread(); // asks the thread to stop, and joins it
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PoliteClient(const PoliteClient &) = delete;
    PoliteClient &operator=(const PoliteClient &) = delete;

    bool connected() const { return m_fd >= 0; }
    void start(qint64 count)
    {
        m_count = count;
        m_thread = std::jthread([this](std::stop_token stop) { run(stop); });
    }
    // Sends no more; done() once what was sent is answered. A server may take a client that leaves
    // with answers unread for a fault.
    void finish() { m_count = sent.load(); }
    bool done() const { return lost || answers >= m_count; }

    std::atomic<qint64> sent{0};
    std::atomic<qint64> answers{0};
    std::atomic<bool> lost{false}; // the server closed the connection

private:
    void run(const std::stop_token &stop)
    {
        char frames[kInFlight];
        std::fill(std::begin(frames), std::end(frames), '\r');
        char buffer[4096];
        while (!stop.stop_requested() && answers < m_count) {
            const qint64 room = std::min(kInFlight - (sent - answers), m_count - sent);
            pollfd p = {m_fd, short(POLLIN | (room > 0 ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n <= 0) {
                    lost = true;
                    return;
                }
                answers += std::count(buffer, buffer + n, '\r');
            }
            if ((p.revents & POLLOUT) && room > 0) {
                const ssize_t n = ::send(m_fd, frames, size_t(room), MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n > 0)
                    sent += n;
            }
        }
    }

    int m_fd = -1;
    std::atomic<qint64> m_count{0};
    std::jthread m_thread;
};
