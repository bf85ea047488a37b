#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

ScriptedPeer::~ScriptedPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
}

bool ScriptedPeer::start(QList<Step> steps)
{
    m_steps = std::move(steps);
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(m_listen, 4) != 0
        || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] {
        if (readable(m_listen))
            run(::accept(m_listen, nullptr, nullptr));
    });
    return true;
}

bool ScriptedPeer::connectTo(quint16 port, QList<Step> steps)
{
    m_steps = std::move(steps);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_thread = std::thread(&ScriptedPeer::run, this, fd);
    return true;
}

// Every wait is a short poll so that the destructor can stop the thread.
bool ScriptedPeer::readable(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    while (!m_stop) {
        if (::poll(&p, 1, 20) > 0)
            return true;
    }
    return false;
}

void ScriptedPeer::run(int fd)
{
    qsizetype step = 0;
    QByteArray pending;
    char chunk[4096];
    while (!m_steps.isEmpty() && readable(fd)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        pending.append(chunk, n);
        for (qsizetype cr = pending.indexOf('\r'); cr >= 0; cr = pending.indexOf('\r')) {
            pending.remove(0, cr + 1);
            if (step >= m_steps.size())
                continue;
            const Step &s = m_steps.at(step++);
            std::this_thread::sleep_for(std::chrono::milliseconds(s.delayMs));
            const bool closes = s.answer.endsWith('!');
            if (s.answer != "-") {
                const QByteArray frame = closes ? s.answer.chopped(1) : s.answer + '\r';
                [[maybe_unused]] const ssize_t sent = ::send(fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL);
            }
            if (closes) {
                ::close(fd);
                return;
            }
        }
    }
    ::close(fd);
}
