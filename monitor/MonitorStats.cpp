#include "MonitorStats.h"

namespace {

struct Named
{
    MonitorStats::Command command;
    const char *name;
};

constexpr Named kNamed[] = {
    {MonitorStats::Start, "START"},
    {MonitorStats::Stop, "STOP"},
    {MonitorStats::Put, "PUT"},
    {MonitorStats::Get, "GET"},
};

} // namespace

MonitorStats::Command MonitorStats::commandOf(const QString &request)
{
    const QStringView head = QStringView(request).left(request.indexOf(u':'));
    for (const Named &named : kNamed) {
        if (head == QLatin1StringView(named.name))
            return named.command;
    }
    return Other;
}

const char *MonitorStats::commandName(Command command)
{
    for (const Named &named : kNamed) {
        if (named.command == command)
            return named.name;
    }
    return "other";
}
