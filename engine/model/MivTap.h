#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The moment something passed: steady time for intervals, wall-clock time for people.
struct MivTapTime
{
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
};

// One frame as it went over the line.
struct MivTapFrame
{
    bool incoming = false;
    QString peer;    // address or device path
    QString text;    // the decoded body
    QByteArray wire; // the bytes on the line, header and terminator included
    MivTapTime at;
};

// What happened to a connection.
enum class MivTapEventKind {
    Opened,       // the controller's transport opened: peer is this end, text what was opened
    Connected,    // a peer or client connected
    Disconnected, // it went: text says why
    Closed,       // the transport closed at this end
    Error,        // text is the description
    Reconnecting, // a try to open a lost connection again: attempt counts them, text says why
};

// Which end of the line a link is: a client sends the requests, a server's clients send them
// to it, and a serial line may do either.
enum class MivLinkRole { None, Client, Server, Serial };

struct MivTapEvent
{
    MivTapEventKind kind = MivTapEventKind::Error;
    QString peer;
    QString text;
    MivTapTime at;
    // Opened and Closed: where the transport opened to (a client's peer; a server's and a
    // serial line's own address), while peer is this end.
    QString target;
    MivLinkRole role = MivLinkRole::None; // of the link or transport; None when not known
    int attempt = 0;                      // Reconnecting: 1 for the first try
};

// Whoever watches a controller's traffic. Called on the engine's thread as things pass,
// also within a synchronous wait: it must take its copy and return at once, and never run
// the event loop or call back into the engine. A listener that attaches is first told what is
// open now (Opened, then Connected for each open link), with the times they opened.
class MivTap
{
public:
    virtual ~MivTap() = default;
    virtual void tapFrame(const MivTapFrame &frame) = 0;
    virtual void tapEvent(const MivTapEvent &event) = 0;
};
