#include "KelMonitorSummary.h"

#include "MonitorStats.h"

namespace {

constexpr double kUsPerMs = 1000.0;
constexpr int kCountWidth = 9;
constexpr int kFigureWidth = 9;
constexpr int kNameWidth = 7;

QString Figure(double us)
{
    return QString::number(us / kUsPerMs, 'f', 3);
}

} // namespace

QString KelMonitorSummary(const MonitorStats &stats)
{
    std::uint64_t requests = 0;
    std::uint64_t answered = 0;
    std::uint64_t unanswered = 0;
    for (std::size_t c = 0; c < MonitorStats::kCommands; ++c) {
        const MonitorStats::PerCommand &command = stats.command(MonitorStats::Command(c));
        requests += command.requests;
        answered += command.answers.count();
        unanswered += command.unanswered;
    }
    QString out = QStringLiteral("requests %1  answered %2  unanswered %3  stray %4  errors %5\n")
                      .arg(requests).arg(answered).arg(unanswered).arg(stats.strays()).arg(stats.errors());
    out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9  (ms)\n")
               .arg(QStringLiteral("command"), -kNameWidth)
               .arg(QStringLiteral("requests"), kCountWidth).arg(QStringLiteral("answered"), kCountWidth)
               .arg(QStringLiteral("min"), kFigureWidth).arg(QStringLiteral("mean"), kFigureWidth)
               .arg(QStringLiteral("p50"), kFigureWidth).arg(QStringLiteral("p95"), kFigureWidth)
               .arg(QStringLiteral("p99"), kFigureWidth).arg(QStringLiteral("max"), kFigureWidth);
    for (std::size_t c = 0; c < MonitorStats::kCommands; ++c) {
        const auto command = MonitorStats::Command(c);
        const MonitorStats::PerCommand &figures = stats.command(command);
        const LatencySummary s = figures.answers.summary();
        out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(QLatin1StringView(MonitorStats::commandName(command)), -kNameWidth)
                   .arg(qint64(figures.requests), kCountWidth).arg(qint64(s.count), kCountWidth)
                   .arg(Figure(s.min_us), kFigureWidth).arg(Figure(s.mean_us), kFigureWidth)
                   .arg(Figure(s.p50_us), kFigureWidth).arg(Figure(s.p95_us), kFigureWidth)
                   .arg(Figure(s.p99_us), kFigureWidth).arg(Figure(s.max_us), kFigureWidth);
    }
    return out;
}
