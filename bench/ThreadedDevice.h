#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <list>
#include <thread>

// A device that serves each connection on a thread of its own, answering every CR-terminated
// request at once: one connection's flood never holds up another's answers here, so what holds
// them up is what sits between. Every wait is a short poll, so that the destructor ends it.
class ThreadedDevice
{
public:
    static constexpr int kPollMs = 20;

    explicit ThreadedDevice(QByteArray answer) : m_answer(std::move(answer)) {}
    ~ThreadedDevice()
    {
        m_stop = true;
        if (m_acceptor.joinable())
            m_acceptor.join();
        for (std::thread &connection : m_connections)
            connection.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ThreadedDevice(const ThreadedDevice &) = delete;
    ThreadedDevice &operator=(const ThreadedDevice &) = delete;

    // Listens on a free loopback port and returns it, or 0.
    quint16 listen()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(m_fd, SOMAXCONN) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return 0;
        m_acceptor = std::thread([this] { accept(); });
        return ntohs(address.sin_port);
    }

private:
    void accept()
    {
        while (!m_stop) {
            pollfd p = {m_fd, POLLIN, 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            const int fd = ::accept(m_fd, nullptr, nullptr);
            if (fd >= 0)
                m_connections.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        char buffer[65536];
        QByteArray answers;
        while (!m_stop) {
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answers.resize(0);
            for (auto count = std::count(buffer, buffer + n, '\r'); count > 0; --count)
                answers += m_answer;
            if (!answers.isEmpty() && !sendAll(fd, answers))
                break;
        }
        ::close(fd);
    }

    bool sendAll(int fd, const QByteArray &bytes)
    {
        for (qsizetype sent = 0; sent < bytes.size() && !m_stop;) {
            pollfd p = {fd, POLLOUT, 0};
            if (::poll(&p, 1, kPollMs) <= 0)
                continue;
            const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    QByteArray m_answer;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::list<std::thread> m_connections; // only the acceptor adds, until it has been joined
};
