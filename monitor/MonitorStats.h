#pragma once

#include "LatencyHistogram.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>

// Counts and answer times per request command, and the frames that answered nothing.
class MonitorStats
{
public:
    enum Command { Start, Stop, Put, Get, Other };
    static constexpr std::size_t kCommands = Other + 1;

    struct PerCommand
    {
        std::uint64_t requests = 0;
        std::uint64_t unanswered = 0; // given up or left waiting at a close
        LatencyHistogram answers;     // one time per answered request
    };

    // The command of a request: its text up to the first colon.
    static Command commandOf(const QString &request);
    static const char *commandName(Command command);

    void addRequest(const QString &request) { ++m_commands[commandOf(request)].requests; }
    void addAnswer(const QString &request, std::chrono::nanoseconds time)
    {
        m_commands[commandOf(request)].answers.record(time);
    }
    void addUnanswered(const QString &request) { ++m_commands[commandOf(request)].unanswered; }
    void addStray() { ++m_strays; }
    void addError() { ++m_errors; }

    const PerCommand &command(Command command) const { return m_commands[command]; }
    std::uint64_t strays() const { return m_strays; }
    std::uint64_t errors() const { return m_errors; }
    void reset() { *this = MonitorStats(); }

private:
    std::array<PerCommand, kCommands> m_commands;
    std::uint64_t m_strays = 0;
    std::uint64_t m_errors = 0;
};
